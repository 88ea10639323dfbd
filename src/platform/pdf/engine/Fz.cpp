#include "platform/pdf/engine/Fz.h"

#include "platform/pdf/engine/DrawScratch.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/engine/EngineGate.h"

#include <linux/futex.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <pthread.h>

Q_LOGGING_CATEGORY(lcVmkPdf, "vmk.pdf")

namespace vmk::pdf::detail {
namespace {

// The engine takes these locks for every reference count change and glyph cache look-up, holding them for a
// few instructions. A lock that spun and then yielded burned a sixth of eight workers' time in sched_yield
// while the holder waited for a core; this one spins briefly and then sleeps in the kernel until the holder
// lets go, as glibc's adaptive mutex does. Taken free (nearly always: each worker's copy has locks of its
// own), it costs one atomic operation each way and no call into the C library, whose mutex took 60 %
// longer per lock and unlock, some 4.9 million of each for a 117-page book. The race checker follows only
// the C library's mutexes: its builds keep those.
#if defined(__SANITIZE_THREAD__)
struct EngineLock {
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    void lock() { pthread_mutex_lock(&mutex); }
    void unlock() { pthread_mutex_unlock(&mutex); }
};
#else
struct EngineLock {
    // 0: free; 1: taken; 2: taken, and a thread may sleep on it.
    std::atomic<int> state{0};
    void lock()
    {
        int expected = 0;
        if (state.compare_exchange_strong(expected, 1, std::memory_order_acquire)) [[likely]]
            return;
        for (int spin = 0; spin < 100 && expected == 1; ++spin) {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#elif defined(__aarch64__)
            asm volatile("yield");
#endif
            expected = state.load(std::memory_order_relaxed);
            if (expected == 0 && state.compare_exchange_strong(expected, 1, std::memory_order_acquire))
                return;
        }
        // Marked as slept on before sleeping, so that the holder's unlock wakes a sleeper.
        while (state.exchange(2, std::memory_order_acquire) != 0)
            syscall(SYS_futex, &state, FUTEX_WAIT_PRIVATE, 2, nullptr, nullptr, 0);
    }
    void unlock()
    {
        if (state.exchange(0, std::memory_order_release) == 2) [[unlikely]]
            syscall(SYS_futex, &state, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
    }
};
static_assert(sizeof(std::atomic<int>) == sizeof(int), "the kernel waits on the lock's word");
#endif

EngineLock g_locks[FZ_LOCK_MAX];

// For what is read on every lock and allocation the engine makes: the initial-exec model reads it at a
// fixed offset from the thread pointer instead of calling into the loader each time (this library is
// linked at start, never loaded late).
#define VMK_HOT_THREAD_LOCAL __attribute__((tls_model("initial-exec"))) thread_local

// How deep this thread is in the allocation lock. The engine holds that lock while it looks an item up in
// its store, and the look-up compares keys by value, which reads the key's document's cross-reference
// table; when that table was never made whole (a file with updates or gaps, a page tree rebuilt), the read
// allocates, and so takes the lock again on the same thread. Taken once per thread, that would never end.
VMK_HOT_THREAD_LOCAL int t_allocDepth = 0;

void lockFn(void*, int lock)
{
    if (lock == FZ_LOCK_ALLOC && t_allocDepth++ > 0)
        return;
    g_locks[lock].lock();
}
void unlockFn(void*, int lock)
{
    if (lock == FZ_LOCK_ALLOC && --t_allocDepth > 0)
        return;
    g_locks[lock].unlock();
}

void lockFamily(void* user, int lock);
void unlockFamily(void* user, int lock);

// Allocations of the engine on a thread that runs under a memory budget are counted, and refused once
// over it: the engine then reports an out-of-memory error for the work in hand, and nothing else fails.
VMK_HOT_THREAD_LOCAL AllocationBudget* t_budget = nullptr;

// From this size an allocation is given large pages where the system has them. The first touch of each
// small page of fresh memory is a fault, which on a virtual machine can cost tens of microseconds: the
// table of objects of a long document (megabytes, cleared at once), pixmaps and file buffers paid more
// for those faults than for their work.
constexpr std::size_t kLargePagesFrom = std::size_t(4) << 20;
constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;

void adviseLargePages(void* p, size_t size, int advice)
{
    if (!p || size < kLargePagesFrom)
        return;
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t begin = (start + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t end = (start + size) & ~(kLargePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, advice);
}

void preferLargePages(void* p, size_t size) { adviseLargePages(p, size, MADV_HUGEPAGE); }

// Before such a block goes back to the C library, which may hand its memory out again in small pieces
// from its heap: the system would otherwise go on filling that memory with large pages, holding far more
// than what is used.
void forgetLargePages(void* p) { adviseLargePages(p, p ? malloc_usable_size(p) : 0, MADV_NOHUGEPAGE); }

void* budgetedMalloc(void*, size_t size)
{
    void* p = t_drawScratch && size >= kDrawScratchFrom ? takeDrawScratch(size) : nullptr;
    if (!p) {
        p = std::malloc(size);
        preferLargePages(p, size);
    }
    // An allocation nested in another's lock (a store look-up) is never refused: a refusal makes the engine
    // evict from the store, which the look-up is walking.
    if (AllocationBudget* b = t_budget; b && p) {
        b->used += malloc_usable_size(p);
        if (b->used > b->limit && t_allocDepth <= 1) {
            b->used -= malloc_usable_size(p);
            forgetLargePages(p);
            std::free(p);
            b->exceeded = true;
            if (b->abort)
                raiseAbort(b->abort);
            return nullptr;
        }
    }
    return p;
}

void* budgetedRealloc(void*, void* old, size_t size)
{
    AllocationBudget* b = t_budget;
    const std::size_t before = b && old ? malloc_usable_size(old) : 0;
    if (b && size > before && b->used + (size - before) > b->limit && t_allocDepth <= 1) {
        b->exceeded = true;
        if (b->abort)
            raiseAbort(b->abort);
        return nullptr;
    }
    forgetLargePages(old);
    void* p = std::realloc(old, size);
    if (p)
        preferLargePages(p, size);
    else if (size > 0)
        preferLargePages(old, malloc_usable_size(old)); // refused: the old block is still in use
    if (b && p)
        b->used = b->used - std::min(b->used, before) + malloc_usable_size(p);
    return p;
}

void budgetedFree(void*, void* p)
{
    if (!p)
        return;
    const bool drawing = t_drawScratch;
    const std::size_t usable = t_budget || drawing ? malloc_usable_size(p) : 0;
    if (AllocationBudget* b = t_budget)
        b->used -= std::min(b->used, usable);
    if (drawing && usable >= kDrawScratchFrom && keepDrawScratch(p, usable))
        return;
    forgetLargePages(p);
    std::free(p);
}

void onWarning(void*, const char* message) { qCDebug(lcVmkPdf, "%s", message); }
void onError(void*, const char* message) { qCWarning(lcVmkPdf, "%s", message); }

// Never dropped: thread-local clones may outlive any static destructor order we could arrange.
fz_context* baseContext()
{
    static fz_context* base = [] {
        static fz_locks_context locks{nullptr, lockFn, unlockFn};
        static fz_alloc_context alloc{nullptr, budgetedMalloc, budgetedRealloc, budgetedFree};
        fz_context* c = fz_new_context(&alloc, &locks, FZ_STORE_DEFAULT);
        if (!c)
            qFatal("The PDF engine could not start");
        installMessageCallbacks(c);
        fz_try(c) { fz_register_document_handlers(c); }
        fz_catch(c) { qCWarning(lcVmkPdf, "%s", fz_caught_message(c)); }
        return c;
    }();
    return base;
}

struct ThreadContext {
    fz_context* context = nullptr;
    ~ThreadContext()
    {
        if (context)
            fz_drop_context(context);
    }
};

} // namespace

void freeEngineBlock(void* p)
{
    forgetLargePages(p);
    std::free(p);
}

ScopedAllocationBudget::ScopedAllocationBudget(std::size_t limit, int* abort)
{
    m_budget.limit = limit;
    m_budget.abort = abort;
    m_previous = t_budget;
    t_budget = &m_budget;
}

ScopedAllocationBudget::~ScopedAllocationBudget()
{
    t_budget = m_previous;
}

bool fitsAllocationBudget(std::size_t bytes)
{
    AllocationBudget* b = t_budget;
    if (!b || bytes <= b->limit)
        return true;
    b->exceeded = true;
    if (b->abort)
        raiseAbort(b->abort);
    return false;
}

void installMessageCallbacks(fz_context* c)
{
    fz_set_warning_callback(c, onWarning, nullptr);
    fz_set_error_callback(c, onError, nullptr);
}

void seekWithin(fz_stream* stm, int64_t offset, int whence, int64_t size)
{
    if (whence == SEEK_END)
        offset += size;
    else if (whence == SEEK_CUR)
        offset += stm->pos - (stm->wp - stm->rp);
    stm->pos = std::clamp<int64_t>(offset, 0, size);
    stm->rp = stm->wp = nullptr;
}

fz_context* newSeparateContext(std::size_t storeBytes)
{
    // No locks: the engine's default ones do nothing, which is right for a context that one thread
    // uses at a time and that shares no object, store or font library with any other.
    static fz_alloc_context alloc{nullptr, budgetedMalloc, budgetedRealloc, budgetedFree};
    fz_context* c = fz_new_context(&alloc, nullptr, storeBytes);
    if (c)
        installMessageCallbacks(c);
    return c;
}

struct EngineFamily::Locks {
    EngineLock locks[FZ_LOCK_MAX];
    fz_locks_context engine{this, lockFamily, unlockFamily};
};

namespace {

// The same re-entry rule as the process-wide family's allocation lock: a store look-up may allocate.
void lockFamily(void* user, int lock)
{
    if (lock == FZ_LOCK_ALLOC && t_allocDepth++ > 0)
        return;
    static_cast<EngineFamily::Locks*>(user)->locks[lock].lock();
}
void unlockFamily(void* user, int lock)
{
    if (lock == FZ_LOCK_ALLOC && --t_allocDepth > 0)
        return;
    static_cast<EngineFamily::Locks*>(user)->locks[lock].unlock();
}

} // namespace

std::shared_ptr<EngineFamily> EngineFamily::create(std::size_t storeBytes)
{
    static fz_alloc_context alloc{nullptr, budgetedMalloc, budgetedRealloc, budgetedFree};
    std::shared_ptr<EngineFamily> family(new EngineFamily);
    family->m_locks = std::make_unique<Locks>();
    family->m_root = fz_new_context(&alloc, &family->m_locks->engine, storeBytes);
    if (!family->m_root)
        return nullptr;
    installMessageCallbacks(family->m_root);
    return family;
}

EngineFamily::~EngineFamily()
{
    if (m_root)
        fz_drop_context(m_root);
}

EngineFamily::Clone::Clone(const EngineFamily& family) : m_context(fz_clone_context(family.m_root))
{
    if (m_context)
        installMessageCallbacks(m_context);
}

EngineFamily::Clone::~Clone()
{
    if (m_context)
        fz_drop_context(m_context);
}

fz_context* newPrivateStoreContext(std::size_t storeBytes)
{
    fz_context* c = fz_clone_context(baseContext());
    if (!c)
        return nullptr;
    installMessageCallbacks(c);
    fz_drop_store_context(c); // the family's, kept by the other members
    c->store = nullptr;
    fz_try(c) { fz_new_store_context(c, storeBytes); }
    fz_catch(c) {}
    if (!c->store) {
        fz_drop_context(c);
        return nullptr;
    }
    return c;
}

void dropDocument(fz_context* c, pdf_document* doc)
{
    if (!doc)
        return;
    // Only the holder of the last reference knows nobody loads from the document any more. The count is
    // read under the lock the engine changes it under: a capture or copy on a worker may be letting go of
    // its reference right now.
    fz_lock(c, FZ_LOCK_ALLOC);
    const int refs = doc->super.refs;
    fz_unlock(c, FZ_LOCK_ALLOC);
    if (refs == 1)
        guarded(c, [&] { pdf_empty_store(c, doc); });
    pdf_drop_document(c, doc);
}

fz_context* ctx()
{
    thread_local ThreadContext local;
    if (!local.context) {
        local.context = fz_clone_context(baseContext());
        if (!local.context)
            qFatal("The PDF engine could not start on this thread");
        installMessageCallbacks(local.context);
    }
    // While a worker writes a document, the main thread waits here before it touches any.
    if (EngineGate::isClosed()) [[unlikely]]
        EngineGate::passMainThread();
    return local.context;
}

QString textOf(fz_context* c, pdf_obj* obj)
{
    const char* text = nullptr;
    guarded(c, [&] {
        if (pdf_is_string(c, obj))
            text = pdf_to_text_string(c, obj);
    });
    return text ? QString::fromUtf8(text) : QString();
}

QString nameOf(fz_context* c, pdf_obj* obj)
{
    if (!pdf_is_name(c, obj))
        return QString();
    return QString::fromUtf8(pdf_to_name(c, obj));
}

QRectF rectOf(fz_context* c, pdf_obj* obj)
{
    if (!pdf_is_array(c, obj) || pdf_array_len(c, obj) < 4)
        return QRectF();
    const double x0 = pdf_array_get_real(c, obj, 0), y0 = pdf_array_get_real(c, obj, 1);
    const double x1 = pdf_array_get_real(c, obj, 2), y1 = pdf_array_get_real(c, obj, 3);
    return QRectF(QPointF(qMin(x0, x1), qMin(y0, y1)), QPointF(qMax(x0, x1), qMax(y0, y1)));
}

void putText(fz_context* c, pdf_obj* dict, pdf_obj* key, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    const char* s = utf8.constData();
    guarded(c, [&] {
        if (*s)
            pdf_dict_put_text_string(c, dict, key, s);
        else
            pdf_dict_del(c, dict, key);
    });
}

void putRect(fz_context* c, pdf_obj* dict, pdf_obj* key, const QRectF& rect)
{
    const fz_rect r = toFzRect(rect);
    guarded(c, [&] { pdf_dict_put_rect(c, dict, key, r); });
}

} // namespace vmk::pdf::detail
