#include "platform/pdf/detail/StreamLengths.h"

#include "platform/pdf/detail/Fz.h"

#include <cstring>

namespace vmk::pdf::detail {

namespace {

constexpr char kEnd[] = "endstream";
constexpr int64_t kEndSize = sizeof(kEnd) - 1;

// Where the data of the stream starting at `start` in the file ends: before the end-of-line ahead of its
// `endstream`, or at the end of the file when it has none. Reads the file through the engine's own stream,
// which every reader seeks before reading. Call inside guarded().
int64_t measuredLength(fz_context* c, pdf_document* doc, int64_t start)
{
    unsigned char chunk[64 * 1024];
    int64_t at = start; // where `chunk` starts in the file
    size_t kept = 0;    // bytes carried over from the previous chunk, which a keyword may straddle
    for (;;) {
        fz_seek(c, doc->file, at + int64_t(kept), SEEK_SET);
        const size_t got = fz_read(c, doc->file, chunk + kept, sizeof chunk - kept);
        const size_t have = kept + got;
        for (size_t i = 0; i + kEndSize <= have; ++i) {
            if (std::memcmp(chunk + i, kEnd, kEndSize) != 0)
                continue;
            size_t end = i;
            if (end > 0 && chunk[end - 1] == '\n')
                --end;
            if (end > 0 && chunk[end - 1] == '\r')
                --end;
            return at + int64_t(end) - start;
        }
        if (got == 0)
            return at + int64_t(have) - start;
        kept = have < size_t(kEndSize) ? have : size_t(kEndSize - 1);
        std::memmove(chunk, chunk + have - kept, kept);
        at += int64_t(have - kept);
    }
}

} // namespace

int directStreamLengths(fz_context* c, pdf_document* doc)
{
    int count = 0;
    if (!guarded(c, [&] { count = pdf_xref_len(c, doc); }))
        return 0;
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
                pdf_dict_put_int(c, obj, PDF_NAME(Length), measuredLength(c, doc, entry->stm_ofs));
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
