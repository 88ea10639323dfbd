#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <vector>

namespace vmk::pdf {

// Copies the pages at `indices` of `source` into `target`, starting at `index` (clamped), with what belongs
// to them:
// - objects the pages share (fonts, images, forms) are copied once, so a part of a document stays smaller
//   than the whole;
// - form fields whose widgets sit on the pages join the target's form, pruned to those widgets; a
//   top-level field whose name the target already uses is renamed, so that the two keep their own values;
// - named destinations that point into the pages come along (renamed on a clash, links following);
// - links to pages that come along point at the copies; links to pages left behind are dropped.
// The source is not changed beyond making pending annotation appearances. Returns the new pages in the
// order of `indices`; an index without a page is left out.
Result<std::vector<PagePtr>> transferPages(Document& target, const Document& source, const std::vector<int>& indices,
                                           int index);

} // namespace vmk::pdf
