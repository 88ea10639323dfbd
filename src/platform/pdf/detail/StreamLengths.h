#pragma once

// A stream's /Length may be a reference to another object. The engine's writer puts the number in its
// place and leaves the referenced object out of the copy, even when that object is something else the
// file needs: a damaged file whose /Length points at the catalog was written without one. Putting every
// such length in place beforehand leaves the writer nothing to leave out.

#include <mupdf/pdf.h>

namespace vmk::pdf::detail {

// Replaces each stream's indirect /Length with its value (0 when the object it names is not a number,
// which is how the engine already reads it). Returns how many were replaced. Objects are read one by one
// under their own guard; call outside guarded().
int directStreamLengths(fz_context* c, pdf_document* doc);

} // namespace vmk::pdf::detail
