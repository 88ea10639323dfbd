#pragma once

#include <functional>

#include "platform/pdf/document/EntryEdits.h"
#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdf/engine/Fz.h"

#include <vector>

namespace vmk::pdf::detail {

// How long opening may spend reading ahead for damage (see readEveryObject).
constexpr int kReadAheadBudgetMs = 400;
// And how long on parsing large object streams, and the annotations of crowded pages, ahead of need (see
// readLargeObjectStreams, readCrowdedAnnotations). Opening runs on a worker for a window, which keeps
// answering meanwhile; past this the file is enormous, and the rest is parsed as it is needed.
constexpr int kObjectStreamBudgetMs = 5000;

// Whether any object of the document holds an empty name ("/"). The engine's compact writer puts a
// following number straight after it ("/ 15" comes out as "/15", one name instead of two objects), so
// such a document must be written with separators. Objects that cannot be read are skipped.
bool holdsEmptyName(fz_context* c, pdf_document* doc);

// Reads every object once, within a time budget, so that a damaged file is repaired by the engine now,
// before anything is changed, and not in the middle of a later write (a repair rebuilds the objects from
// the file and so drops every change made since opening).
// `abandoned`, when given, ends it early too (asked every few objects).
void readEveryObject(fz_context* c, pdf_document* doc, int budgetMs, const std::function<bool()>& abandoned = {});

// Parses, within a time budget, every large object stream not parsed yet. The engine parses a whole
// object stream the first time any object in it is needed: for a stream of tens of thousands of objects
// that is a pause of hundreds of milliseconds for whichever thread asks first, so opening does it on its
// worker instead of leaving it to the document's thread. Small streams are left until needed.
// Both reads also stop early when the wait they run in is called off (waitCancelled()).
void readLargeObjectStreams(fz_context* c, pdf_document* doc, int budgetMs);

// Parses, within a time budget, the annotations of every page that lists a great many (a page of tens of
// thousands of links is real: indexes, maps, generated reports). Each is a plain object parsed on first
// use, and the first drawing of such a page looks at all of them on the document's thread: a pause of a
// second or more there, so opening reads them on its worker instead.
void readCrowdedAnnotations(fz_context* c, const std::vector<PagePtr>& pages, int budgetMs);

// The engine's writer, when it compresses, takes a leading ASCIIHexDecode off a stream's filter list in
// place: its copy of the stream dictionary shares the arrays with the document's own, so the document is
// left with a filter list that no longer matches its data (the next drawing or save of it is garbage), and
// a decode-parameter list shorter than the filter list makes the write fail half-way. This gives each such
// stream arrays of its own for one write, the parameters padded to the filters' length; exchanging the
// journal afterwards gives the document back its untouched arrays. Objects that cannot be read are skipped.
void shieldHexFilters(fz_context* c, pdf_document* doc, EntryEdits& journal);

} // namespace vmk::pdf::detail
