// Defaults for a sanitizer build (VMK_SANITIZE), read by the runtime before main. The runtime looks for
// them in the program, not in the libraries it loads: a sanitizer build compiles this file into every
// program (cmake/Sanitizers.cmake). Leak reports are off: the engines and Qt keep process-wide caches that
// are never freed on purpose, and a report at exit would fail every test binary (and test discovery).
#ifdef VMK_SANITIZE
#ifdef VMK_SANITIZE_THREAD
// Races inside libraries built without the sanitizer (Qt's own threads, the OCR engine's internals) are
// listed in the suppressions file; a report about our code fails the test binary. What those libraries
// do through the runtime's interceptors (allocating, freeing, waiting on conditions) is not looked at:
// their order is kept by locks and atomics the runtime cannot see, and with no frame pointers in them
// the reports would show no more than the library's name.
extern "C" __attribute__((visibility("default"), used)) const char* __tsan_default_options()
{
    return "second_deadlock_stack=1:history_size=4:exitcode=66:ignore_noninstrumented_modules=1:"
           "suppressions=" VMK_SANITIZER_SUPPRESSIONS "/tsan.supp";
}
#else
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options()
{
    return "detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0";
}

extern "C" __attribute__((visibility("default"), used)) const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}
#endif
#endif
