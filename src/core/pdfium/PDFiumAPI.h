#pragma once

// The whole binding to PDFium. The library is not linked: it is opened at run time and its entry points
// are bound by name into one table. Nothing outside the in-place edit engine calls PDFium, and every call
// goes through this table. PDFium keeps global state: use it from one thread only.

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace vmk::core {

// PDFium's opaque handles. The tags are our own (PDFium's headers are not included); only the pointer
// values cross the boundary.
struct fpdf_document_t__;
struct fpdf_page_t__;
struct fpdf_textpage_t__;
struct fpdf_pageobject_t__;
struct fpdf_font_t__;
struct fpdf_bitmap_t__;
using FPDF_DOCUMENT = fpdf_document_t__*;
using FPDF_PAGE = fpdf_page_t__*;
using FPDF_TEXTPAGE = fpdf_textpage_t__*;
using FPDF_PAGEOBJECT = fpdf_pageobject_t__*;
using FPDF_FONT = fpdf_font_t__*;
using FPDF_BITMAP = fpdf_bitmap_t__*;
using FPDF_BOOL = int;
using FPDF_WCHAR = unsigned short;

struct FS_MATRIX {
    float a, b, c, d, e, f;
};

struct FPDF_FILEWRITE {
    int version;
    int (*WriteBlock)(FPDF_FILEWRITE* self, const void* data, unsigned long size);
};

struct FPDF_LIBRARY_CONFIG {
    int version;
    const char** m_pUserFontPaths;
    void* m_pIsolate;
    unsigned int m_v8EmbedderSlot;
    void* m_pPlatform;   // read from version 3 on
    int m_RendererType;  // read from version 4 on
};

// Page object types and the few constants the engine passes.
constexpr int kPDFiumObjectText = 1;
constexpr int kPDFiumObjectPath = 2;
constexpr int kPDFiumObjectImage = 3;
constexpr int kPDFiumTextRenderInvisible = 3;
constexpr int kPDFiumFontTrueType = 2;
constexpr int kPDFiumBitmapBGRA = 4;
constexpr unsigned long kPDFiumNoIncremental = 2;

// The bound entry points, in load order: name, result, parameters. Every one is required, including the
// few the engine never calls, so that a build lacking any of them is refused as a whole.
#define VMK_PDFIUM_ENTRY_POINTS(X)                                                                              \
    X(FPDF_InitLibraryWithConfig, void, (const FPDF_LIBRARY_CONFIG*))                                           \
    X(FPDF_LoadMemDocument64, FPDF_DOCUMENT, (const void*, size_t, const char*))                                \
    X(FPDF_CloseDocument, void, (FPDF_DOCUMENT))                                                                \
    X(FPDF_GetLastError, unsigned long, ())                                                                     \
    X(FPDF_GetPageCount, int, (FPDF_DOCUMENT))                                                                  \
    X(FPDF_LoadPage, FPDF_PAGE, (FPDF_DOCUMENT, int))                                                           \
    X(FPDF_ClosePage, void, (FPDF_PAGE))                                                                        \
    X(FPDF_GetPageWidthF, float, (FPDF_PAGE))                                                                   \
    X(FPDF_GetPageHeightF, float, (FPDF_PAGE))                                                                  \
    X(FPDFText_LoadPage, FPDF_TEXTPAGE, (FPDF_PAGE))                                                            \
    X(FPDFText_ClosePage, void, (FPDF_TEXTPAGE))                                                                \
    X(FPDFPage_CountObjects, int, (FPDF_PAGE))                                                                  \
    X(FPDFPage_GetObject, FPDF_PAGEOBJECT, (FPDF_PAGE, int))                                                    \
    X(FPDFPage_InsertObject, void, (FPDF_PAGE, FPDF_PAGEOBJECT))                                                \
    X(FPDFPage_InsertObjectAtIndex, FPDF_BOOL, (FPDF_PAGE, FPDF_PAGEOBJECT, size_t))                            \
    X(FPDFPage_RemoveObject, FPDF_BOOL, (FPDF_PAGE, FPDF_PAGEOBJECT))                                           \
    X(FPDFPage_GenerateContent, FPDF_BOOL, (FPDF_PAGE))                                                         \
    X(FPDFPageObj_GetType, int, (FPDF_PAGEOBJECT))                                                              \
    X(FPDFPageObj_GetBounds, FPDF_BOOL, (FPDF_PAGEOBJECT, float*, float*, float*, float*))                      \
    X(FPDFPageObj_GetMatrix, FPDF_BOOL, (FPDF_PAGEOBJECT, FS_MATRIX*))                                          \
    X(FPDFPageObj_SetMatrix, FPDF_BOOL, (FPDF_PAGEOBJECT, const FS_MATRIX*))                                    \
    X(FPDFPageObj_Transform, void, (FPDF_PAGEOBJECT, double, double, double, double, double, double))           \
    X(FPDFPageObj_Destroy, void, (FPDF_PAGEOBJECT))                                                             \
    X(FPDFPageObj_GetFillColor, FPDF_BOOL, (FPDF_PAGEOBJECT, unsigned*, unsigned*, unsigned*, unsigned*))       \
    X(FPDFPageObj_SetFillColor, FPDF_BOOL, (FPDF_PAGEOBJECT, unsigned, unsigned, unsigned, unsigned))           \
    X(FPDFPageObj_GetStrokeColor, FPDF_BOOL, (FPDF_PAGEOBJECT, unsigned*, unsigned*, unsigned*, unsigned*))     \
    X(FPDFPageObj_SetStrokeColor, FPDF_BOOL, (FPDF_PAGEOBJECT, unsigned, unsigned, unsigned, unsigned))         \
    X(FPDFTextObj_GetText, unsigned long, (FPDF_PAGEOBJECT, FPDF_TEXTPAGE, FPDF_WCHAR*, unsigned long))         \
    X(FPDFTextObj_GetFont, FPDF_FONT, (FPDF_PAGEOBJECT))                                                        \
    X(FPDFTextObj_GetFontSize, FPDF_BOOL, (FPDF_PAGEOBJECT, float*))                                            \
    X(FPDFTextObj_GetTextRenderMode, int, (FPDF_PAGEOBJECT))                                                    \
    X(FPDFFont_GetBaseFontName, size_t, (FPDF_FONT, char*, size_t))                                             \
    X(FPDFFont_GetFamilyName, size_t, (FPDF_FONT, char*, size_t))                                               \
    X(FPDFFont_GetIsEmbedded, int, (FPDF_FONT))                                                                 \
    X(FPDFFont_GetFlags, int, (FPDF_FONT))                                                                      \
    X(FPDFFont_GetWeight, int, (FPDF_FONT))                                                                     \
    X(FPDFFont_GetItalicAngle, FPDF_BOOL, (FPDF_FONT, int*))                                                    \
    X(FPDFFont_GetFontData, FPDF_BOOL, (FPDF_FONT, uint8_t*, size_t, size_t*))                                  \
    X(FPDFFont_Close, void, (FPDF_FONT))                                                                        \
    X(FPDFFont_GetGlyphWidth, FPDF_BOOL, (FPDF_FONT, uint32_t, float, float*))                                  \
    X(FPDFText_LoadFont, FPDF_FONT, (FPDF_DOCUMENT, const uint8_t*, uint32_t, int, FPDF_BOOL))                  \
    X(FPDFText_LoadStandardFont, FPDF_FONT, (FPDF_DOCUMENT, const char*))                                       \
    X(FPDFPageObj_CreateTextObj, FPDF_PAGEOBJECT, (FPDF_DOCUMENT, FPDF_FONT, float))                            \
    X(FPDFPageObj_NewTextObj, FPDF_PAGEOBJECT, (FPDF_DOCUMENT, const char*, float))                             \
    X(FPDFText_SetText, FPDF_BOOL, (FPDF_PAGEOBJECT, const FPDF_WCHAR*))                                        \
    X(FPDFText_SetCharcodes, FPDF_BOOL, (FPDF_PAGEOBJECT, const uint32_t*, size_t))                             \
    X(FPDFText_SetPositions, FPDF_BOOL, (FPDF_PAGEOBJECT, const float*, size_t))                                \
    X(FPDFText_CountChars, int, (FPDF_TEXTPAGE))                                                                \
    X(FPDFText_GetUnicode, unsigned int, (FPDF_TEXTPAGE, int))                                                  \
    X(FPDFText_GetTextObject, FPDF_PAGEOBJECT, (FPDF_TEXTPAGE, int))                                            \
    X(FPDFText_IsGenerated, int, (FPDF_TEXTPAGE, int))                                                          \
    X(FPDFText_HasUnicodeMapError, int, (FPDF_TEXTPAGE, int))                                                   \
    X(FPDFText_GetCharOrigin, FPDF_BOOL, (FPDF_TEXTPAGE, int, double*, double*))                                \
    X(FPDFPageObj_NewImageObj, FPDF_PAGEOBJECT, (FPDF_DOCUMENT))                                                \
    X(FPDFImageObj_SetBitmap, FPDF_BOOL, (FPDF_PAGE*, int, FPDF_PAGEOBJECT, FPDF_BITMAP))                       \
    X(FPDFImageObj_GetImagePixelSize, FPDF_BOOL, (FPDF_PAGEOBJECT, unsigned*, unsigned*))                       \
    X(FPDFBitmap_CreateEx, FPDF_BITMAP, (int, int, int, void*, int))                                            \
    X(FPDFBitmap_Destroy, void, (FPDF_BITMAP))                                                                  \
    X(FPDF_SaveAsCopy, FPDF_BOOL, (FPDF_DOCUMENT, FPDF_FILEWRITE*, unsigned long))                              \
    X(FPDF_CreateNewDocument, FPDF_DOCUMENT, ())                                                                \
    X(FPDFPage_New, FPDF_PAGE, (FPDF_DOCUMENT, int, double, double))

// The table of entry points; every field is null until a load succeeds.
struct PDFiumAPI {
#define VMK_PDFIUM_FIELD(name, result, params) result(*name) params = nullptr;
    VMK_PDFIUM_ENTRY_POINTS(VMK_PDFIUM_FIELD)
#undef VMK_PDFIUM_FIELD
};

constexpr int kPDFiumEntryPointCount = 61;

// The memory sink for saving: PDFium's write record first (PDFium hands the record back to the callback),
// then our own bookkeeping behind it.
struct PDFiumMemorySink {
    FPDF_FILEWRITE head;
    unsigned char* buffer;  // malloc'ed, null at first
    size_t length;          // bytes written so far
    size_t capacity;        // bytes allocated
    int32_t failed;         // set once a block was refused; every later block is refused too
};

// The dynamic-loader calls the loader makes; replaceable so that tests can stand in for the library.
struct DynamicLoaderCalls {
    void* (*open)(const char* path, int flags);
    void* (*symbol)(void* handle, const char* name);
    int (*close)(void* handle);
    const char* (*lastError)();
    static DynamicLoaderCalls system();
};

// Loads and initialises the library once: later calls return the same table; a failed attempt leaves the
// table all null and the next call starts again. Thread-safe (one mutex guards the table and the flag).
class PDFiumLoader {
public:
    explicit PDFiumLoader(DynamicLoaderCalls calls = DynamicLoaderCalls::system());
    PDFiumLoader(const PDFiumLoader&) = delete;
    PDFiumLoader& operator=(const PDFiumLoader&) = delete;

    // The filled table, or null with a NUL-terminated message in error (cut to errorSize).
    const PDFiumAPI* load(const char* path, char* error, size_t errorSize);
    bool isLoaded() const;
    const PDFiumAPI& table() const { return m_api; }

    // The one loader of the process, behind pdfium_load.
    static PDFiumLoader& shared();

private:
    mutable std::mutex m_mutex;
    DynamicLoaderCalls m_calls;
    PDFiumAPI m_api;
    bool m_loaded = false;
};

} // namespace vmk::core

extern "C" {
// Loads the library at path through the process's one loader; see PDFiumLoader::load.
const vmk::core::PDFiumAPI* pdfium_load(const char* path, char* error, size_t errorSize);
// Saves a complete (never incremental) copy into a malloc'ed buffer that the caller frees. False, with
// null and 0, when PDFium fails or a block could not be stored.
bool pdfium_save_to_memory(const vmk::core::PDFiumAPI* api, vmk::core::FPDF_DOCUMENT document,
                           unsigned char** buffer, size_t* length);
// The sink's write callback: 1 when the block was stored, 0 otherwise.
int pdfium_write_block(vmk::core::FPDF_FILEWRITE* sink, const void* data, unsigned long size);
}
