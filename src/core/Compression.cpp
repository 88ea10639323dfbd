#include "core/Compression.h"

#include "core/ImageEncoding.h"
#include "core/PageRebuild.h"
#include "core/SystemAnnotations.h"

#include "platform/pdf/pages/ImageRecompression.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"

#include <QFile>
#include <QTextBoundaryFinder>

#include <cmath>

namespace vmk::core::PDFOps {

namespace {

int graphemeCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

// What reading and drawing one page may spend. A page over it keeps its own content; a file whose pages
// keep running over it is hostile or broken, and its remaining pages are left as they are untried.
constexpr pdf::RecordBudget kPageBudget{10000, std::size_t(512) << 20};
constexpr int kMaxPagesOverBudget = 2;

enum class Rasterized { replaced, kept, overBudget };

Rasterized keptBecause(pdf::RecordOutcome outcome)
{
    return outcome == pdf::RecordOutcome::tooSlow || outcome == pdf::RecordOutcome::tooLarge ? Rasterized::overBudget
                                                                                                : Rasterized::kept;
}

// Re-renders a picture page as one JPEG; anything else leaves the page as it was.
Rasterized rasterizePage(pdf::Document& working, int index, const CompressionSettings& s)
{
    const pdf::PagePtr page = working.page(index);
    if (!page || !resourcesContainImage(page->xObjects(), 0))
        return Rasterized::kept;
    const QSizeF display = page->displaySize();
    if (!(display.width() > 0 && display.height() > 0))
        return Rasterized::kept;
    // Read and drawn from a copy within the budget; annotations move over to the new page as they are.
    const std::shared_ptr<pdf::PageCapture> capture = pdf::PageCapture::take(*page, false);
    if (!capture)
        return Rasterized::kept;
    const pdf::TextResult text = capture->readText(kPageBudget);
    if (!text.text)
        return keptBecause(text.outcome);
    if (!hasLittleText(text.text->text()))
        return Rasterized::kept;
    const QSize pixels = renderPixelSize(display, s.dpi);
    pdf::DrawResult drawn = capture->draw(pixels.width() / display.width(), QRect(), kPageBudget);
    if (drawn.image.isNull())
        return keptBecause(drawn.outcome);
    QImage image = std::move(drawn.image);
    if (image.size() != pixels)
        image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const std::optional<QByteArray> jpeg = jpegData(image, s.jpegQuality);
    if (!jpeg || QImage::fromData(*jpeg, "JPEG").isNull())
        return Rasterized::kept;
    const pdf::PagePtr rebuilt = rebuildPage(*page, PageBase::raster(*jpeg), {});
    // Rebuilt in place: the page object stays, so the outline, destinations and links that lead to it
    // still do in the compressed copy.
    if (!rebuilt || !page->exchangeDrawing(*rebuilt))
        return Rasterized::kept;
    // A redaction mark has nothing left to mark on a picture of the page.
    for (const pdf::AnnotationPtr& annotation : page->annotations())
        if (isRedactionMark(*annotation))
            page->removeAnnotation(annotation);
    return Rasterized::replaced;
}

} // namespace

QList<CompressionPreset> allCompressionPresets()
{
    return {CompressionPreset::light, CompressionPreset::balanced, CompressionPreset::tiny};
}

CompressionSettings settings(CompressionPreset preset)
{
    switch (preset) {
    case CompressionPreset::light: return {150, 0.8, false};
    case CompressionPreset::balanced: return {110, 0.6, true};
    case CompressionPreset::tiny: return {80, 0.4, true};
    }
    return {};
}

QString rawValue(CompressionPreset preset)
{
    switch (preset) {
    case CompressionPreset::light: return QStringLiteral("light");
    case CompressionPreset::balanced: return QStringLiteral("balanced");
    case CompressionPreset::tiny: return QStringLiteral("tiny");
    }
    return {};
}

std::optional<CompressionPreset> compressionPresetFromRawValue(const QString& raw)
{
    for (CompressionPreset preset : allCompressionPresets()) {
        if (rawValue(preset) == raw)
            return preset;
    }
    return std::nullopt;
}

QSize renderPixelSize(const QSizeF& displaySize, double dpi)
{
    const double longer = std::max(displaySize.width(), displaySize.height());
    if (!(longer > 0))
        return QSize(1, 1);
    const double scale = std::min(dpi / 72.0, kMaxRenderedSide / longer);
    // std::round sends halves away from zero.
    return QSize(std::max(1, int(std::round(displaySize.width() * scale))),
                 std::max(1, int(std::round(displaySize.height() * scale))));
}

bool hasLittleText(const QString& pageText)
{
    return graphemeCount(pageText.trimmed()) <= kMaxCharactersOfPicturePage;
}

bool xObjectIsImage(const pdf::XObjectNode& node, int depth)
{
    if (node.subtype == QLatin1String("Image"))
        return true;
    if (node.subtype == QLatin1String("Form") && depth <= 1)
        return resourcesContainImage(node.children, depth + 1);
    return false;
}

bool resourcesContainImage(const QList<pdf::XObjectNode>& xObjects, int depth)
{
    return std::any_of(xObjects.begin(), xObjects.end(),
                       [depth](const pdf::XObjectNode& node) { return xObjectIsImage(node, depth); });
}

namespace {

// Opens bytes, unlocking them with the password when they need one; nothing when they stay locked.
pdf::DocumentPtr openUnlocked(const QByteArray& bytes, const std::optional<QString>& password)
{
    pdf::Result<pdf::DocumentPtr> opened = pdf::Document::fromData(bytes);
    if (!opened || !opened.value())
        return nullptr;
    pdf::DocumentPtr document = opened.value();
    if (document->isLocked() && !(password && document->unlock(*password)))
        return nullptr;
    return document;
}

} // namespace

QByteArray compress(const QByteArray& source, CompressionPreset preset, const std::optional<QString>& password)
{
    // A protected document is worked on unlocked; its writes keep its encryption and passwords.
    const pdf::DocumentPtr opened = openUnlocked(source, password);
    if (!opened)
        return source;
    pdf::Document& working = *opened;
    const CompressionSettings s = settings(preset);

    double longestSide = 0;
    int overBudget = 0;
    const int count = working.pageCount();
    for (int i = 0; i < count; ++i) {
        if (const pdf::PagePtr page = working.page(i)) {
            const QSizeF display = page->displaySize();
            longestSide = std::max({longestSide, display.width(), display.height()});
        }
        if (overBudget < kMaxPagesOverBudget && rasterizePage(working, i, s) == Rasterized::overBudget)
            ++overBudget;
    }

    std::optional<QByteArray> plain;
    if (pdf::Result<QByteArray> bytes = working.dataRepresentation())
        plain = bytes.value();
    // Re-encoding works on the plain write read back, so that images of replaced pages are gone.
    std::optional<QByteArray> reencoded;
    const pdf::DocumentPtr written = plain ? openUnlocked(*plain, password) : nullptr;
    if (written) {
        pdf::ImageRecompressionOptions options;
        options.jpegQuality = s.jpegQuality;
        if (s.optimizeForScreen) {
            // No image can show more detail than its page at the preset's resolution, nor more than the
            // area it is drawn on, also on pages that keep their text.
            options.maxPixelSide = int(std::ceil(longestSide * s.dpi / 72.0));
            options.screenDpi = s.dpi;
        }
        if (pdf::recompressImages(*written, options) > 0) {
            if (pdf::Result<QByteArray> bytes = written->dataRepresentation())
                reencoded = bytes.value();
        }
    }

    // Ties go to the earlier candidate.
    QByteArray best = source;
    std::optional<QByteArray> choice;
    for (const std::optional<QByteArray>& candidate : {reencoded, plain}) {
        if (candidate && (!choice || candidate->size() < choice->size()))
            choice = candidate;
    }
    if (choice && choice->size() < source.size())
        best = *choice;
    return best;
}

std::optional<QByteArray> compress(const pdf::Document& document, CompressionPreset preset,
                                   const std::optional<QByteArray>& data, const std::optional<QString>& password)
{
    QByteArray source;
    if (data) {
        source = *data;
    } else {
        pdf::Result<QByteArray> written = document.dataRepresentation();
        if (!written)
            return std::nullopt;
        source = written.value();
    }
    return compress(source, preset, password);
}

void removeFile(const QString& path)
{
    QFile::remove(path);
}

} // namespace vmk::core::PDFOps
