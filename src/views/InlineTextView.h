#pragma once

#include <QPlainTextEdit>

namespace vmk::views {

// The plain text view laid over a text box while it is typed into. Its document keeps its own undo
// stack, so typing is undone inside it and never mixes with the document's undo. Escape and Ctrl+Return
// ask for the box to be committed (Escape keeps the text); Return starts a new line; losing the focus to
// another widget ends the editing too.
class InlineTextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit InlineTextView(QWidget* parent = nullptr);

    // Insets of the text inside the view, in view points.
    void setInsets(double horizontal, double vertical);
    double verticalInset() const { return m_vertical; }
    QMargins insets() const { return viewportMargins(); }
    // The height that shows all of the text with the insets.
    double contentHeight() const;

signals:
    void commitRequested();
    void editingEnded();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    double m_vertical = 0;
};

} // namespace vmk::views
