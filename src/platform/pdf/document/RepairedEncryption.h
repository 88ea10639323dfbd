#pragma once

// The engine's repair of a damaged encrypted file reads the encryption dictionary again like any other
// object, and so "decrypts" the password hashes in it. Its key was made before that and reads the file
// correctly, but a copy written with the existing encryption carries the damaged hashes: no password opens
// it, or one opens it with the wrong key and every string and stream in it reads as noise. This puts the
// dictionary back as the file has it.

#include <mupdf/pdf.h>

namespace vmk::pdf::detail {

// After a repair of an encrypted document, replaces the encryption dictionary with the one read from the
// file without decryption. Does nothing for documents that were not repaired or are not encrypted, or
// whose dictionary is not a separate object. Call inside guarded(); throws MuPDF errors.
void restoreEncryptionDictionary(fz_context* c, pdf_document* doc);

} // namespace vmk::pdf::detail
