#include "platform/ocr/TesseractSetup.h"

#include <tesseract/capi.h>

#include <QByteArray>
#include <QtGlobal>

#include <mutex>

namespace vmk::platform {

void prepareTesseract()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (qEnvironmentVariableIsEmpty("OMP_THREAD_LIMIT"))
            qputenv("OMP_THREAD_LIMIT", QByteArray("1")); // for any OpenMP runtime loaded later; see OpenMpLimit.h
        TessBaseAPI* api = TessBaseAPICreate();
        // Tesseract reports progress and guesses on stderr; the results say all we need.
        TessBaseAPISetVariable(api, "debug_file", "/dev/null");
        // Data that does not exist makes the engine complain, which opens the debug output now rather than
        // on two threads' first messages at once.
        TessBaseAPIInit2(api, "/nonexistent", "none", tesseract::OEM_LSTM_ONLY);
        TessBaseAPIEnd(api);
        TessBaseAPIDelete(api);
    });
}

} // namespace vmk::platform
