#pragma once

// Qt hands work to its pool threads, and results and queued calls back, under its own locks (futexes)
// and atomics. Qt is not built with ThreadSanitizer, so the checker cannot see that order and takes the
// hand-off for a race. Where we hand data over through Qt, the sending side releases a HandOff and the
// receiving side acquires the same one; outside a ThreadSanitizer build all of it compiles to nothing.

#include <memory>
#include <type_traits>
#include <utility>

#if defined(VMK_SANITIZE_THREAD)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace vmk::platform {

// Copies are the same hand-off. release() on one thread, then acquire() on another: everything the first
// did before releasing is seen as done before whatever the second does after acquiring.
class HandOff {
public:
#if defined(VMK_SANITIZE_THREAD)
    void release() const { __tsan_release(m_key.get()); }
    void acquire() const { __tsan_acquire(m_key.get()); }

private:
    std::shared_ptr<char> m_key = std::make_shared<char>(0);
#else
    void release() const {}
    void acquire() const {}
#endif
};

#if defined(VMK_SANITIZE_THREAD)
namespace detail {
// One key for every handed-over piece of work: the receiving thread must not read anything of the work
// before it has acquired, so the key cannot be stored in the work.
inline char g_handedOverKey = 0;

// Acquires before anything else of the object it is the first base of is made: a copy or move on the
// receiving thread (QtConcurrent moves the work out of its task there) reads the original only after.
struct AcquireFirst {
    AcquireFirst() { __tsan_acquire(&g_handedOverKey); }
};

// The work, releasing after every copy or move our code makes of it (the last one, inside Qt's inline
// templates, is what the receiving thread reads) and acquiring before it is read or run.
template <typename Work>
class HandedOver : AcquireFirst {
public:
    explicit HandedOver(Work work) : m_work(std::move(work)) { __tsan_release(&g_handedOverKey); }
    HandedOver(const HandedOver& other) : AcquireFirst(), m_work(other.m_work) { __tsan_release(&g_handedOverKey); }
    HandedOver(HandedOver&& other) noexcept : AcquireFirst(), m_work(std::move(other.m_work))
    {
        __tsan_release(&g_handedOverKey);
    }
    HandedOver& operator=(const HandedOver&) = delete;
    HandedOver& operator=(HandedOver&&) = delete;
    decltype(auto) operator()()
    {
        __tsan_acquire(&g_handedOverKey);
        return m_work();
    }

private:
    Work m_work;
};
} // namespace detail
#endif

// Work that this thread hands to another through Qt (a pool's queue, a queued call): what this thread did
// before is seen as done before the work runs.
template <typename Work>
auto handedOver(Work&& work)
{
#if defined(VMK_SANITIZE_THREAD)
    return detail::HandedOver<std::decay_t<Work>>(std::forward<Work>(work));
#else
    return std::forward<Work>(work);
#endif
}

} // namespace vmk::platform
