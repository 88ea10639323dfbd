#include "panels/EditBar.h"

#include "editor/Editor.h"
#include "panels/PaletteParts.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/ReduceMotion.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QPushButton>

namespace vmk::panels {

EditBarContent editBarContent(const std::optional<EditTarget>& selection)
{
    if (!selection)
        return {QStringLiteral("Click any text to change it. Pictures move and swap."), true, false, false, 1};
    if (selection->isImage())
        return {QStringLiteral("Picture selected. Drag to move, corners to resize."), false, true, true, 1};
    if (!selection->block.isEditable)
        return {selection->block.reason.value_or(QStringLiteral("This text can’t be edited.")), false, false, false, 2};
    return {QStringLiteral("Enter to edit, Backspace to delete, Esc to deselect."), false, false, true, 1};
}

EditBar::EditBar(Editor* editor, std::function<bool()> reduceMotion, QWidget* parent)
    : QWidget(parent)
    , m_editor(editor)
    , m_reduceMotion(reduceMotion ? std::move(reduceMotion) : std::function<bool()>([] { return platform::reduceMotionEnabled(); }))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(8);
    auto* symbol = new QLabel(this);
    symbol->setObjectName(QStringLiteral("editBarSymbol"));
    symbol->setPixmap(platform::symbolPixmap(QStringLiteral("character.cursor.ibeam"), 16,
                                             palette().color(QPalette::Highlight), devicePixelRatioF()));
    symbol->setContentsMargins(8, 0, 0, 0);
    row->addWidget(symbol, 0, Qt::AlignVCenter);
    if (editor)
        m_shown = editor->editSelection();
    rebuild(false);
    if (editor) {
        connect(editor, &Editor::editSelectionChanged, this, [this] {
            if (!m_editor)
                return;
            const std::optional<EditTarget>& now = m_editor->editSelection();
            if (now.has_value() == m_shown.has_value() && (!now || *now == *m_shown))
                return;
            m_shown = now;
            rebuild(true);
        });
    }
}

void EditBar::rebuild(bool animated)
{
    auto* row = static_cast<QHBoxLayout*>(layout());
    if (m_group) {
        row->removeWidget(m_group);
        m_group->deleteLater();
    }
    m_group = new QWidget(this);
    auto* groupRow = new QHBoxLayout(m_group);
    groupRow->setContentsMargins(0, 0, 0, 0);
    groupRow->setSpacing(8);

    const EditBarContent content = editBarContent(m_shown);
    m_message = new QLabel(m_group);
    // Shown as it stands: a reason is the engine's own sentence, never looked up.
    m_message->setTextFormat(Qt::PlainText);
    m_message->setText(content.message);
    m_message->setWordWrap(content.maxLines > 1);
    if (content.maxLines > 1) {
        m_message->setMaximumHeight(m_message->fontMetrics().lineSpacing() * content.maxLines + 2);
        m_message->setMaximumWidth(420);
    }
    if (content.secondary) {
        QPalette p = m_message->palette();
        p.setColor(QPalette::WindowText, palette().color(QPalette::PlaceholderText));
        m_message->setPalette(p);
    }
    groupRow->addWidget(m_message, 0, Qt::AlignVCenter);

    m_replace = nullptr;
    m_delete = nullptr;
    const QPointer<Editor> editor = m_editor;
    if (content.replace) {
        m_replace = smallBarButton(QStringLiteral("Replace…"), m_group);
        connect(m_replace, &QPushButton::clicked, this, [editor] {
            if (editor)
                editor->chooseReplacementImage();
        });
        groupRow->addWidget(m_replace, 0, Qt::AlignVCenter);
    }
    if (content.remove) {
        m_delete = smallBarButton(QStringLiteral("Delete"), m_group);
        m_delete->setProperty("buttonRole", QStringLiteral("destructive"));
        m_delete->setStyleSheet(QStringLiteral("QPushButton { color: rgb(255, 59, 48); }"));
        connect(m_delete, &QPushButton::clicked, this, [editor] {
            if (editor)
                editor->deleteEditTarget();
        });
        groupRow->addWidget(m_delete, 0, Qt::AlignVCenter);
    }
    row->addWidget(m_group, 0, Qt::AlignVCenter);
    m_group->show(); // added to a bar already on screen, it would otherwise wait for the next event turn

    if (animated) {
        m_lastMotion = chrome::modeChangeMotion(m_reduceMotion());
        if (isVisible()) {
            auto* effect = new QGraphicsOpacityEffect(m_group);
            effect->setOpacity(0.0);
            m_group->setGraphicsEffect(effect);
            auto* animation = new QPropertyAnimation(effect, "opacity", m_group);
            animation->setDuration(m_lastMotion->durationMs);
            animation->setEasingCurve(m_lastMotion->easing);
            animation->setStartValue(0.0);
            animation->setEndValue(1.0);
            QWidget* group = m_group;
            connect(animation, &QPropertyAnimation::finished, group, [group] { group->setGraphicsEffect(nullptr); });
            animation->start(QAbstractAnimation::DeleteWhenStopped);
        }
    }
    updateGeometry();
    adjustSize();
    emit contentChanged();
}

} // namespace vmk::panels
