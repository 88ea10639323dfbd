#pragma once

#include "core/pdfium/EditModel.h"

#include <QFont>
#include <QTextEdit>

namespace vmk::views {

// The font a page's text block is retyped in: the installed font matching the block's PDF font (bold from a
// weight of 600 or a heavy name, italic from the Italic flag or the name), at the block's size times scale.
QFont blockEditorFont(const core::EditableTextBlock& block, double scale);
// A block of one line without line breaks: Return commits and the text never wraps.
bool isSingleLineBlock(const core::EditableTextBlock& block);

// The plain text view laid exactly over a paragraph of the page while it is retyped. Its document keeps
// its own undo stack, so typing is undone inside it and never reaches the document's undo. Escape asks to
// drop the typing; Ctrl+Return, or Return in a one-line block, asks to commit; losing the focus to another
// widget ends the editing too.
class BlockTextEditor : public QTextEdit {
    Q_OBJECT
public:
    // Set up for the block at the canvas's scale, over the page colour sampled around it.
    BlockTextEditor(const core::EditableTextBlock& block, double scale, const QColor& background, const QColor& accent,
                    QWidget* parent = nullptr);

    bool isSingleLine() const { return m_singleLine; }
    // The page colour, once it is known (sampling it may take a moment on a slow page).
    void setBackground(const QColor& background);
    QColor background() const { return m_background; }
    static constexpr double kInset = 3;
    // Grows (never shrinks) to show all of the text, keeping the top edge; only a one-line block widens.
    void fitToText();

signals:
    void commitRequested();
    void cancelRequested();
    void editingEnded();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool m_singleLine = false;
    QColor m_background;
    QColor m_accent;
};

} // namespace vmk::views
