#include "core/pdfium/PDFiumAPI.h"

#include <dlfcn.h>

#include <cstdio>

namespace vmk::core {

namespace {

const char* systemLastError() { return dlerror(); }

void writeMessage(char* error, size_t errorSize, const char* format, const char* text)
{
    if (error && errorSize > 0)
        std::snprintf(error, errorSize, format, text); // snprintf cuts to size and always terminates
}

} // namespace

DynamicLoaderCalls DynamicLoaderCalls::system()
{
    return {&dlopen, &dlsym, &dlclose, &systemLastError};
}

PDFiumLoader::PDFiumLoader(DynamicLoaderCalls calls) : m_calls(calls) {}

PDFiumLoader& PDFiumLoader::shared()
{
    static PDFiumLoader loader;
    return loader;
}

bool PDFiumLoader::isLoaded() const
{
    std::lock_guard lock(m_mutex);
    return m_loaded;
}

const PDFiumAPI* PDFiumLoader::load(const char* path, char* error, size_t errorSize)
{
    std::lock_guard lock(m_mutex);
    if (m_loaded)
        return &m_api;

    // DEEPBIND: the library carries its own FreeType, which must not bind to the system one Qt loaded.
    // The sanitizers' runtime refuses deep binding (it would bypass their interceptors), so a sanitizer
    // build loads the library plainly. That is sound, not merely tolerated: the library reaches every
    // FreeType function it uses, from its own code and from inside its FreeType alike, through its symbol
    // table, and the system FreeType exports each of them, so all of its calls land in the system copy and
    // the two copies never share an object. Its allocations go to the sanitizer's allocator as ours do.
#ifdef VMK_SANITIZE
    const int flags = RTLD_NOW | RTLD_LOCAL;
#else
    const int flags = RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif
    void* handle = m_calls.open(path, flags);
    if (!handle) {
        const char* text = m_calls.lastError ? m_calls.lastError() : nullptr;
        writeMessage(error, errorSize, "%s", text ? text : "dlopen failed");
        return nullptr;
    }

    const char* missing = nullptr;
#define VMK_PDFIUM_BIND(name, result, params)                                                                  \
    if (!missing) {                                                                                            \
        m_api.name = reinterpret_cast<result(*) params>(m_calls.symbol(handle, #name));                      \
        if (!m_api.name)                                                                                       \
            missing = #name;                                                                                   \
    }
    VMK_PDFIUM_ENTRY_POINTS(VMK_PDFIUM_BIND)
#undef VMK_PDFIUM_BIND

    if (missing) {
        writeMessage(error, errorSize, "missing symbol %s", missing);
        m_calls.close(handle);
        m_api = PDFiumAPI{};
        return nullptr;
    }

    FPDF_LIBRARY_CONFIG config{};
    config.version = 2;
    m_api.FPDF_InitLibraryWithConfig(&config);
    m_loaded = true; // the handle is deliberately dropped: the library stays until the process ends
    return &m_api;
}

} // namespace vmk::core

extern "C" const vmk::core::PDFiumAPI* pdfium_load(const char* path, char* error, size_t errorSize)
{
    return vmk::core::PDFiumLoader::shared().load(path, error, errorSize);
}
