#include "platform/ocr/TextRecognizer.h"

#include "platform/ocr/OpenMpLimit.h"
#include "platform/ocr/OrientationDetector.h"
#include "platform/ocr/RecognizerPool.h"
#include "platform/ocr/TesseractSetup.h"
#include "platform/services/BackgroundPool.h"

#include <tesseract/capi.h>

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QtConcurrent/QtConcurrentMap>


namespace vmk::platform {

namespace {

const QString kCancelled = QStringLiteral("Cancelled");

// How much better (in mean confidence, 0...1) reading a page turned must be than reading it as it stands.
constexpr double kClearlyBetter = 0.1;

// Tesseract guesses (and complains on stderr) when it is not told the resolution; pages are usually
// rendered near 150 dpi, so take the image's own figure only when it is plausible.
int imageResolution(const QImage& image)
{
    const int dpi = qRound(image.dotsPerMeterY() * 0.0254);
    return dpi >= 50 && dpi <= 2400 ? dpi : 150;
}

bool cancelRequested(void* flag, int)
{
    return flag && static_cast<const std::atomic_bool*>(flag)->load();
}

} // namespace

struct TextRecognizer::Impl {
    RecognitionOptions options;
    TessBaseAPI* handle = nullptr;
    // Started on the first page that may be turned: it holds more memory than the reader itself, and most
    // pages are read upright with confidence enough never to ask it.
    std::unique_ptr<OrientationDetector> orientation;
    bool orientationTried = false;
    QString data;
    QString error;

    OrientationDetector* orientationDetector()
    {
        if (!orientationTried && options.detectOrientation) {
            orientationTried = true;
            orientation = std::make_unique<OrientationDetector>(data);
            if (!orientation->isAvailable())
                orientation.reset();
        }
        return orientation.get();
    }

    ~Impl()
    {
        if (handle) {
            TessBaseAPIEnd(handle);
            TessBaseAPIDelete(handle);
        }
    }
};

// Transparent areas of a page image become white paper, not black.
QImage recognitionImage(const QImage& image)
{
    if (image.format() == QImage::Format_Grayscale8 || !image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_Grayscale8);
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter p(&flat);
    p.drawImage(0, 0, image);
    p.end();
    return flat.convertToFormat(QImage::Format_Grayscale8);
}

QString TextRecognizer::dataPath()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        return prefix;
    return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
}

TextRecognizer::TextRecognizer(const RecognitionOptions& options) : d(std::make_unique<Impl>())
{
    d->options = options;
    prepareTesseract();

    const QString data = dataPath();
    QStringList languages = options.languages.split(QLatin1Char('+'), Qt::SkipEmptyParts);
    if (languages.isEmpty())
        languages = {QStringLiteral("eng")};
    for (const QString& language : languages)
        if (!QFileInfo::exists(QDir(data).filePath(language + QStringLiteral(".traineddata")))) {
            d->error = QStringLiteral("The text recognition data for “%1” is not installed.").arg(language);
            return;
        }
    // Turned pages are detected separately and turned upright before reading: the reader's own automatic
    // orientation handles quarter turns but reads a page upside down as nonsense. Without the orientation
    // data pages are read as they stand.
    languages.removeAll(QStringLiteral("osd"));
    d->data = data;

    d->handle = TessBaseAPICreate();
    const QByteArray path = QFile::encodeName(data);
    const QByteArray lang = languages.join(QLatin1Char('+')).toUtf8();
    // The installed English data holds only the LSTM network: the legacy engines do not start with it.
    if (TessBaseAPIInit2(d->handle, path.constData(), lang.constData(), tesseract::OEM_LSTM_ONLY) != 0) {
        d->error = QStringLiteral("The text recognition engine could not start.");
        TessBaseAPIDelete(d->handle);
        d->handle = nullptr;
        return;
    }
    TessBaseAPISetPageSegMode(d->handle, tesseract::PSM_AUTO);
}

TextRecognizer::~TextRecognizer() = default;

bool TextRecognizer::isAvailable() const { return d->handle != nullptr; }

QString TextRecognizer::errorString() const { return d->error; }

RecognitionResult TextRecognizer::recognize(const QImage& image) { return recognize(image, nullptr); }

RecognitionResult TextRecognizer::recognize(const QImage& image, const std::atomic_bool* cancel)
{
    RecognitionResult result;
    if (!d->handle) {
        result.error = d->error;
        return result;
    }
    if (image.isNull() || image.width() < 1 || image.height() < 1) {
        result.error = QStringLiteral("The image is empty.");
        return result;
    }
    if (cancel && cancel->load()) {
        result.error = kCancelled;
        return result;
    }

    limitOpenMpToCallingThread();
    const QImage original = recognitionImage(image);
    const int dpi = imageResolution(image);
    // The orientation guess misfires on sparse pages (a page with black boxes over most of its text reads
    // as upside down), and the images we are given are mostly pages we rendered upright ourselves. So the
    // page is read as it stands, and a detected turn wins only when reading it that way is clearly better.
    // A page read upright with such confidence that no reading could be clearly better needs no guess at
    // all, which spares most pages the detector's cost (a fifth of the page's time).
    Reading upright = read(original, 0, dpi, cancel);
    if (!upright.result.ok() || upright.score + kClearlyBetter >= 1.0 || !d->orientationDetector())
        return upright.result;
    const int turn = d->orientation->clockwiseTurn(original, dpi);
    if (turn != 0) {
        Reading turned = read(original, turn, dpi, cancel);
        if (turned.result.error == kCancelled || (turned.result.ok() && turned.score > upright.score + kClearlyBetter))
            return turned.result;
    }
    return upright.result;
}

