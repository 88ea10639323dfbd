#pragma once

// A stream's /Length may be a reference to another object. The engine's writer puts the number in its
// place and leaves the referenced object out of the copy, even when that object is something else the
// file needs: a damaged file whose /Length points at the catalog was written without one. Putting every
// such length in place beforehand leaves the writer nothing to leave out.
//
// A length can also be absurd: negative, or past the end of the file (2^31 and more). The reader copes,
// looking for the stream's end instead, but the writer sizes its buffer from the number (overflowing at
// 2^31) and refuses to write the file. Such a length is measured again from the file: the data runs from
// the stream's start to its `endstream`.

#include <mupdf/pdf.h>

namespace vmk::pdf::detail {

// Replaces each stream's indirect /Length with its value (0 when the object it names is not a number,
// which is how the engine already reads it), and each length that cannot be true with the length measured
// in the file. Returns how many were replaced. Objects are read one by one under their own guard; call
// outside guarded().
int directStreamLengths(fz_context* c, pdf_document* doc);

} // namespace vmk::pdf::detail
