#include "views/BlockTextEditor.h"

#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/FontMatching.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace vmk::views {

QFont blockEditorFont(const core::EditableTextBlock& block, double scale)
{
    const bool bold = core::editrules::wantsBold(block.baseFontName, block.fontWeight);
    const bool italic = core::editrules::wantsItalic(block.baseFontName, block.fontFlags);
    const platform::Font matched =
        core::fontmatching::matchSystemFont(block.baseFontName, block.fontSize, bold, italic, block.fontFlags);
    const double size = std::max(block.fontSize * scale, 1.0);
    QFont font = matched.isValid() ? matched.toQFont(size) : QFont();
    if (!matched.isValid())
        font.setPixelSize(std::max(1, int(std::lround(size))));
    // The matched face may be regular when the installed family has no bold or italic face.
    if (bold && !font.bold())
        font.setBold(true);
    if (italic && !font.italic())
        font.setItalic(true);
    return font;
}

bool isSingleLineBlock(const core::EditableTextBlock& block)
{
    return block.lineCount == 1 && !block.text.contains(QLatin1Char('\n'));
}

BlockTextEditor::BlockTextEditor(const core::EditableTextBlock& block, double scale, const QColor& background,
                                 const QColor& accent, QWidget* parent)
    : QTextEdit(parent)
    , m_singleLine(isSingleLineBlock(block))
{
    setAcceptRichText(false);
    setUndoRedoEnabled(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(m_singleLine ? QTextEdit::NoWrap : QTextEdit::WidgetWidth);
    document()->setDocumentMargin(kInset);
    m_accent = accent;
    setBackground(background);

    const QFont font = blockEditorFont(block, scale);
    setFont(font);
    document()->setDefaultFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Text, block.color);
    palette.setColor(QPalette::Highlight, accent);
    setPalette(palette);
    setTextColor(block.color);
    setPlainText(block.text);

    // Alignment and, for several lines, the page's own line spacing over the whole text.
    Qt::Alignment alignment = Qt::AlignLeft;
    if (block.alignment == core::EditableTextBlock::Alignment::center)
        alignment = Qt::AlignHCenter;
    else if (block.alignment == core::EditableTextBlock::Alignment::right)
        alignment = Qt::AlignRight;
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(alignment);
    if (block.lineCount >= 2 && block.lineHeight > 0)
        format.setLineHeight(block.lineHeight * scale, QTextBlockFormat::FixedHeight);
    all.mergeBlockFormat(format);
    QTextCharFormat chars;
    chars.setFont(font);
    chars.setForeground(block.color);
    all.mergeCharFormat(chars);
    setCurrentCharFormat(chars);
    document()->clearUndoRedoStacks();

    // The caret at the end, nothing selected.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    connect(this, &QTextEdit::textChanged, this, &BlockTextEditor::fitToText);
}

void BlockTextEditor::setBackground(const QColor& background)
{
    m_background = background;
    setStyleSheet(QStringLiteral("QTextEdit { background: %1; border: 1px solid %2; border-radius: 3px; }")
                      .arg(background.name(QColor::HexArgb), m_accent.name(QColor::HexArgb)));
}

void BlockTextEditor::fitToText()
{
    QTextDocument* doc = document();
    if (m_singleLine)
        doc->setTextWidth(-1);
    const QSizeF used = doc->size(); // includes the inset on both sides
    QRect frame = geometry();
    const int top = frame.top();
    const int height = std::max(frame.height(), int(std::ceil(used.height())) + 2);
    int width = frame.width();
    if (m_singleLine)
        width = std::max(width, int(std::ceil(doc->idealWidth() + 2 * kInset + 4)) + 2);
    frame = QRect(frame.left(), top, width, height);
    setGeometry(frame);
}

void BlockTextEditor::keyPressEvent(QKeyEvent* event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        emit cancelRequested();
        return;
    }
    if (isReturn && ((event->modifiers() & Qt::ControlModifier) || m_singleLine)) {
        event->accept();
        emit commitRequested();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void BlockTextEditor::focusOutEvent(QFocusEvent* event)
{
    QTextEdit::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit editingEnded();
}

} // namespace vmk::views
