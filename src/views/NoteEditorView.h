#pragma once

#include <QFrame>
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>

class QPlainTextEdit;

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

protected:
    void showEvent(QShowEvent* event) override;

private:
    NoteModel* m_model;
    QPlainTextEdit* m_editor;
};

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
