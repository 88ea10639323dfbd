#include "platform/ocr/OpenMpLimit.h"

#include <dlfcn.h>

namespace vmk::platform {

void limitOpenMpToCallingThread()
{
    // Looked up rather than linked: the runtime is present whenever Tesseract is, and the setting is per
    // thread (each thread keeps its own copy of the OpenMP control variables).
    using SetLevels = void (*)(int);
    static const SetLevels setMaxActiveLevels = [] {
        void* symbol = dlsym(RTLD_DEFAULT, "omp_set_max_active_levels");
        if (!symbol)
            if (void* gomp = dlopen("libgomp.so.1", RTLD_NOW | RTLD_NOLOAD))
                symbol = dlsym(gomp, "omp_set_max_active_levels");
        return reinterpret_cast<SetLevels>(symbol);
    }();
    thread_local bool done = false;
    if (setMaxActiveLevels && !done) {
        setMaxActiveLevels(0);
        done = true;
    }
}

} // namespace vmk::platform
