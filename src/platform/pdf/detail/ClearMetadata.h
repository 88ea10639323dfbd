#pragma once

#include "platform/pdf/detail/Fz.h"

namespace vmk::pdf::detail {

// The decoded data of the stream `ref`, as pdf_load_stream gives it, except that the XMP metadata of an
// encrypted file that keeps its metadata in clear (/EncryptMetadata false) is read from the file as it
// is stored there: the engine would decrypt it all the same, and so give nothing or noise. Only the
// common decode filters are undone there; null when the stream cannot be read that way. Throws MuPDF
// errors.
fz_buffer* loadStreamAsStored(fz_context* c, pdf_document* doc, pdf_obj* ref);

} // namespace vmk::pdf::detail
