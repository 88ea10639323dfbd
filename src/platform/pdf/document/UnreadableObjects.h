#pragma once

// Objects the file lists but the engine cannot read (a damaged object stream, a dictionary cut short) are
// drawn as nothing, so a file with them still opens and shows. A write, though, reads every object and stops
// at the first such one, and the user could not save what they added to the document at all. Writing them
// as null keeps the copy the same as what was shown.

#include <mupdf/pdf.h>

namespace vmk::pdf::detail {

// Replaces each object of `doc` that cannot be read (twice: a first failure may have repaired the file)
// with null, and lists object 0 as free when a damaged object stream claimed it. Returns how many were
// replaced. Objects are read one by one under their own guard; call outside guarded().
int blankUnreadableObjects(fz_context* c, pdf_document* doc);

} // namespace vmk::pdf::detail
