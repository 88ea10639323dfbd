#include "core/pdfium/PDFiumAPI.h"

#include <cstdlib>
#include <cstring>

using vmk::core::FPDF_FILEWRITE;
using vmk::core::PDFiumMemorySink;

extern "C" int pdfium_write_block(FPDF_FILEWRITE* self, const void* data, unsigned long size)
{
    auto* sink = reinterpret_cast<PDFiumMemorySink*>(self);
    if (sink->failed)
        return 0;
    const size_t needed = sink->length + size;
    if (needed < sink->length) { // the sum wrapped: no buffer can hold it
        sink->failed = 1;
        return 0;
    }
    if (needed > sink->capacity) {
        size_t capacity = sink->capacity ? sink->capacity : 65536;
        while (capacity < needed) {
            if (capacity > SIZE_MAX / 2) {
                sink->failed = 1;
                return 0;
            }
            capacity *= 2;
        }
        void* grown = std::realloc(sink->buffer, capacity);
        if (!grown) {
            sink->failed = 1; // the old block stays in buffer; the save frees it
            return 0;
        }
        sink->buffer = static_cast<unsigned char*>(grown);
        sink->capacity = capacity;
    }
    if (size > 0)
        std::memcpy(sink->buffer + sink->length, data, size);
    sink->length = needed;
    return 1;
}

extern "C" bool pdfium_save_to_memory(const vmk::core::PDFiumAPI* api, vmk::core::FPDF_DOCUMENT document,
                                      unsigned char** buffer, size_t* length)
{
    PDFiumMemorySink sink{};
    sink.head.version = 1;
    sink.head.WriteBlock = &pdfium_write_block;
    const int saved = api->FPDF_SaveAsCopy(document, &sink.head, vmk::core::kPDFiumNoIncremental);
    if (saved != 0 && sink.failed == 0) {
        *buffer = sink.buffer;
        *length = sink.length;
        return true;
    }
    std::free(sink.buffer);
    *buffer = nullptr;
    *length = 0;
    return false;
}