TextRecognizer::Reading TextRecognizer::read(const QImage& original, int turn, int dpi, const std::atomic_bool* cancel)
{
    Reading reading;
    RecognitionResult& result = reading.result;
    // Read a turned page upright, and map the boxes back onto the image as given.
    const QTransform upright = QImage::trueMatrix(QTransform().rotate(-turn), original.width(), original.height());
    const QImage grey = turn ? original.transformed(upright) : original;
    const QTransform back = upright.inverted();
    TessBaseAPISetImage(d->handle, grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    TessBaseAPISetSourceResolution(d->handle, dpi);

    ETEXT_DESC monitor;
    monitor.cancel = &cancelRequested;
    monitor.cancel_this = const_cast<std::atomic_bool*>(cancel);
    const int status = TessBaseAPIRecognize(d->handle, &monitor);
    if (cancel && cancel->load()) {
        TessBaseAPIClear(d->handle);
        result.error = kCancelled;
        return reading;
    }
    if (status != 0) {
        TessBaseAPIClear(d->handle);
        result.error = QStringLiteral("Text recognition failed.");
        return reading;
    }

    // The score: the confidence of the lines weighted by their length, where lines the reader found turned
    // within the image count as unread (their text would lie across its boxes, and the text layer with it).
    double weighted = 0;
    double characters = 0;
    const double w = original.width(), h = original.height();
    if (TessResultIterator* it = TessBaseAPIGetIterator(d->handle)) {
        do {
            char* utf8 = TessResultIteratorGetUTF8Text(it, tesseract::RIL_TEXTLINE);
            if (!utf8)
                continue;
            const QString text = QString::fromUtf8(utf8).trimmed();
            TessDeleteText(utf8);
            int left = 0, top = 0, right = 0, bottom = 0;
            TessPageIterator* page = TessResultIteratorGetPageIterator(it);
            if (text.isEmpty() || !TessPageIteratorBoundingBox(page, tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom))
                continue;
            const QRectF pixels = back.mapRect(QRectF(left, top, right - left, bottom - top));
            RecognizedTextLine line;
            line.text = text;
            // Tesseract's boxes are in pixels from the top left; ours are fractions from the lower left.
            line.box = QRectF(pixels.left() / w, 1.0 - pixels.bottom() / h, pixels.width() / w, pixels.height() / h);
            line.clockwiseTurn = turn;
            line.confidence = qBound(0.0, double(TessResultIteratorConfidence(it, tesseract::RIL_TEXTLINE)) / 100.0, 1.0);
            result.lines.append(line);
            TessOrientation orientation = tesseract::ORIENTATION_PAGE_UP;
            TessWritingDirection direction;
            TessTextlineOrder order;
            float deskew = 0;
            TessPageIteratorOrientation(page, &orientation, &direction, &order, &deskew);
            // A line of several characters taller than wide was read across the picture's lines.
            const bool across = text.size() > 1 && bottom - top > right - left;
            characters += text.size();
            if (orientation == tesseract::ORIENTATION_PAGE_UP && !across)
                weighted += line.confidence * text.size();
        } while (TessResultIteratorNext(it, tesseract::RIL_TEXTLINE));
        TessResultIteratorDelete(it);
    }
    TessBaseAPIClear(d->handle);
    reading.score = characters > 0 ? weighted / characters : 0;
    return reading;
}

namespace {

std::function<RecognitionResult(const QImage&)> pageTask(std::shared_ptr<std::atomic_bool> cancel,
                                                         RecognitionOptions options)
{
    return [cancel = std::move(cancel), options = std::move(options)](const QImage& image) {
        if (cancel && cancel->load())
            return RecognitionResult{{}, kCancelled};
        return RecognizerLease(options)->recognize(image, cancel.get());
    };
}

} // namespace

QList<RecognitionResult> recognizeImages(const QList<QImage>& images, const std::shared_ptr<std::atomic_bool>& cancel,
                                         const RecognitionOptions& options)
{
    return QtConcurrent::blockingMapped<QList<RecognitionResult>>(&platform::backgroundPool(), images,
                                                                  pageTask(cancel, options));
}

QFuture<RecognitionResult> recognizeImagesAsync(const QList<QImage>& images,
                                                const std::shared_ptr<std::atomic_bool>& cancel,
                                                const RecognitionOptions& options)
{
    return QtConcurrent::mapped(&platform::backgroundPool(), images, pageTask(cancel, options));
}

} // namespace vmk::platform
