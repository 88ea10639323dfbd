// Child processes in a ThreadSanitizer build. Qt starts programs (QProcess) by calling clone() with
// CLONE_VM | CLONE_VFORK: the child borrows the parent's memory until it runs the program. The runtime's
// clone() wrapper treats every clone as a fork and, before and after it, changes the calling thread's
// sanitizer state; with CLONE_VM the child's half of that changes the parent's copy as well, so the parent
// comes back with the state changed twice. The thread that started the child then has its interceptors
// switched off for good: every lock it takes afterwards goes unseen, and the sanitizer reports races on
// everything those locks guard (and stops reporting races that thread itself finds). Here the child gets
// memory of its own instead; the parent still waits until it has started its program. A sanitizer build
// compiles this file into every program (cmake/Sanitizers.cmake): the program's clone() comes before the
// runtime's.
#ifdef VMK_SANITIZE_THREAD
#include <dlfcn.h>
#include <sched.h>
#include <stdarg.h>
#include <sys/types.h>

namespace {

using Clone = int (*)(int (*)(void*), void*, int, void*, ...);

Clone runtimeClone()
{
    static const Clone next = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
    return next;
}

} // namespace

extern "C" __attribute__((visibility("default"), used)) int clone(int (*fn)(void*), void* stack, int flags, void* arg,
                                                                 ...) noexcept
{
    va_list rest;
    va_start(rest, arg);
    pid_t* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    pid_t* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    // Threads share memory on purpose; a process that borrows it is made to copy it.
    if ((flags & CLONE_VM) && (flags & CLONE_VFORK) && !(flags & CLONE_THREAD))
        flags &= ~CLONE_VM;
    return runtimeClone()(fn, stack, flags, arg, parentTid, tls, childTid);
}
#endif
