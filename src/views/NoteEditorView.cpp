#include "views/NoteEditorView.h"

#include "platform/icons/SymbolIcons.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vmk::views {

NoteModel::NoteModel(QString text, QObject* parent)
    : QObject(parent)
    , m_text(std::move(text))
{
}

void NoteModel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged(text);
}

NoteEditorView::NoteEditorView(NoteModel* model, std::function<void()> done, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_editor(new QPlainTextEdit(this))
{
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(8);
    stack->setContentsMargins(14, 14, 14, 14);

    auto* title = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(platform::symbolPixmap(QStringLiteral("note.text"), 16, palette().color(QPalette::WindowText)));
    auto* label = new QLabel(QStringLiteral("Note"), this);
    QFont headline = label->font();
    headline.setBold(true);
    label->setFont(headline);
    title->addWidget(icon);
    title->addWidget(label);
    title->addStretch();
    stack->addLayout(title);

    m_editor->setPlainText(model->text());
    m_editor->setFixedSize(260, 120);
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setStyleSheet(QStringLiteral("QPlainTextEdit { background: rgba(128, 128, 128, 30); border-radius: 8px; padding: 6px; }"));
    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] { m_model->setText(m_editor->toPlainText()); });
    stack->addWidget(m_editor, 0, Qt::AlignHCenter);

    auto* footer = new QHBoxLayout;
    auto* hint = new QLabel(QStringLiteral("Saved with the PDF."), this);
    QFont caption = hint->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    hint->setFont(caption);
    hint->setForegroundRole(QPalette::PlaceholderText);
    m_done = new QPushButton(QStringLiteral("Done"), this);
    m_done->setDefault(true);
    m_done->setAutoDefault(true);
    connect(m_done, &QPushButton::clicked, this, [done = std::move(done)] {
        if (done)
            done();
    });
    // Done is the default button: Return presses it from anywhere in the panel, and Ctrl+Return does
    // from inside the text, where a plain Return starts a new line of the note.
    m_editor->installEventFilter(this);
    footer->addWidget(hint);
    footer->addStretch();
    footer->addWidget(m_done);
    stack->addLayout(footer);
}

namespace {
bool isReturn(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}
} // namespace

bool NoteEditorView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isReturn(key) && (key->modifiers() & Qt::ControlModifier)) {
            m_done->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void NoteEditorView::keyPressEvent(QKeyEvent* event)
{
    if (isReturn(event)) {
        m_done->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void NoteEditorView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_editor->setFocus(Qt::PopupFocusReason); // the caret is in the text at once
}

QPoint notePopoverOrigin(const QRect& note, const QSize& popover, const QRect& window)
{
    constexpr int gap = 6;
    int x = note.right() + 1 + gap;
    if (x + popover.width() > window.right() + 1 && note.left() - gap - popover.width() >= window.left())
        x = note.left() - gap - popover.width();
    x = std::clamp(x, window.left(), std::max(window.left(), window.right() + 1 - popover.width()));
    const int y = std::clamp(note.top(), window.top(), std::max(window.top(), window.bottom() + 1 - popover.height()));
    return {x, y};
}

NotePopover::NotePopover(const QString& text, QWidget* parent)
    : QFrame(parent, Qt::Popup)
    , m_model(new NoteModel(text, this))
{
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new NoteEditorView(m_model, [this] { close(); }, this);
    layout->addWidget(m_view);
    adjustSize();
}

void NotePopover::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    if (m_closed)
        return;
    m_closed = true;
    emit closed();
}

} // namespace vmk::views
