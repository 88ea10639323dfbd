// Defaults for a sanitizer build (VMK_SANITIZE), read by the runtime before main in every program that
// links the platform library. Leak reports are off: the engines and Qt keep process-wide caches that
// are never freed on purpose, and a report at exit would fail every test binary (and test discovery).
#ifdef VMK_SANITIZE
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options()
{
    return "detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0";
}

extern "C" __attribute__((visibility("default"), used)) const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}
#endif
