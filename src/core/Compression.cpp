#include "core/Compression.h"

#include "core/ImageEncoding.h"
#include "core/PageRebuild.h"
#include "core/SystemAnnotations.h"

#include "platform/pdf/pages/ImageRecompression.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/services/BackgroundPool.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTextBoundaryFinder>
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <cmath>
#include <utility>
#include <vector>

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

// A page that holds a picture, as found on the document's thread.
struct PicturePage {
    int index = 0;
    pdf::PagePtr page;
    QSizeF display;
    QSize pixels;
    qint64 imageBytes = 0; // what its pictures weigh in the file now
    std::shared_ptr<pdf::PageCapture> capture;
};

// A picture page drawn as one JPEG, or why it stays as it is.
struct RenderedPage {
    Rasterized outcome = Rasterized::kept;
    QByteArray jpeg;
};

// Whether the JPEG reads back as a picture of the size it was made at. Its header says so: our own encoder
// wrote the data just now, and decoding all of it again cost a sixth of a page's time.
bool readableJpeg(const QByteArray& jpeg, const QSize& pixels)
{
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    return reader.canRead() && reader.size() == pixels;
}

// On a worker: the page read and drawn from its copy within the budget, and encoded when it is essentially
// a picture.
RenderedPage renderPicturePage(const PicturePage& picture, const CompressionSettings& s)
{
    const pdf::TextResult text = picture.capture->readText(kPageBudget);
    if (!text.text)
        return {keptBecause(text.outcome), {}};
    if (!hasLittleText(text.text->text()))
        return {};
    pdf::DrawResult drawn = picture.capture->draw(picture.pixels.width() / picture.display.width(), QRect(), kPageBudget);
    if (drawn.image.isNull())
        return {keptBecause(drawn.outcome), {}};
    QImage image = std::move(drawn.image);
    if (image.size() != picture.pixels)
        image = image.scaled(picture.pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const std::optional<QByteArray> jpeg = jpegData(image, s.jpegQuality);
    if (!jpeg || !readableJpeg(*jpeg, picture.pixels))
        return {};
    return {Rasterized::replaced, *jpeg};
}

// On the document's thread: the page rebuilt in place around its JPEG. The page object stays, so the
// outline, destinations and links that lead to it still do in the compressed copy; annotations move over
// to the new page as they are.
bool replaceByPicture(const PicturePage& picture, const QByteArray& jpeg)
{
    const pdf::PagePtr& page = picture.page;
    const pdf::PagePtr rebuilt = rebuildPage(*page, PageBase::raster(jpeg), {});
    if (!rebuilt || !page->exchangeDrawing(*rebuilt))
        return false;
    // A redaction mark has nothing left to mark on a picture of the page.
    for (const pdf::AnnotationPtr& annotation : page->annotations())
        if (isRedactionMark(*annotation))
            page->removeAnnotation(annotation);
    return true;
}

// Pages drawn at once: one per core, within what their bitmaps may hold together; and pages copied at once.
constexpr qint64 kBatchBytes = qint64(512) << 20;
constexpr qsizetype kMaxBatch = 64;
// The first pages drawn are the sample: when none of them comes out smaller as one JPEG than its pictures
// are now (they are already compact at the preset's resolution), the other pages are not drawn at all.
constexpr int kSamplePages = 3;

// Re-renders the picture pages as one JPEG each where that makes them smaller.
void rasterizePicturePages(pdf::Document& working, const CompressionSettings& s)
{
    std::vector<PicturePage> pictures;
    const int count = working.pageCount();
    for (int i = 0; i < count; ++i) {
        const pdf::PagePtr page = working.page(i);
        if (!page)
            continue;
        const QList<pdf::XObjectNode> xObjects = page->xObjects();
        const QSizeF display = page->displaySize();
        if (!resourcesContainImage(xObjects, 0) || !(display.width() > 0 && display.height() > 0))
            continue;
        pictures.push_back({i, page, display, renderPixelSize(display, s.dpi), pdf::pageImageBytes(*page), nullptr});
    }
    const int cores = std::max(1, QThread::idealThreadCount());
    int overBudget = 0;
    bool sampled = false;
    for (size_t next = 0; next < pictures.size() && overBudget < kMaxPagesOverBudget;) {
        // Copies are taken here, on the document's thread, a batch at a time.
        // The sample is one page per core; after it, as many pages as keep every core busy to the end. A
        // worker holds one page's bitmaps at a time, the batch only its copy and its JPEG.
        QList<PicturePage> batch;
        qint64 largest = 0;
        const qsizetype most = sampled ? kMaxBatch : std::max(cores, kSamplePages);
        while (next < pictures.size() && batch.size() < most) {
            PicturePage& picture = pictures[next];
            const qint64 bitmap = qint64(picture.pixels.width()) * picture.pixels.height() * 4 * 2;
            if (!batch.isEmpty() && std::max(largest, bitmap) * std::min<qint64>(batch.size() + 1, cores) > kBatchBytes)
                break;
            largest = std::max(largest, bitmap);
            ++next;
            picture.capture = pdf::PageCapture::take(*picture.page, false);
            if (picture.capture)
                batch.append(std::exchange(picture, {}));
        }
        const QList<RenderedPage> rendered = QtConcurrent::blockingMapped<QList<RenderedPage>>(
            &platform::backgroundPool(), batch,
            [&s](const PicturePage& picture) { return renderPicturePage(picture, s); });
        int drawn = 0, smaller = 0;
        for (qsizetype k = 0; k < batch.size() && overBudget < kMaxPagesOverBudget; ++k) {
            if (rendered[k].outcome == Rasterized::overBudget) {
                // A file whose pages keep running over the budget is hostile or broken: the rest stays untried.
                ++overBudget;
                continue;
            }
            if (rendered[k].outcome != Rasterized::replaced)
                continue;
            ++drawn;
            if (rendered[k].jpeg.size() < batch[k].imageBytes && replaceByPicture(batch[k], rendered[k].jpeg))
                ++smaller;
        }
        if (!sampled && drawn > 0 && smaller == 0)
            return;
        sampled = sampled || drawn > 0;
    }
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
    for (int i = 0, count = working.pageCount(); i < count; ++i) {
        if (const pdf::PagePtr page = working.page(i)) {
            const QSizeF display = page->displaySize();
            longestSide = std::max({longestSide, display.width(), display.height()});
        }
    }
    rasterizePicturePages(working, s);

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
