#include "views/PDFCanvasView.h"

#include "editor/Editor.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "views/NoteEditorView.h"

namespace vmk::views {

void PDFCanvasView::showNotePopover(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page, bool isNew)
{
    if (!annotation || !page)
        return;
    // One note at a time. The open one is saved before the next opens, so its text is never lost to the
    // order in which the popups close.
    if (m_noteSession) {
        const NoteSession previous = *m_noteSession;
        m_noteSession.reset();
        commitNote(previous);
        if (NotePopover* popover = previous.popover) {
            popover->disconnect(this);
            popover->close();
            popover->deleteLater();
        }
    }

    auto* popover = new NotePopover(annotation->contents(), this);
    m_noteSession = NoteSession{annotation, page, popover->model(), isNew, popover};
    connect(popover, &NotePopover::closed, this, [this, popover] { noteDidClose(popover); });

    // Beside the note's right edge, or its left when the window ends first; always inside the window.
    const pdf::DocumentPtr doc = PDFView::document();
    const int index = doc ? doc->indexOf(page) : -1;
    const QRectF rect = index >= 0 ? convertRectFromPage(annotation->bounds(), index) : QRectF();
    const QRect note(viewport()->mapToGlobal(rect.topLeft().toPoint()), rect.size().toSize());
    const QWidget* top = window();
    const QRect bounds(top->mapToGlobal(QPoint(0, 0)), top->size());
    // Placed by its content's geometry: a popup has no frame, but before it shows, move() counts one the
    // platform may report, and the popup then lands that much further down and right, past the edge.
    popover->adjustSize();
    popover->setGeometry(QRect(notePopoverOrigin(note, popover->size(), bounds), popover->size()));
    popover->show();
}

void PDFCanvasView::closeNotePopover()
{
    if (m_noteSession && m_noteSession->popover)
        m_noteSession->popover->close();
}

void PDFCanvasView::noteDidClose(NotePopover* popover)
{
    if (!m_noteSession || m_noteSession->popover != popover)
        return;
    const NoteSession session = *m_noteSession;
    m_noteSession.reset();
    commitNote(session);
    popover->deleteLater();
}

void PDFCanvasView::commitNote(const NoteSession& session)
{
    Editor* e = editor();
    if (!e || !session.model)
        return;
    const QString text = session.model->text();
    const bool blank = text.trimmed().isEmpty();
    if (!session.isNew) {
        e->editFreeText(text, session.annotation);
        return;
    }
    // The note was placed without undo when it was made; its addition becomes the one undo step now.
    session.page->removeAnnotation(session.annotation);
    session.annotation->setContents(text);
    e->addAnnotation({{session.annotation, session.page}}, QStringLiteral("Add Note"));
    e->setSelectedAnnotation(session.annotation);
    if (blank)
        session.annotation->setContents(QString());
}

} // namespace vmk::views
