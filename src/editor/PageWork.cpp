#include "editor/PageWork.h"

#include "core/Flatten.h"
#include "core/KeptText.h"
#include "core/ImageEncoding.h"
#include "editor/ImageExportOptions.h"
#include "editor/PageRaster.h"
#include "platform/ocr/RecognitionCost.h"
#include "platform/ocr/TextRecognizer.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/services/TempFiles.h"

#include <QFile>
#include <QPainter>
#include <QSaveFile>

namespace vmk {

namespace {

constexpr double kOcrMaxSide = 5000;
constexpr double kOcrScale = 300.0 / 72.0;
constexpr double kRedactMaxSide = 6000;
constexpr double kRedactScale = 200.0 / 72.0;
constexpr double kRedactJpegQuality = 0.85;
constexpr int kRedactRecordMs = 60000;
constexpr double kExportJpegQuality = 0.9;

bool hasArea(const QSizeF& size) { return size.width() > 0 && size.height() > 0; }

QList<core::PDFOps::RecognizedLine> recognize(const QImage& image)
{
    auto lines = core::PDFOps::recognizeText(image);
    return lines ? *lines : QList<core::PDFOps::RecognizedLine>{};
}

// Whether the line's box (normalised, origin lower left) is mostly solid ink: a black box already on the
// page, which the recogniser may read as letters. Printed text covers well under half of its box.
bool mostlyInk(const QImage& image, const QRectF& box)
{
    const QRect pixels = QRectF(box.x() * image.width(), (1 - box.y() - box.height()) * image.height(),
                                box.width() * image.width(), box.height() * image.height())
                             .toAlignedRect()
                             .intersected(image.rect());
    int dark = 0, seen = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); y += 2)
        for (int x = pixels.left(); x <= pixels.right(); x += 2, ++seen)
            dark += qGray(image.pixel(x, y)) < 96 ? 1 : 0;
    return seen > 0 && dark > seen * 6 / 10;
}

} // namespace

std::optional<PageForOCR> preparePageForOCR(const core::PDFOps::PageSnapshot& snapshot)
{
    const QSizeF size = snapshot.displaySize;
    if (!hasArea(size))
        return std::nullopt;
    const QImage image = renderDisplayedPage(snapshot, rasterSize(size, rasterScale(size, kOcrMaxSide, kOcrScale)));
    if (image.isNull())
        return std::nullopt;
    // Grey now: a quarter of the colour page's memory while it waits, and the recogniser takes it as it is.
    PageForOCR page{platform::recognitionImage(image), 0};
    page.cost = platform::expectedRecognitionCost(page.image);
    return page;
}

std::optional<PageForOCR> prepareCapturedPageForOCR(const pdf::PageCapture& capture)
{
    const pdf::RecordResult recorded = capture.record(pdf::RecordBudget{});
    if (!recorded.snapshot)
        return std::nullopt;
    const pdf::PageSnapshot& page = *recorded.snapshot;
    return preparePageForOCR(
        core::PDFOps::PageSnapshot{recorded.snapshot, page.cropBox(), page.displayTransform(), page.displaySize(), {}});
}

QList<core::PDFOps::RecognizedLine> readPageForOCR(const QImage& image)
{
    return image.isNull() ? QList<core::PDFOps::RecognizedLine>{} : recognize(image);
}


