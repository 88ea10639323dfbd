#pragma once

namespace vmk::platform {

// Keeps Tesseract's OpenMP parallel regions on the calling thread from now on.
//
// Pages are recognised in parallel, one per worker; if each worker also started its own team of OpenMP
// threads they would oversubscribe the cores and spin against each other (several times slower).
// OMP_THREAD_LIMIT cannot be relied on for this: the OpenMP runtime reads it once, when it is loaded, and
// Qt's own libraries load it before main() runs, so setting it in main() comes too late. Limiting the
// active parallel levels of the calling thread to none has the same effect and can be done at any time.
void limitOpenMpToCallingThread();

} // namespace vmk::platform
