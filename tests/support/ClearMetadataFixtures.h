#pragma once

// Files encrypted by qpdf that keep their XMP metadata in clear (/EncryptMetadata false), with real
// structure, and the judgement of a saved copy by qpdf and poppler. The user password is "u", the owner
// password "o".

#include "platform/pdf/document/Document.h"

#include <QByteArray>
#include <QStringList>

namespace vmk::test {

inline constexpr char kClearXmpTitle[] = "Harbour Ledger";
inline constexpr char kClearXmpSecret[] = "Quixby";
// The title in the XMP of an image on page 2, which qpdf (before version 12) also leaves in clear.
inline constexpr char kClearImageCaption[] = "Kestrel over the quay";

enum class XmpPacking {
    flate,        // compressed
    stored,       // as it is
    storedBlocks, // as it is, in a whole number of 16-byte blocks (what AES may take for cipher text)
};

// Two pages, the second turned by 90 degrees, with the text "Harbour figures for March" and "Second page
// totals"; an outline entry "Start", a text field "name" holding "Ada", Info titled "Harbour Ledger info",
// and XMP whose title is kClearXmpTitle and whose description names kClearXmpSecret. With `photo`, page 1
// also draws a 400 × 400 RGB image stored uncompressed.
QByteArray clearMetadataPdf(XmpPacking packing, bool photo = false);

// `plain` encrypted by qpdf with the scheme's arguments (after "--encrypt u o") and --cleartext-metadata.
QByteArray encryptWithClearMetadata(const QByteArray& plain, const QStringList& schemeArgs);

// One page showing kIdentityText, whose content stream names the /Identity crypt filter and is stored in
// clear. `encrypted`: encrypted by qpdf with RC4 and crypt filters, metadata included; the rest of the
// file is then encrypted.
inline constexpr char kIdentityText[] = "Ledger kept in clear";
QByteArray identityContentPdf(bool encrypted);
// The same page encrypted, its content stream naming the file's own crypt filter (/StdCF) explicitly.
QByteArray namedCryptFilterPdf();

// Expects of `saved`, written from `original` keeping its encryption: qpdf checks it with the password and
// refuses it without; qpdf reports the original's encryption with /EncryptMetadata false; poppler and qpdf
// read the XMP title (and the secret when `secretKept`), qpdf the image's too; everything else (text, outline, field value,
// Info, page turn) reads right through its decryption and is not in the file in clear.
void expectClearMetadataAndTheRestEncrypted(const QByteArray& original, const QByteArray& saved, bool secretKept);

// The encrypted file opened and unlocked with the user password "u"; an empty document (and a failed
// expectation) when it does not open locked or does not unlock.
pdf::DocumentPtr unlocked(const QByteArray& file);

} // namespace vmk::test
