#pragma once

// Layer-internal: pages interpreted on the workers' own copies of the document, opened from the bytes it
// was read from, instead of copies of the pages taken on the document's thread.

#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/engine/Fz.h"

#include <functional>
#include <memory>

namespace vmk::pdf::detail {

class SourceCopies;
struct DocumentState;

// The number of the page's object in a copy opened from the document's source bytes, when interpreting
// it there gives what interpreting it here would: the page, what it inherits, its content, resources,
// group and annotations, with everything they reach, unchanged since opening, and its crop box and
// rotation read alike by this layer and the engine. -1 otherwise (changed, added, repaired, no source).
// On the document's thread.
int drawableSourceNumber(fz_context* c, const DocumentState& document, const Page& page);

// The copies drawing workers interpret from, made on first use. On the document's thread.
std::shared_ptr<SourceCopies> drawingCopies(DocumentState& document);

// Loads page object `number` from a copy taken for this call and runs body(context, page, cookie) inside
// the engine's error guard, within `budget`. `family` receives the copy's engine family, in which
// whatever the body made lives.
using SourcePageBody = std::function<void(fz_context*, pdf_page*, fz_cookie*)>;
RecordOutcome interpretSourcePage(SourceCopies& copies, int number, const RecordBudget& budget,
                                  const RecordCancel* cancel, const SourcePageBody& body,
                                  std::shared_ptr<EngineFamily>* family);

} // namespace vmk::pdf::detail
