#pragma once

#include "platform/pdf/engine/Fz.h"

#include <QByteArray>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vmk::pdf::detail {

class FileFill;

// Copies of a document opened from its original bytes for workers that read pages, one per worker at a
// time, made as workers ask. Each copy lives in an engine context of its own (newSeparateContext), so
// workers never queue on one another for the engine's process-wide locks; a copy moves between threads
// only through take() and give(). The bytes are shared, never copied. Everything is released when the
// last user lets go of the copies.
class SourceCopies : public std::enable_shared_from_this<SourceCopies> {
public:
    struct Copy {
        fz_context* context = nullptr;
        pdf_document* doc = nullptr;
        fz_buffer* bytes = nullptr; // the source's bytes, seen from this copy's context
        // For copies whose display lists are drawn on other threads: the family `context` belongs to, which
        // those lists keep (see EngineFamily).
        std::shared_ptr<EngineFamily> family;
        std::unique_ptr<EngineFamily::Clone> own;
        std::thread::id lastUser; // who gave it back last
        std::chrono::steady_clock::time_point givenBack;
    };

    // How the copies' contexts are made: alone (for work that ends on the thread that took the copy), or
    // as families whose display lists any thread may draw.
    enum class Contexts { separate, families };

    // On the thread that owns `source` (a buffer of ctx()'s family). `storeBytes`: what each copy's
    // engine keeps for reuse; 0 for the default.
    // A document whose file is still being read has no source yet: the copies then read the file through
    // `fill` as they need it.
    SourceCopies(fz_buffer* source, const QByteArray& password, Contexts contexts = Contexts::separate,
                 std::size_t storeBytes = 0, std::shared_ptr<FileFill> fill = {});
    ~SourceCopies();
    SourceCopies(const SourceCopies&) = delete;
    SourceCopies& operator=(const SourceCopies&) = delete;

    // A copy nobody else uses until it is given back; null when the document cannot be opened. The copy
    // this thread gave back last when it is free: what that copy's engine keeps (fonts, glyphs, pictures)
    // is then this thread's, and the threads drawing the lists of one family do not queue on its locks.
    // For families, a thread without one takes no copy another thread is still coming back to: it takes
    // one left idle, or opens one of its own while there are fewer than the cores.
    Copy* take();
    void give(Copy* copy);
    // Whether a copy is open. When none is, one is opened ahead on a thread of its own (held by a
    // shared_ptr, this keeps itself meanwhile): opening reads the whole page tree, which on a long
    // document takes longer than copying the few pages a caller wants first.
    bool openedOrOpenAhead();

    // The reader is done with these copies; workers still reading may keep them a while. On the thread
    // that decides it: when any copy was opened, its release is counted from now until the last copy is
    // closed, so that no trim of the heaps runs before what the copies read is freed.
    void letGo();

    // Copies open in the whole process (a test hook: they must all be gone once reading ends).
    static int openCount(Contexts contexts = Contexts::separate);

private:
    Copy* open();
    static void close(Copy* copy);
    // Under the lock: the free copy this thread should take, or null to open one.
    Copy* takeFree();

    fz_buffer* m_source;
    std::shared_ptr<FileFill> m_fill;
    Contexts m_contexts;
    std::size_t m_storeBytes;
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
    QByteArray m_password;
    std::mutex m_mutex;
    std::vector<Copy*> m_all;
    std::vector<Copy*> m_free;
    bool m_openingAhead = false;
    bool m_releaseCounted = false; // by letGo(), ended as the copies close
    int m_opening = 0; // copies being opened by take()
};

} // namespace vmk::pdf::detail
