#include "views/InlineTextView.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

namespace vmk::views {

InlineTextView::InlineTextView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setUndoRedoEnabled(true);
    // The page shows through: no background of its own.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; border: none; }"));
    document()->setDocumentMargin(0);
}

void InlineTextView::setInsets(double horizontal, double vertical)
{
    m_vertical = std::max(vertical, 0.0);
    const int h = int(std::round(std::max(horizontal, 0.0)));
    const int v = int(std::round(m_vertical));
    setViewportMargins(h, v, h, v);
}

double InlineTextView::contentHeight() const
{
    // A plain text layout measures in lines; add up the laid-out blocks for the height in points.
    double height = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        height += blockBoundingRect(block).height();
    return height + 2 * m_vertical;
}

void InlineTextView::keyPressEvent(QKeyEvent* event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->key() == Qt::Key_Escape || (isReturn && (event->modifiers() & Qt::ControlModifier))) {
        event->accept();
        emit commitRequested();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void InlineTextView::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    // The window going to the background or a menu opening does not end the editing.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit editingEnded();
}

} // namespace vmk::views
