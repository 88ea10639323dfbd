#pragma once

#include "platform/pdf/engine/Fz.h"

namespace vmk::pdf::detail {

// Whether the document's form sets /NeedAppearances.
bool asksForFieldAppearances(fz_context* c, pdf_document* doc);

// When the form asks for it, (re)builds every widget's appearance from its field's value. Never throws.
// Stops between pages when the wait it runs under is called off (waitCancelled()): the caller then drops
// the document or counts the work as not done.
void buildRequestedFieldAppearances(fz_context* c, pdf_document* doc);

} // namespace vmk::pdf::detail
