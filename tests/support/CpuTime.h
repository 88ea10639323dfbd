#pragma once

#include <ctime>

namespace vmk::test {

// Processor time used so far, in milliseconds: by the calling thread, or by every thread of the process
// (workers included, those that ended too). Unlike the clock on the wall, it does not grow while a loaded
// machine keeps the work waiting for a processor, so it tells how much work was done, not how long it took.
inline double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

inline double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

} // namespace vmk::test
