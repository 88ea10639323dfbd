#pragma once

#include "platform/ocr/RecognitionLanguages.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

#include <atomic>
#include <memory>

namespace vmk::platform {

// One line of recognised text.
struct RecognizedTextLine {
    QString text;       // trimmed of white space and line breaks; never empty
    QRectF box;         // normalised to the image: 0..1 on both axes, origin at the LOWER left corner
    double confidence = 0; // 0..1
    int clockwiseTurn = 0;  // 0, 90, 180 or 270: how far the line's text is turned clockwise in the image

    friend bool operator==(const RecognizedTextLine&, const RecognizedTextLine&) = default;
};

struct RecognitionResult {
    QList<RecognizedTextLine> lines; // in reading order as the recogniser reports them
    QString error;                   // empty on success
    bool ok() const { return error.isEmpty(); }
};

struct RecognitionOptions {
    // Tesseract language codes joined by "+": by default the user's languages with installed data, and English.
    QString languages = defaultRecognitionLanguages();
    // Detect and undo page rotation (needs the osd data): pages turned by 90, 180 or 270 degrees are read
    // upright when they hold enough text to tell and reading them turned is clearly better than reading
    // them as they stand; boxes still refer to the image as given.
    bool detectOrientation = true;
};

// Text recognition over Tesseract (LSTM engine, dictionary correction on). One instance belongs to one
// thread at a time; it is cheap to keep and slow to make, so workers borrow one from the process's pool
// (RecognizerPool.h); instances may be created on several threads at once. The process should have OMP_THREAD_LIMIT=1 set before the first instance
// starts; the constructor sets it when it is unset.
class TextRecognizer {
public:
    explicit TextRecognizer(const RecognitionOptions& options = {});
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // Whether the engine started; errorString() says why not.
    bool isAvailable() const;
    QString errorString() const;

    RecognitionResult recognize(const QImage& image);
    // The same, giving up (with the error "Cancelled") soon after *cancel becomes true.
    RecognitionResult recognize(const QImage& image, const std::atomic_bool* cancel);

    // Where the language data is looked for: $TESSDATA_PREFIX when set, else the Debian location.
    static QString dataPath();

private:
    struct Reading {
        RecognitionResult result;
        double score = 0; // mean confidence of upright lines, by length
    };
    Reading read(const QImage& grey, int clockwiseTurn, int dotsPerInch, const std::atomic_bool* cancel);

    struct Impl;
    std::unique_ptr<Impl> d;
};

// The image as the recogniser reads it: opaque 8-bit grey, transparent areas white. Recognising the result
// skips the conversion, so a caller may make it early (and estimate the page's cost on it). Any thread.
QImage recognitionImage(const QImage& image);

// Recognises each image on the global thread pool, one page per task, with engines borrowed from the
// process's pool (RecognizerPool.h). A page started after *cancel becomes true is skipped with the error "Cancelled". Results are in
// the images' order. `cancel` may be null.
QList<RecognitionResult> recognizeImages(const QList<QImage>& images,
                                         const std::shared_ptr<std::atomic_bool>& cancel = {},
                                         const RecognitionOptions& options = {});

// The same without blocking: the future's results arrive in the images' order.
QFuture<RecognitionResult> recognizeImagesAsync(const QList<QImage>& images,
                                                const std::shared_ptr<std::atomic_bool>& cancel = {},
                                                const RecognitionOptions& options = {});

} // namespace vmk::platform
