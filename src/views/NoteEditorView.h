#pragma once

#include <QFrame>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace vmk::views {

// The note's text while its popover is open. Nothing reaches the annotation until the popover closes.
class NoteModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
public:
    explicit NoteModel(QString text, QObject* parent = nullptr);
    QString text() const { return m_text; }
    void setText(const QString& text);

signals:
    void textChanged(const QString& text);

private:
    QString m_text;
};

// The panel of the note popover: a title, the text, a hint that the note is saved with the PDF and a
// Done button. It edits only the model and calls done.
class NoteEditorView : public QWidget {
    Q_OBJECT
public:
    NoteEditorView(NoteModel* model, std::function<void()> done, QWidget* parent = nullptr);
    QPlainTextEdit* textEditor() const { return m_editor; }
    QPushButton* doneButton() const { return m_done; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    NoteModel* m_model;
    QPlainTextEdit* m_editor;
    QPushButton* m_done = nullptr;
};

// Where the note popover's top-left goes, all in global coordinates: 6 px right of the note, else 6 px
// left of it when that side has room, moved up and sideways as needed to stay inside the window.
QPoint notePopoverOrigin(const QRect& note, const QSize& popover, const QRect& window);

// A transient popup beside a note holding its editor: a click elsewhere closes it, and so does Done.
// Whichever way it closes, closed() is emitted once, and that is when the text is saved.
class NotePopover : public QFrame {
    Q_OBJECT
public:
    NotePopover(const QString& text, QWidget* parent);
    NoteModel* model() const { return m_model; }
    NoteEditorView* editorView() const { return m_view; }

signals:
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    NoteModel* m_model;
    NoteEditorView* m_view;
    bool m_closed = false;
};

} // namespace vmk::views
