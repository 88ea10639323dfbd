#include "platform/ocr/TesseractSetup.h"

#include <tesseract/capi.h>

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <mutex>

#include <dlfcn.h>
#include <unistd.h>

namespace vmk::platform {

namespace {

// Below this an image buffer comes from memory the heap has already handed out and taken back, whose
// pages are in place; touching it would cost more than the rare fault it spares.
constexpr size_t kTouchFrom = size_t(64) << 10;

void* imageBuffer(size_t bytes)
{
    void* data = std::malloc(bytes);
    if (!data || bytes < kTouchFrom)
        return data;
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE) > 0 ? sysconf(_SC_PAGESIZE) : 4096);
    volatile char* bytesAt = static_cast<volatile char*>(data);
    bytesAt[0] = 0;
    for (size_t offset = (page - uintptr_t(data) % page) % page; offset < bytes; offset += page)
        bytesAt[offset] = 0;
    return data;
}

void freeImageBuffer(void* data) { std::free(data); }

// Leptonica writes the padding at the end of each row of a new image before anything else is written,
// reading it first: a fresh page read first is mapped to the kernel's shared zero page, and the write that
// follows replaces it, which in a process with other threads at work means stopping every core they run on
// to flush its address cache. With eight engines reading at once that cost a fifth of the processor time of
// each page, the slower address lookups after each flush included. Writing each page of a large image
// buffer first makes the kernel give it a page of its own at once, with nothing to flush.
void writeImageBuffersFirst()
{
    using Allocator = void* (*)(size_t);
    using Deallocator = void (*)(void*);
    using SetManager = void (*)(Allocator, Deallocator);
    // Looked up rather than linked: the image library comes with Tesseract and is not ours to link.
    void* symbol = dlsym(RTLD_DEFAULT, "setPixMemoryManager");
    if (!symbol)
        if (void* lept = dlopen("liblept.so.5", RTLD_NOW | RTLD_NOLOAD))
            symbol = dlsym(lept, "setPixMemoryManager");
    if (symbol)
        reinterpret_cast<SetManager>(symbol)(&imageBuffer, &freeImageBuffer);
}

} // namespace

void prepareTesseract()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (qEnvironmentVariableIsEmpty("OMP_THREAD_LIMIT"))
            qputenv("OMP_THREAD_LIMIT", QByteArray("1")); // for any OpenMP runtime loaded later; see OpenMpLimit.h
        // Before the first image exists: images made before are freed by the same free().
        writeImageBuffersFirst();
        TessBaseAPI* api = TessBaseAPICreate();
        // Tesseract reports progress and guesses on stderr; the results say all we need.
        TessBaseAPISetVariable(api, "debug_file", "/dev/null");
        // Data that does not exist makes the engine complain, which opens the debug output now rather than
        // on two threads' first messages at once.
        TessBaseAPIInit2(api, "/nonexistent", "none", tesseract::OEM_LSTM_ONLY);
        TessBaseAPIEnd(api);
        TessBaseAPIDelete(api);
    });
}

} // namespace vmk::platform
