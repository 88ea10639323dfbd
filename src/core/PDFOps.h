#pragma once

#include "core/Expected.h"
#include "core/PDFOpenError.h"
#include "core/PDFOpsError.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QByteArray>
#include <QMap>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Stateless document operations: open checks, verification of saved copies and the operations on the
// set and order of pages. Page-set operations keep no undo; callers register it.
namespace vmk::core::PDFOps {

// --- Reading and saving ------------------------------------------------------------------------------

// Checks, in order: empty data, no "%PDF-" within the first 1024 bytes, data the PDF layer cannot open,
// an unlocked document without pages. A password-protected document comes back locked.
Expected<pdf::DocumentPtr, PDFOpenError> openChecked(const QByteArray& data, const QString& name);
// The same for a file read beforehand, whose memory the document takes over.
Expected<pdf::DocumentPtr, PDFOpenError> openCheckedFile(const std::shared_ptr<pdf::SourceFile>& file, const QString& name);

// Whether the file at path opens, unlocks (with password when it is locked) and has pageCount pages.
bool verifySavedFile(const QString& path, int pageCount, const std::optional<QString>& password);

// What a written copy must show of a page: its rotation, the kinds of its annotations and the notes of those
// that have one (a note that reads differently means its string was written with the wrong key), bottom first,
// and what it draws (the digest of its content, see pdf::Page::contentDigest).
struct PageFacts {
    int rotation = 0;
    QStringList annotationKinds;
    QStringList annotationNotes;
    QByteArray content;
    bool operator==(const PageFacts&) const = default;
};
std::vector<PageFacts> pageFacts(const pdf::Document& document);
PageFacts factsOf(const pdf::Page& page);

// Whether the file at path opens, unlocks (with password when it is locked) and shows, page by page,
// the facts expected: as many pages, each with the same rotation, annotations, notes and content. The file
// is read into `memory` when it is given (see pdf::Document::fromFileInto).
bool verifySavedFile(const QString& path, const std::vector<PageFacts>& expected,
                     const std::optional<QString>& password, QByteArray memory = {});

// --- Page sets -----------------------------------------------------------------------------------------

// The pages in order, skipping indices that yield none.
std::vector<pdf::PagePtr> pages(const pdf::Document& document);

// A new document with copies of every page of every document, in order, with the structure that belongs
// to them (form fields, named destinations, links, outline entries) and the first document's information.
// The sources are unchanged.
pdf::DocumentPtr merge(const std::vector<pdf::DocumentPtr>& documents);

// Opens every file and merges them; nothing is merged unless every file opened and none is locked.
Expected<pdf::DocumentPtr, PDFOpsError> combine(const QStringList& paths);

// A new document with copies of the pages at the indices, in ascending index order, with their structure
// as merge() carries it and the document's information.
pdf::DocumentPtr extractPages(const QSet<int>& indices, const pdf::Document& document);

// Copies every page of source into target at index, with their form fields, named destinations and
// links. Returns the copies, already in target. The source's outline entries, pointed at the copies, are
// appended to `outline` when given; target's outline is left to the caller (see pdf::OutlineSplice).
std::vector<pdf::PagePtr> insertPages(pdf::Document& target, const pdf::Document& source, int index,
                                      QList<pdf::OutlineItem>* outline = nullptr);

// Where outline entries for pages inserted at pageIndex belong among the document's top-level entries:
// before the first entry that leads to a page at or after pageIndex, else after the last.
int outlineInsertionPoint(const pdf::Document& document, int pageIndex);

// Rearranges the document so that the listed pages (its own) stand at the list's positions, in one pass
// from the front. Pages not in the list are not moved.
void reorder(pdf::Document& document, const std::vector<pdf::PagePtr>& order);

// Sets the crop box of each page at the indices to rect (normalised, clipped to the media box); a result
// that misses the page or is under 1 unit either way leaves the page as it was. Returns the previous crop
// box of every page visited, changed or not, so that undo can put all of them back.
QMap<int, QRectF> crop(pdf::Document& document, const QSet<int>& indices, const QRectF& rect);

} // namespace vmk::core::PDFOps

// The long whole-document and whole-page operations of the same family.
#include "core/Compression.h"
#include "core/Flatten.h"
#include "core/ImageEncoding.h"
#include "core/PageRebuild.h"
#include "core/TextExport.h"
