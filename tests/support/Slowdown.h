#pragma once

// Time bounds in tests that measure or wait, scaled for instrumented builds. A sanitizer build
// (cmake/Sanitizers.cmake defines VMK_SANITIZE, and VMK_SANITIZE_THREAD for ThreadSanitizer) runs our code
// and the engines compiled into it several times slower; a bound that holds with room to spare in an
// ordinary build would fail there for no fault. Ordinary builds keep their bounds exactly.

namespace vmk::test {

#if defined(VMK_SANITIZE_THREAD)
inline constexpr int kSlowdown = 10;
#elif defined(VMK_SANITIZE)
inline constexpr int kSlowdown = 4;
#else
inline constexpr int kSlowdown = 1;
#endif

// A duration in milliseconds, as long as it needs to be in this build.
constexpr int scaledMs(int milliseconds)
{
    return milliseconds * kSlowdown;
}

} // namespace vmk::test
