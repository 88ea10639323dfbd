#include "platform/pdf/document/StreamLengths.h"

#include "platform/pdf/engine/Fz.h"

#include <cstring>

namespace vmk::pdf::detail {

namespace {

constexpr char kEnd[] = "endstream";
constexpr int64_t kEndSize = sizeof(kEnd) - 1;

// The data's length, given how far the `endstream` at `keyword` is from the data's start. The end-of-line
// marker ahead of the keyword is not data, but CR LF cannot be told from data ending in CR followed by LF,
// nor a marker from a last byte of data that happens to be one. Data that comes in whole blocks (`block`
// bytes, 16 for AES-encrypted data) settles it when one of the readings is a whole number of blocks (at
// most one can be): a byte cut off such data loses the whole stream. Otherwise the marker is taken as
// written: CR LF, LF or CR. Up to two bytes before the keyword are read, none before the data's start.
int64_t lengthBeforeEndOfLine(int64_t upToKeyword, const unsigned char* keyword, int64_t block)
{
    int64_t length = upToKeyword;
    if (length > 0 && keyword[-1] == '\n')
        --length;
    if (length > 0 && keyword[length - upToKeyword - 1] == '\r')
        --length;
    for (int64_t whole = length; block > 1 && whole <= upToKeyword; ++whole) {
        if (whole % block == 0)
            return whole;
    }
    return length;
}

// Where the data of the stream starting at `start` in the file ends: before the end-of-line ahead of its
// `endstream`, or at the end of the file when it has none. Reads the file through the engine's own stream,
// which every reader seeks before reading. Call inside guarded().
int64_t measuredLength(fz_context* c, pdf_document* doc, int64_t start, int64_t block)
{
    unsigned char chunk[64 * 1024];
    // Carried over from one chunk to the next: a keyword the chunk cut, and the two bytes ahead of it.
    constexpr size_t kCarried = size_t(kEndSize) + 1;
    int64_t at = start; // where `chunk` starts in the file
    size_t kept = 0;    // bytes carried over from the previous chunk
    for (;;) {
        fz_seek(c, doc->file, at + int64_t(kept), SEEK_SET);
        const size_t got = fz_read(c, doc->file, chunk + kept, sizeof chunk - kept);
        const size_t have = kept + got;
        for (size_t i = 0; i + kEndSize <= have; ++i) {
            if (std::memcmp(chunk + i, kEnd, kEndSize) == 0)
                return lengthBeforeEndOfLine(at + int64_t(i) - start, chunk + i, block);
        }
        if (got == 0)
            return at + int64_t(have) - start;
        kept = have < kCarried ? have : kCarried;
        std::memmove(chunk, chunk + have - kept, kept);
        at += int64_t(have - kept);
    }
}

// How encrypted stream data is laid out: in whole 16-byte blocks under AES, byte by byte otherwise.
int64_t encryptionBlock(fz_context* c, pdf_document* doc)
{
    return doc->crypt && std::strncmp(pdf_crypt_method(c, doc->crypt), "AES", 3) == 0 ? 16 : 1;
}

} // namespace

int directStreamLengths(fz_context* c, pdf_document* doc)
{
    int count = 0;
    if (!guarded(c, [&] { count = pdf_xref_len(c, doc); }))
        return 0;
    const int64_t block = encryptionBlock(c, doc);
    int replaced = 0;
    for (int num = 1; num < count; ++num) {
        pdf_obj* obj = nullptr;
        guarded(c, [&] {
            pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
            if (!entry || entry->type != 'n' || !pdf_obj_num_is_stream(c, doc, num))
                return;
            obj = pdf_load_object(c, doc, num);
            pdf_obj* length = pdf_dict_get(c, obj, PDF_NAME(Length));
            const int64_t value = pdf_to_int64(c, pdf_resolve_indirect(c, length));
            // Loading the object set where its data starts in the file; a stream replaced in memory
            // carries its own data and length.
            entry = pdf_get_xref_entry(c, doc, num);
            const bool inFile = entry && !entry->stm_buf && entry->stm_ofs > 0 && doc->file;
            const bool absurd = inFile && (value < 0 || value > doc->file_size - entry->stm_ofs);
            if (absurd)
                pdf_dict_put_int(c, obj, PDF_NAME(Length), measuredLength(c, doc, entry->stm_ofs, block));
            else if (pdf_is_indirect(c, length))
                pdf_dict_put_int(c, obj, PDF_NAME(Length), value);
            else
                return;
            ++replaced;
        });
        pdf_drop_obj(c, obj);
        guarded(c, [&] { count = pdf_xref_len(c, doc); });
    }
    return replaced;
}

} // namespace vmk::pdf::detail
