#pragma once

// The encryption of a document as a value apart from it: checking a password without touching the keys
// the document reads itself with (a refused password would leave the engine's keys spoiled), and giving
// a new document the same encryption, so that a copy made of other pages opens with the same passwords
// and grants the same rights.

#include <QByteArray>

#include <mupdf/pdf.h>

namespace vmk::pdf::detail {

// What the password opens on `doc`'s encryption, as pdf_authenticate_password answers (2: user, 4:
// owner, 0: nothing), checked on a copy of its encryption dictionary. 0 for an unencrypted document.
// Call inside guarded(); throws MuPDF errors.
int checkPassword(fz_context* c, pdf_document* doc, const QByteArray& utf8);

// Gives `to` (unencrypted) the encryption dictionary, file identifier and keys of `from`, unlocked with
// `password`, so that writing `to` with the existing encryption writes `from`'s method, permissions and
// passwords. Returns false when the password does not open `from`'s encryption. Call inside guarded().
bool adoptEncryption(fz_context* c, pdf_document* to, pdf_document* from, const QByteArray& password);

} // namespace vmk::pdf::detail
