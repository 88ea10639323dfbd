#pragma once

#include "platform/pdf/engine/Fz.h"

namespace vmk::pdf::detail {

// The decoded data of the stream `ref`, as pdf_load_stream gives it, except that the XMP metadata of an
// encrypted file that keeps its metadata in clear (/EncryptMetadata false) is read from the file as it
// is stored there: the engine would decrypt it all the same, and so give nothing or noise. Only the
// common decode filters are undone there; null when the stream cannot be read that way. Where the stored
// data reads as no XMP packet and the engine's decryption does (a writer encrypted it all the same), that
// decryption. Throws MuPDF errors.
fz_buffer* loadStreamAsStored(fz_context* c, pdf_document* doc, pdf_obj* ref);

// The bytes of stream object `num` (whose dictionary is `dict`) as the file stores them, decoded and
// decrypted in no way: /Length bytes from where the cross-reference table says its data starts. Null when
// the stream has no data in the file or /Length runs past the file's end. Throws MuPDF errors.
fz_buffer* loadStoredBytes(fz_context* c, pdf_document* doc, int num, pdf_obj* dict);

// Whether `filter` is one of the common decode filters undone here (Flate, LZW, ASCIIHex, ASCII85,
// RunLength); anything else (a crypt filter among them) leaves data unreadable.
bool decodableFilter(fz_context* c, pdf_obj* filter);

// loadStoredBytes() with the common decode filters undone (see loadStreamAsStored); null when a filter is
// another or the data is not in the file. Throws MuPDF errors.
fz_buffer* loadStoredDecoded(fz_context* c, pdf_document* doc, int num, pdf_obj* dict);

// Whether the stream `dict` names a crypt filter of its own that is /Identity (the one meant when it names
// none): its data is in clear whatever the document's encryption.
bool namesIdentityFilter(fz_context* c, pdf_obj* dict);

// Whether the data of stream object `num` (dictionary `dict`) reads as an XMP packet as the file stores
// it, decoded but not decrypted (cipher text neither decodes nor reads so). Throws MuPDF errors.
bool storedAsXmpPacket(fz_context* c, pdf_document* doc, int num, pdf_obj* dict);

// The data of stream object `num` as the engine decrypts it, decode filters still on, when that reads as an
// XMP packet and the stored data does not: metadata that a writer encrypted although the encryption
// keeps metadata in clear. Null otherwise. Throws MuPDF errors.
fz_buffer* loadEncryptedAllTheSame(fz_context* c, pdf_document* doc, int num, pdf_obj* dict);

// What a copy's dictionary keeps of the stream's filters, for the data loadRawForCopy() gives.
enum class CopiedFilters {
    all,
    allButCrypt, // the clear data an /Identity crypt filter names
    none,        // the stream decoded: it named another crypt filter of its own, which the engine's raw
                 // reading leaves undone
};

// The data of the stream `ref` with its decode filters still on and no encryption, for a copy into another
// document: as stored where the file holds it in clear (it names the /Identity crypt filter, or it is
// metadata that reads as an XMP packet so while the encryption keeps metadata in clear), decoded where
// it names another crypt filter of its own followed by common filters only, else as the engine decrypts
// it. Throws MuPDF errors.
fz_buffer* loadRawForCopy(fz_context* c, pdf_document* doc, pdf_obj* ref, CopiedFilters* filters);

// True when the first of the stream's filters is a /Crypt filter: the stream names its own decryption, which
// the engine follows (and applies no other), so its reading of such a stream is right.
bool hasOwnCryptFilter(fz_context* c, pdf_obj* dict);

} // namespace vmk::pdf::detail
