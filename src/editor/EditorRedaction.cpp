#include "editor/Editor.h"

#include "core/SystemAnnotations.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

namespace vmk {

void Editor::markSelectionForRedaction(const pdf::Selection& selection)
{
    QList<AnnotationItem> marks;
    for (const pdf::Selection& line : selection.selectionsByLine()) {
        for (const pdf::PagePtr& page : line.pages()) {
            const QRectF r = line.bounds(page).adjusted(-1, -1, 1, 1);
            if (!(r.width() > 1.0 && r.height() > 1.0))
                continue;
            if (pdf::AnnotationPtr mark = core::RedactionMarkAnnotation::create(r))
                marks.append({mark, page});
        }
    }
    addAnnotation(marks, QStringLiteral("Mark for Redaction"));
}

QList<AnnotationItem> Editor::redactionMarks()
{
    if (m_marksCache && m_marksCache->annotations == m_annotationVersion && m_marksCache->pages == m_documentVersion)
        return m_marksCache->marks;
    QList<AnnotationItem> marks;
    const pdf::DocumentPtr pdf = pdfDocument();
    for (int i = 0; i < pdf->pageCount(); ++i) {
        const pdf::PagePtr page = pdf->page(i);
        if (!page)
            continue;
        for (const pdf::AnnotationPtr& annotation : page->annotations())
            if (core::isRedactionMark(*annotation))
                marks.append({annotation, page});
    }
    m_marksCache = MarksCache{m_annotationVersion, m_documentVersion, marks};
    return marks;
}

} // namespace vmk
