#include "chrome/PagePill.h"

#include "chrome/ChromeStyle.h"
#include "chrome/PageJump.h"
#include "chrome/RollingLabel.h"
#include "chrome/SizeMorph.h"

#include "editor/Editor.h"
#include "platform/services/NotificationCenter.h"
#include "platform/services/ReduceMotion.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace vmk::chrome {

PagePill::PagePill(Editor* editor, QWidget* parent)
    : GlassSurface(GlassShape::capsule(), parent), m_editor(editor)
{
    setObjectName(QStringLiteral("PagePill"));
    auto* row = new QHBoxLayout(this);
    const int m = glassShadowMargin();
    row->setContentsMargins(m + 6, m + 3, m + 6, m + 3);
    row->setSpacing(2);

    m_previous = makeSymbolButton(QStringLiteral("chevron.up"), QStringLiteral("Previous Page"), 14, this);
    m_next = makeSymbolButton(QStringLiteral("chevron.down"), QStringLiteral("Next Page"), 14, this);

    QFont pageFont = calloutFont();
    pageFont.setWeight(QFont::DemiBold);
    m_page = new RollingLabel(this);
    m_page->setFont(pageFont);
    m_page->setAlignment(Qt::AlignCenter);
    m_page->setMinimumWidth(28);
    m_page->setToolTip(QStringLiteral("Click to jump to a page (Ctrl+Alt+G)"));
    m_page->setCursor(Qt::PointingHandCursor);
    m_page->installEventFilter(this);

    m_field = new QLineEdit(this);
    m_field->setFont(pageFont);
    m_field->setFrame(false);
    m_field->setAlignment(Qt::AlignCenter);
    m_field->setFixedWidth(44);
    m_field->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_field->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; }"));
    m_field->setAccessibleName(QStringLiteral("Page number"));
    m_field->hide();
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::returnPressed, this, &PagePill::commit);

    m_total = new QLabel(this);
    m_total->setFont(calloutFont());
    QPalette secondary = m_total->palette();
    secondary.setColor(QPalette::WindowText, secondaryTextColor(palette()));
    m_total->setPalette(secondary);
    m_total->setContentsMargins(0, 0, 4, 0);

    row->addWidget(m_previous);
    row->addWidget(m_page);
    row->addWidget(m_field);
    row->addWidget(m_total);
    row->addWidget(m_next);
    m_morph = new SizeMorph(this);

    connect(m_previous, &QToolButton::clicked, this, [this] {
        if (m_editor)
            m_editor->jumpToPage(m_editor->pageIndex() - 1);
    });
    connect(m_next, &QToolButton::clicked, this, [this] {
        if (m_editor)
            m_editor->jumpToPage(m_editor->pageIndex() + 1);
    });

    if (editor) {
        connect(editor, &Editor::pageIndexChanged, this, &PagePill::refresh);
        connect(editor, &Editor::pageCountChanged, this, &PagePill::refresh);
        // Only the command of this pill's own window opens its field; the observer goes with the pill.
        QPointer<PagePill> self(this);
        platform::NotificationCenter::defaultCenter().addObserver(
            platform::kBeginGoToPageNotification, editor,
            [self](const platform::Notification&) {
                if (self)
                    self->beginEditing();
            },
            this);
    }
    refresh();
}

QSize PagePill::sizeHint() const
{
    return m_morph ? m_morph->sizeHint(GlassSurface::sizeHint()) : GlassSurface::sizeHint();
}

void PagePill::refresh()
{
    const int index = m_editor ? m_editor->pageIndex() : 0;
    const int count = m_editor ? m_editor->pageCount() : 0;
    // A new page is one motion over the whole pill: the number rolls in (upward going forward) while the
    // pill takes its new width, both with a little overshoot. A new page count alone just shows.
    const bool turned = m_shownIndex >= 0 && index != m_shownIndex;
    const bool reduce = m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
    const MotionSpec motion = turned ? curveMotion(overshootCurve, 0.48, reduce) : MotionSpec{};
    m_morph->capture();
    m_page->rollTo(QString::number(index + 1), index > m_shownIndex, motion);
    m_shownIndex = index;
    m_total->setText(QStringLiteral("of %1").arg(count));
    m_previous->setEnabled(index > 0);
    m_next->setEnabled(index < count - 1);
    m_morph->run(motion);
    updateGeometry();
}

void PagePill::setEditing(bool editing)
{
    if (m_editing == editing)
        return;
    m_editing = editing;
    m_morph->capture();
    m_page->setVisible(!editing);
    m_field->setVisible(editing);
    m_morph->run(MotionSpec{});
    updateGeometry();
}

void PagePill::beginEditing()
{
    if (!m_editor)
        return;
    m_field->setText(QString::number(m_editor->pageIndex() + 1));
    setEditing(true);
    // The field gets the focus on the next turn, once it is on screen.
    QPointer<PagePill> self(this);
    m_editor->scheduler().schedule(0, [self] {
        if (self && self->m_editing) {
            self->m_field->setFocus(Qt::OtherFocusReason);
            self->m_field->selectAll();
        }
    });
}

void PagePill::commit()
{
    if (!m_editing)
        return;
    const PageJump jump = pageJumpFor(m_field->text(), m_editor ? m_editor->pageCount() : 0);
    setEditing(false);
    if (!m_editor)
        return;
    if (jump.kind == PageJump::Kind::goTo)
        m_editor->goToPage(jump.pageIndex);
    else if (jump.kind == PageJump::Kind::outOfReach)
        m_editor->showToast(jump.message, kOutOfReachSymbol, Toast::Style::info);
}

void PagePill::cancelEditing()
{
    setEditing(false);
}

bool PagePill::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_page && event->type() == QEvent::MouseButtonPress) {
        beginEditing();
        return true;
    }
    if (watched == m_field) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            cancelEditing();
            return true;
        }
        // Clicking elsewhere abandons the edit.
        if (event->type() == QEvent::FocusOut && m_editing)
            cancelEditing();
    }
    return GlassSurface::eventFilter(watched, event);
}

} // namespace vmk::chrome
