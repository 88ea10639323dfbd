#include "core/PDFOps.h"
#include "core/PdfMarker.h"

#include "platform/pdf/document/Annotation.h"

#include <functional>

namespace vmk::core::PDFOps {

namespace {

Expected<pdf::DocumentPtr, PDFOpenError> openCheckedWith(const QByteArray& data, const QString& name,
                                                        const std::function<pdf::Result<pdf::DocumentPtr>(bool*)>& open)
{
    if (data.isEmpty())
        return PDFOpenError::empty(name);
    if (!hasPdfMarker(data))
        return PDFOpenError::notPDF(name);
    // Opened for a window: the windows already open keep answering while a large file is read, and the
    // user may stop it.
    bool cancelled = false;
    auto opened = open(&cancelled);
    if (cancelled)
        return PDFOpenError::cancelled(name);
    if (!opened || !opened.value())
        return PDFOpenError::damaged(name);
    pdf::DocumentPtr document = opened.value();
    // A locked document's pages can't be counted yet; it is unlocked later. A long one's are counted as
    // its page tree claims until the window has shown the first (which the claim was only made with).
    if (!document->isLocked() && document->pageCountForShowing() == 0)
        return PDFOpenError::damaged(name);
    return document;
}

} // namespace

Expected<pdf::DocumentPtr, PDFOpenError> openChecked(const QByteArray& data, const QString& name)
{
    return openCheckedWith(data, name, [&](bool* cancelled) { return pdf::Document::fromDataWhileAnswering(data, cancelled); });
}

Expected<pdf::DocumentPtr, PDFOpenError> openCheckedFile(const std::shared_ptr<pdf::SourceFile>& file, const QString& name)
{
    return openCheckedWith(file->head(), name,
                           [&](bool* cancelled) { return pdf::Document::fromSourceWhileAnswering(file, cancelled); });
}

namespace {

// The written file, opened and unlocked, or nothing; read into `memory` when it is given.
pdf::DocumentPtr openWritten(const QString& path, const std::optional<QString>& password, QByteArray memory = {})
{
    auto opened = memory.isNull() ? pdf::Document::fromFile(path) : pdf::Document::fromFileInto(path, std::move(memory));
    if (!opened || !opened.value())
        return nullptr;
    pdf::DocumentPtr document = opened.value();
    if (document->isLocked() && (!password || !document->unlock(*password)))
        return nullptr;
    return document;
}

} // namespace

bool verifySavedFile(const QString& path, int pageCount, const std::optional<QString>& password)
{
    pdf::DocumentPtr document = openWritten(path, password);
    return document && document->pageCount() == pageCount;
}

PageFacts factsOf(const pdf::Page& page)
{
    PageFacts fact;
    fact.rotation = page.rotation();
    fact.content = page.contentDigest();
    for (const pdf::AnnotationPtr& annotation : page.annotations()) {
        fact.annotationKinds.append(annotation->type());
        if (const QString note = annotation->contents(); !note.isEmpty())
            fact.annotationNotes.append(note);
    }
    return fact;
}

std::vector<PageFacts> pageFacts(const pdf::Document& document)
{
    std::vector<PageFacts> facts;
    for (const pdf::PagePtr& page : document.pages())
        facts.push_back(page ? factsOf(*page) : PageFacts());
    return facts;
}

bool verifySavedFile(const QString& path, const std::vector<PageFacts>& expected,
                     const std::optional<QString>& password, QByteArray memory)
{
    pdf::DocumentPtr document = openWritten(path, password, std::move(memory));
    if (!document || document->pageCount() != int(expected.size()))
        return false;
    const std::vector<PageFacts> written = pageFacts(*document);
    for (size_t i = 0; i < expected.size(); ++i) {
        if (!(written[i] == expected[i])) {
            qWarning("The saved copy's page %d differs: rotation %d, annotations [%s], %d notes; expected %d, [%s], "
                     "%d notes%s%s", int(i) + 1, written[i].rotation, qPrintable(written[i].annotationKinds.join(u' ')),
                     int(written[i].annotationNotes.size()), expected[i].rotation,
                     qPrintable(expected[i].annotationKinds.join(u' ')), int(expected[i].annotationNotes.size()),
                     written[i].annotationNotes != expected[i].annotationNotes ? " (the notes read differently)" : "",
                     written[i].content != expected[i].content ? " (its content differs)" : "");
            return false;
        }
    }
    return true;
}

} // namespace vmk::core::PDFOps
