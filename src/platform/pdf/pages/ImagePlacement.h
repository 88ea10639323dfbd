#pragma once

#include "platform/pdf/engine/Fz.h"

#include <map>
#include <vector>

namespace vmk::pdf::detail {

// For each of the image objects (numbers), the longer side, in points, of the largest area any page or
// annotation draws it on. Images no page draws are missing from the answer, and all are when a page
// cannot be interpreted within a budget of time and memory. Never throws.
std::map<int, double> largestPlacements(fz_context* c, pdf_document* doc, const std::vector<int>& images);

} // namespace vmk::pdf::detail
