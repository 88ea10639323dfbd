#pragma once

// MuPDF access for the layer's own sources. Never include this from outside src/platform/pdf.
//
// MuPDF reports errors with setjmp/longjmp. Code between fz_try and fz_catch must not construct C++
// objects with destructors (a longjmp would skip them): do the C calls inside guarded(), convert to Qt
// types outside it.

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

#include <QByteArray>
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstddef>
#include <memory>
#include <optional>

namespace vmk::pdf::detail {

// The calling thread's MuPDF context: a clone of the process-wide base context, so that any thread may
// render display lists while the main thread works on documents.
fz_context* ctx();

// A context that shares nothing with ctx()'s family (no store, font library or lock in common), for work
// that would otherwise queue on the engine's process-wide locks: every allocation, reference count change
// and store look-up of ctx()'s family takes one. One thread at a time may use it, and no object made
// with it may meet an object of another context. Null when the engine cannot start one.
fz_context* newSeparateContext(std::size_t storeBytes);

// A family of engine contexts of its own: its own locks, store, fonts and glyph cache, shared with nothing
// of ctx()'s family, so that its threads never queue behind the rest of the process. Unlike a separate
// context it can be cloned: every user works with a Clone of its own, so that a display list recorded on
// one thread is drawn on several at once. Whatever the family made must be dropped with one of its
// contexts, and the family must outlive its clones: holders of such objects keep the family.
class EngineFamily {
public:
    // Null when the engine cannot start one.
    static std::shared_ptr<EngineFamily> create(std::size_t storeBytes);
    ~EngineFamily();
    EngineFamily(const EngineFamily&) = delete;
    EngineFamily& operator=(const EngineFamily&) = delete;

    // A context of the family for the calling thread while it lives. Null context when the engine
    // cannot make one.
    class Clone {
    public:
        explicit Clone(const EngineFamily& family);
        ~Clone();
        Clone(const Clone&) = delete;
        Clone& operator=(const Clone&) = delete;
        fz_context* context() const { return m_context; }

    private:
        fz_context* m_context = nullptr;
    };

    struct Locks;

private:
    friend class Clone;
    EngineFamily() = default;
    std::unique_ptr<Locks> m_locks;
    // Only ever cloned, never worked with, so that cloning it never reads a context in use.
    fz_context* m_root = nullptr;
};

// The calling thread's context for objects of `family`, or ctx() when it is null, while this lives. Null
// when the engine cannot make one.
class ContextFor {
public:
    explicit ContextFor(const EngineFamily* family)
    {
        if (family)
            m_clone.emplace(*family);
    }
    fz_context* get() const { return m_clone ? m_clone->context() : ctx(); }

private:
    std::optional<EngineFamily::Clone> m_clone;
};

// A context of ctx()'s family (locks, fonts, colour spaces and glyphs in common) with a store of its own,
// for documents that workers interpret one at a time: what one such document's interpretation caches and
// looks up never meets another document's objects. The engine's store compares keys by value and, while
// doing so, reads the xref of the document each key belongs to; with one store for all, a lookup on one
// worker read documents other threads were changing or dropping (and hung the process when that read
// allocated under the store's lock). One thread at a time may use it. Null when the engine cannot.
fz_context* newPrivateStoreContext(std::size_t storeBytes);

// pdf_drop_document() for documents of ctx()'s family. The engine frees a document's cross-reference
// table before it takes the document's objects out of the store, and a store look-up on another thread
// compares keys against those objects, reading that table; when this is the last reference, the objects
// leave the store first.
void dropDocument(fz_context* c, pdf_document* doc);

// Runs body (C calls only) in fz_try. On a MuPDF error returns false and stores its message in *error.
template <typename Body>
bool guarded(fz_context* c, Body&& body, QString* error = nullptr)
{
    volatile bool ok = true;
    fz_try(c) { body(); }
    fz_catch(c)
    {
        ok = false;
        if (error)
            *error = QString::fromUtf8(fz_caught_message(c));
    }
    return ok;
}

inline QRectF toQRect(fz_rect r) { return QRectF(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0); }
inline fz_rect toFzRect(const QRectF& r)
{
    const QRectF n = r.normalized();
    return fz_make_rect(float(n.left()), float(n.top()), float(n.right()), float(n.bottom()));
}

// Readers that never throw (they only inspect already loaded objects or return defaults).
QString textOf(fz_context* c, pdf_obj* obj);
QRectF rectOf(fz_context* c, pdf_obj* obj);
// Puts a text string (UTF-8 → PDFDocEncoding or UTF-16) into a dictionary; removes the key when empty.
void putText(fz_context* c, pdf_obj* dict, pdf_obj* key, const QString& text);
void putRect(fz_context* c, pdf_obj* dict, pdf_obj* key, const QRectF& rect);

// Names come from our own fixed tables; MuPDF interns them.
QString nameOf(fz_context* c, pdf_obj* obj);

// A cookie's abort flag is raised from other threads (a deadline's watchdog, a cancel, a budget) while the
// engine's thread reads it: both done as atomic accesses, which the race checker follows.
inline void raiseAbort(int* flag)
{
    __atomic_store_n(flag, 1, __ATOMIC_RELAXED);
}
inline bool abortRaised(const int* flag)
{
    return __atomic_load_n(flag, __ATOMIC_RELAXED) != 0;
}

// Counts what the engine allocates on this thread while it lives (frees included) and refuses
// allocations past `limit`, setting `*abort` (a cookie's abort flag) so the work in hand stops.
struct AllocationBudget {
    std::size_t used = 0;
    std::size_t limit = 0;
    bool exceeded = false;
    int* abort = nullptr;
};
class ScopedAllocationBudget {
public:
    ScopedAllocationBudget(std::size_t limit, int* abort);
    ~ScopedAllocationBudget();
    ScopedAllocationBudget(const ScopedAllocationBudget&) = delete;
    ScopedAllocationBudget& operator=(const ScopedAllocationBudget&) = delete;
    bool exceeded() const { return m_budget.exceeded; }

private:
    AllocationBudget m_budget;
    AllocationBudget* m_previous = nullptr;
};

// Whether work known beforehand to need `bytes` (an image's decoded samples) fits the memory budget this
// thread runs under; always without one. When it does not, the budget ends as a refused allocation would
// end it (exceeded, its work aborted) without the work having begun.
bool fitsAllocationBudget(std::size_t bytes);

// Output of MuPDF's warning and error callbacks goes to the "vmk.pdf" logging category.
void installMessageCallbacks(fz_context* c);

// For a stream over `size` bytes in memory: moves to `offset` from where `whence` says, kept within the
// bytes, so that the next read hands them out from there.
void seekWithin(fz_stream* stm, int64_t offset, int whence, int64_t size);

} // namespace vmk::pdf::detail
