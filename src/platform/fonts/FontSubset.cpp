#include "platform/fonts/FontSubset.h"

#include <hb-subset.h>
#include <hb.h>

namespace vmk::platform {

std::optional<QByteArray> subsetTrueType(const QByteArray& fontFile, const QString& text)
{
    if (fontFile.isEmpty())
        return std::nullopt;
    hb_blob_t* blob = hb_blob_create(fontFile.constData(), unsigned(fontFile.size()), HB_MEMORY_MODE_READONLY,
                                     nullptr, nullptr);
    hb_face_t* face = hb_face_create(blob, 0);
    hb_blob_destroy(blob);
    std::optional<QByteArray> out;
    hb_blob_t* glyf = hb_face_reference_table(face, HB_TAG('g', 'l', 'y', 'f'));
    const bool hasGlyf = hb_blob_get_length(glyf) > 0;
    hb_blob_destroy(glyf);
    if (hasGlyf) {
        hb_subset_input_t* input = hb_subset_input_create_or_fail();
        if (input) {
            hb_set_t* unicodes = hb_subset_input_unicode_set(input);
            hb_set_add(unicodes, 0x20);
            for (char32_t c : text.toStdU32String())
                hb_set_add(unicodes, hb_codepoint_t(c));
            // Hinting is for screens at small sizes; PDF readers rasterise without it.
            hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_NO_HINTING);
            // The name table (with the PostScript name) stays: readers name the embedded font by it.
            hb_set_del(hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG), HB_TAG('n', 'a', 'm', 'e'));
            hb_face_t* subset = hb_subset_or_fail(face, input);
            if (subset) {
                hb_blob_t* result = hb_face_reference_blob(subset);
                unsigned length = 0;
                const char* data = hb_blob_get_data(result, &length);
                if (data && length > 0)
                    out = QByteArray(data, qsizetype(length));
                hb_blob_destroy(result);
                hb_face_destroy(subset);
            }
            hb_subset_input_destroy(input);
        }
    }
    hb_face_destroy(face);
    return out;
}

} // namespace vmk::platform
