#pragma once

#include "platform/pdf/detail/Fz.h"

namespace vmk::pdf::detail {

// Whether any object of the document holds an empty name ("/"). The engine's compact writer puts a
// following number straight after it ("/ 15" comes out as "/15", one name instead of two objects), so
// such a document must be written with separators. Objects that cannot be read are skipped.
bool holdsEmptyName(fz_context* c, pdf_document* doc);

// Reads every object once, within a time budget, so that a damaged file is repaired by the engine now,
// before anything is changed, and not in the middle of a later write (a repair rebuilds the objects from
// the file and so drops every change made since opening).
void readEveryObject(fz_context* c, pdf_document* doc, int budgetMs);

} // namespace vmk::pdf::detail
