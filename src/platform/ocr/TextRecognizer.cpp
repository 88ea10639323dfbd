#include "platform/ocr/TextRecognizer.h"

namespace vmk::platform {

struct TextRecognizer::Impl {
    RecognitionOptions options;
};

TextRecognizer::TextRecognizer(const RecognitionOptions& options) : d(std::make_unique<Impl>()) { d->options = options; }
TextRecognizer::~TextRecognizer() = default;
bool TextRecognizer::isAvailable() const { return false; }
QString TextRecognizer::errorString() const { return QStringLiteral("Not implemented"); }
RecognitionResult TextRecognizer::recognize(const QImage&) { return {{}, errorString()}; }
QString TextRecognizer::dataPath() { return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata"); }

QList<RecognitionResult> recognizeImages(const QList<QImage>& images, const std::shared_ptr<std::atomic_bool>&,
                                         const RecognitionOptions&)
{
    return QList<RecognitionResult>(images.size(), RecognitionResult{{}, QStringLiteral("Not implemented")});
}

QFuture<RecognitionResult> recognizeImagesAsync(const QList<QImage>&, const std::shared_ptr<std::atomic_bool>&,
                                                const RecognitionOptions&)
{
    return {};
}

} // namespace vmk::platform