std::optional<RedactedPage> renderRedactedPage(const core::PDFOps::PageSnapshot& snapshot, const QList<QRectF>& rects)
{
    const QSizeF size = snapshot.displaySize;
    if (!hasArea(size))
        return std::nullopt;
    const QSize pixels = rasterSize(size, rasterScale(size, kRedactMaxSide, kRedactScale));
    QImage image = renderDisplayedPage(snapshot, pixels);
    if (image.isNull())
        return std::nullopt;
    // The recogniser is told the resolution, so that it judges the size of the letters rightly.
    const int dotsPerMeter = qRound(double(pixels.width()) / snapshot.displaySize.width() * 72.0 / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    // Filled in page space over the whole bitmap: a mark reaching past the crop box is painted as far as
    // the picture goes. Blank for reading, black for the page.
    auto fill = [&](QImage& target, const QColor& colour) {
        QPainter painter(&target);
        painter.setTransform(pageToPixels(snapshot, pixels));
        for (const QRectF& rect : rects)
            painter.fillRect(rect, colour);
    };
    QImage forReading = image.copy();
    fill(forReading, Qt::white);
    fill(image, Qt::black);
    std::optional<QByteArray> jpeg = core::PDFOps::jpegData(image, kRedactJpegQuality);
    if (!jpeg)
        return std::nullopt;
    image = QImage();
    QList<core::PDFOps::RecognizedLine> lines = recognize(forReading);
    lines.removeIf([&](const core::PDFOps::RecognizedLine& line) { return mostlyInk(forReading, line.box); });
    return RedactedPage{*jpeg, lines};
}

std::optional<RedactedDrawing> redactCapturedPage(const pdf::PageCapture& capture, const QList<QRectF>& rects)
{
    // More time than a page on screen gets: this page was asked for, and failing it leaves the marked
    // content in place.
    const pdf::RecordBudget budget{kRedactRecordMs};
    std::optional<RedactedPage> picture;
    QSizeF display;
    QTransform toDisplay;
    {
        const pdf::RecordResult recorded = capture.record(budget);
        if (!recorded.snapshot)
            return std::nullopt;
        const pdf::PageSnapshot& page = *recorded.snapshot;
        display = page.displaySize();
        toDisplay = page.displayTransform();
        picture = renderRedactedPage(
            core::PDFOps::PageSnapshot{recorded.snapshot, page.cropBox(), page.displayTransform(), display, {}}, rects);
    }
    if (!picture)
        return std::nullopt;
    const pdf::TextResult text = capture.readText(budget);
    if (!text.text)
        return std::nullopt;
    // The words still shown keep the text the file gives them; recognition adds only what lies beside it.
    const core::PDFOps::DisplayedPage shown{toDisplay, display};
    QList<core::PDFOps::RecognizedLine> lines = core::PDFOps::keptOwnText(*text.text, rects, shown);
    lines += core::PDFOps::linesBesideOwnText(picture->lines, *text.text, shown);
    const pdf::Result<pdf::PagePtr> rebuilt = capture.rebuild(pdf::RebuildBase::raster(std::move(picture->jpeg)),
                                                              core::PDFOps::layoutInvisibleText(lines, display));
    if (!rebuilt || !rebuilt.value())
        return std::nullopt;
    return RedactedDrawing{rebuilt.value(), core::PDFOps::wordsUnder(*text.text, rects)};
}

pdf::DrawResult renderPageImage(const core::PDFOps::PageSnapshot& snapshot, double scale)
{
    const QSizeF size = snapshot.displaySize;
    if (!hasArea(size))
        return {};
    return drawDisplayedPage(snapshot, ImageExportOptions::pixelSize(size, scale));
}

bool writePageImage(const QImage& image, bool png, const QString& path)
{
    const std::optional<QByteArray> data = png ? core::PDFOps::pngData(image)
                                               : core::PDFOps::jpegData(image, kExportJpegQuality);
    if (!data)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(*data);
    return file.commit();
}

std::optional<QByteArray> makeFlattenedData(const QByteArray& data, const std::optional<QString>& password)
{
    pdf::Result<pdf::DocumentPtr> opened = pdf::Document::fromData(data);
    if (!opened || !opened.value())
        return std::nullopt;
    const pdf::Document& source = *opened.value();
    if (source.isLocked() && !(password && opened.value()->unlock(*password)))
        return std::nullopt;
    const pdf::DocumentPtr flattened = core::PDFOps::flatten(source);
    if (!flattened)
        return std::nullopt;
    // Never an open copy of a protected document.
    if (source.isEncrypted() && !flattened->adoptEncryptionOf(source))
        return std::nullopt;
    const QString path = platform::temporaryPdfPath();
    std::optional<QByteArray> bytes;
    if (flattened->write(path, pdf::WriteOptions::keepExisting())) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    QFile::remove(path);
    return bytes;
}

} // namespace vmk
