#pragma once

#include "platform/pdf/engine/Fz.h"

namespace vmk::pdf::detail {

// The most pages a document may hold; a page tree that names more is cut off here.
constexpr int kMaxPages = 500000;
// Deeper page trees are flattened: nothing real needs more levels, and every lookup walks all of them.
constexpr int kMaxPageTreeDepth = 64;

// Walks the page tree without recursion and answers how many pages it really holds. A tree that does
// not add up (a /Count that lies, a cycle, an absurd depth, a kid that is no page, more than kMaxPages)
// is rebuilt as one level holding the pages that were found, their inherited entries copied onto them,
// so that the engine's own lookups agree with the count. Pages whose media box is missing, empty or
// absurd get their nearest sound inherited box, else Letter; an unsound crop box gives way to the
// media box. Throws MuPDF errors: call inside guarded().
int repairPageTree(fz_context* c, pdf_document* doc);

// The boxes of one page object mended as repairPageTree() mends them, for a page shown before the tree is
// walked. Throws MuPDF errors: call inside guarded().
void mendPageBoxes(fz_context* c, pdf_document* doc, int num);

// Whether a box is one a page can have: four finite numbers spanning at least three points each way and no
// more than about 70 metres.
bool isSoundBox(fz_context* c, pdf_obj* box);

// A page's boxes as readers take them. A missing, empty or absurd media box is Letter (the engine's
// "empty" rectangle, normalised, would be a page four billion points wide); the crop box is clipped to the
// media box, and is the media box when it is unsound, missing or wholly off it.
struct PageBoxes {
    QRectF media;
    QRectF crop;
};
PageBoxes readPageBoxes(fz_context* c, pdf_obj* page);

} // namespace vmk::pdf::detail
