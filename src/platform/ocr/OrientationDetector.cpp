#include "platform/ocr/OrientationDetector.h"

#include <tesseract/capi.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vmk::platform {

namespace {

// Tesseract's orientation confidence for a few lines of clear text is around 3; below this the guess is
// not worth turning a page for.
constexpr float kMinimumConfidence = 1.5f;

} // namespace

struct OrientationDetector::Impl {
    TessBaseAPI* handle = nullptr;
};

OrientationDetector::OrientationDetector(const QString& dataPath) : d(std::make_unique<Impl>())
{
    if (!QFileInfo::exists(QDir(dataPath).filePath(QStringLiteral("osd.traineddata"))))
        return;
    // Made by the recogniser, after prepareTesseract(): no global variables are set here.
    d->handle = TessBaseAPICreate();
    // The orientation data is in the legacy format, read only by the legacy engine.
    if (TessBaseAPIInit2(d->handle, QFile::encodeName(dataPath).constData(), "osd", tesseract::OEM_TESSERACT_ONLY) != 0) {
        TessBaseAPIDelete(d->handle);
        d->handle = nullptr;
        return;
    }
}

OrientationDetector::~OrientationDetector()
{
    if (d->handle) {
        TessBaseAPIEnd(d->handle);
        TessBaseAPIDelete(d->handle);
    }
}

bool OrientationDetector::isAvailable() const { return d->handle != nullptr; }

int OrientationDetector::clockwiseTurn(const QImage& grey, int dotsPerInch)
{
    if (!d->handle || grey.format() != QImage::Format_Grayscale8)
        return 0;
    TessBaseAPISetImage(d->handle, grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    TessBaseAPISetSourceResolution(d->handle, dotsPerInch);
    int degrees = 0;
    float confidence = 0;
    const char* script = nullptr;
    float scriptConfidence = 0;
    const bool found = TessBaseAPIDetectOrientationScript(d->handle, &degrees, &confidence, &script, &scriptConfidence);
    TessBaseAPIClear(d->handle);
    if (!found || confidence < kMinimumConfidence)
        return 0;
    const int turn = ((degrees % 360) + 360) % 360;
    return turn % 90 == 0 ? turn : 0;
}

} // namespace vmk::platform
