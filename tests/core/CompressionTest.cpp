#include "CoreFixtures.h"
#include "RebuildFixtures.h"

#include "core/PDFOps.h"
#include "core/SystemAnnotations.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/ImageRecompression.h"

#include "support/TestFiles.h"

#include <QDir>

#include <thread>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using PDFOps::CompressionPreset;
using vmk::coretest::RawPage;

namespace {

const QByteArray kFullPageImage = "q 612 0 0 792 0 0 cm /Im0 Do Q";
const QByteArray kFullPageForm = "q 612 0 0 792 0 0 cm /Fm0 Do Q";

RawPage picturePage(const QByteArray& extra = {}, int formDepth = 0, QSize pixels = QSize(900, 1100))
{
    RawPage page;
    page.imageSize = pixels;
    page.formDepth = formDepth;
    page.content = (formDepth ? kFullPageForm : kFullPageImage) + ' ' + extra;
    return page;
}

QByteArray textLine(const QByteArray& text) { return "BT 0 0 0 rg /F1 14 Tf 72 72 Td (" + text + ") Tj ET"; }

// Whether page i of the compressed bytes is a picture page: one full-page image and no source text.
bool wasRasterised(const QByteArray& compressed, int index)
{
    const auto document = coretest::open(compressed);
    const auto page = document->page(index);
    const auto xobjects = page->xObjects();
    return xobjects.size() == 1 && xobjects[0].subtype == QLatin1String("Image") && page->text().trimmed().isEmpty();
}

pdf::XObjectNode node(const QString& subtype, const QList<pdf::XObjectNode>& children = {})
{
    return {QStringLiteral("X"), subtype, children};
}

} // namespace

TEST(CompressionPresets, SettingsRawValuesAndPixelSizes)
{
    EXPECT_EQ(PDFOps::allCompressionPresets(),
              (QList<CompressionPreset>{CompressionPreset::light, CompressionPreset::balanced, CompressionPreset::tiny}));
    const auto light = PDFOps::settings(CompressionPreset::light);
    const auto tiny = PDFOps::settings(CompressionPreset::tiny);
    EXPECT_EQ(light.dpi, 150);
    EXPECT_EQ(light.jpegQuality, 0.8);
    EXPECT_FALSE(light.optimizeForScreen);
    EXPECT_EQ(PDFOps::settings(CompressionPreset::balanced).dpi, 110);
    EXPECT_EQ(tiny.jpegQuality, 0.4);
    EXPECT_TRUE(tiny.optimizeForScreen);
    for (auto preset : PDFOps::allCompressionPresets())
        EXPECT_EQ(PDFOps::compressionPresetFromRawValue(PDFOps::rawValue(preset)), preset);
    EXPECT_EQ(PDFOps::compressionPresetFromRawValue(QStringLiteral("Light")), std::nullopt);

    EXPECT_EQ(PDFOps::renderPixelSize(QSizeF(612, 792), 150), QSize(1275, 1650));
    for (auto preset : PDFOps::allCompressionPresets())
        EXPECT_EQ(PDFOps::renderPixelSize(QSizeF(10000, 5000), PDFOps::settings(preset).dpi), QSize(6000, 3000));
    EXPECT_EQ(PDFOps::renderPixelSize(QSizeF(0.1, 0.1), 80), QSize(1, 1));
}

TEST(CompressionPresets, PicturePagesHaveFifteenCharactersAtMost)
{
    EXPECT_TRUE(PDFOps::hasLittleText(QString()));
    EXPECT_TRUE(PDFOps::hasLittleText(QStringLiteral("  \n123456789012345 \n")));
    EXPECT_FALSE(PDFOps::hasLittleText(QStringLiteral("1234567890123456")));
    // Letters with combining marks count once each.
    EXPECT_TRUE(PDFOps::hasLittleText(QStringLiteral("e\u0301").repeated(15)));
    EXPECT_FALSE(PDFOps::hasLittleText(QStringLiteral("e\u0301").repeated(16)));
}

TEST(CompressionPresets, ImagesAreFoundInFormsTwoLevelsDownButNotThree)
{
    using PDFOps::resourcesContainImage;
    EXPECT_FALSE(resourcesContainImage({}, 0));
    EXPECT_TRUE(resourcesContainImage({node(QStringLiteral("Form")), node(QStringLiteral("Image"))}, 0));
    EXPECT_FALSE(resourcesContainImage({node(QString()), node(QStringLiteral("PS"))}, 0));
    const auto formInForm = node(QStringLiteral("Form"), {node(QStringLiteral("Form"), {node(QStringLiteral("Image"))})});
    EXPECT_TRUE(resourcesContainImage({formInForm}, 0));
    const auto threeDeep = node(QStringLiteral("Form"), {formInForm});
    EXPECT_FALSE(resourcesContainImage({threeDeep}, 0));

    // Against real resources, as the page reads them.
    auto document = coretest::open(coretest::makeRawPdf({picturePage({}, 2), picturePage({}, 3)}));
    EXPECT_TRUE(resourcesContainImage(document->page(0)->xObjects(), 0));
    EXPECT_FALSE(resourcesContainImage(document->page(1)->xObjects(), 0));
}

TEST(Compression, ImageHeavyDocumentGetsSmallerAndStaysValid)
{
    QTemporaryDir dir;
    const QByteArray source = coretest::makeRawPdf(
        {picturePage(), picturePage(textLine("Short caption")), picturePage(textLine("A real page of text that stays")),
         picturePage({}, 2), picturePage({}, 3)});
    const auto document = coretest::open(source);
    ASSERT_TRUE(document);
    const QImage before = document->page(0)->render(0.5);

    const auto compressed = PDFOps::compress(*document, CompressionPreset::tiny, source);
    ASSERT_TRUE(compressed);
    EXPECT_LT(compressed->size(), source.size() / 4);
    const QString path = test::writeFile(dir, QStringLiteral("small.pdf"), *compressed);
    EXPECT_TRUE(coretest::qpdfAccepts(path));
    const auto reopened = coretest::open(*compressed);
    ASSERT_EQ(reopened->pageCount(), 5);
    EXPECT_LT(coretest::meanDifference(before, reopened->page(0)->render(0.5)), 6.0);

    EXPECT_TRUE(wasRasterised(*compressed, 0));
    // Fifteen characters or fewer do not save a page; its text is lost with the rest of its content.
    EXPECT_TRUE(wasRasterised(*compressed, 1));
    EXPECT_TRUE(coretest::popplerText(path).contains(QStringLiteral("A real page of text that stays")));
    EXPECT_FALSE(wasRasterised(*compressed, 2));
    EXPECT_TRUE(wasRasterised(*compressed, 3));
    EXPECT_FALSE(wasRasterised(*compressed, 4));
    // The open document is not touched.
    EXPECT_EQ(document->page(0)->xObjects().size(), 1);
    EXPECT_EQ(document->page(0)->xObjects()[0].subtype, QStringLiteral("Image"));
}

TEST(Compression, PicturePagesThatWouldGrowAsOneJpegKeepTheirPictures)
{
    // A few pixels stretched over the page weigh less than any drawing of the page at the preset's resolution.
    const QByteArray source = coretest::makeRawPdf({picturePage({}, 0, QSize(4, 4)), picturePage()});
    const QByteArray compressed = PDFOps::compress(source, CompressionPreset::light);
    const auto before = coretest::open(source);
    const auto after = coretest::open(compressed);
    ASSERT_TRUE(after);
    EXPECT_EQ(pdf::pageImageBytes(*after->page(0)), pdf::pageImageBytes(*before->page(0)));
    EXPECT_GT(pdf::pageImageBytes(*before->page(0)), 0);
    EXPECT_TRUE(wasRasterised(compressed, 1));
    EXPECT_LT(compressed.size(), source.size() / 2);
}

TEST(Compression, TextPagesShrinkThroughReencodedImagesAlone)
{
    // Too much text to re-render, but the image itself can be re-encoded.
    const QByteArray source = coretest::makeRawPdf({picturePage(textLine("Plenty of words on this page"))});
    const QByteArray compressed = PDFOps::compress(source, CompressionPreset::light);
    EXPECT_LT(compressed.size(), source.size() / 2);
    EXPECT_FALSE(wasRasterised(compressed, 0));
    EXPECT_TRUE(coretest::open(compressed)->page(0)->text().contains(QStringLiteral("Plenty of words")));
}

TEST(Compression, NeverLargerThanTheSourceAndUnreadableBytesComeBack)
{
    const QByteArray notPdf = "this is not a PDF at all";
    EXPECT_EQ(PDFOps::compress(notPdf, CompressionPreset::tiny), notPdf);

    // A small text-only document cannot be made smaller than its own tight bytes.
    const QByteArray tight = coretest::makeRawPdf({[] { RawPage p; p.content = textLine("x"); return p; }()});
    const QByteArray result = PDFOps::compress(tight, CompressionPreset::balanced);
    EXPECT_LE(result.size(), tight.size());
    EXPECT_EQ(coretest::open(result)->pageCount(), 1);
}

TEST(Compression, AnnotationsMoveToRerenderedPagesExceptRedactionMarks)
{
    const auto document = coretest::open(coretest::makeRawPdf({picturePage()}));
    auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(100, 100, 80, 80));
    square->setColor(Qt::red);
    document->page(0)->addAnnotation(square);
    document->page(0)->addAnnotation(RedactionMarkAnnotation::create(QRectF(300, 300, 50, 50)));

    const auto compressed = PDFOps::compress(*document, CompressionPreset::balanced);
    ASSERT_TRUE(compressed);
    const auto page = coretest::open(*compressed)->page(0);
    EXPECT_TRUE(wasRasterised(*compressed, 0));
    const auto annotations = page->annotations();
    ASSERT_EQ(annotations.size(), 1u);
    EXPECT_EQ(annotations[0]->type(), QStringLiteral("Square"));
    EXPECT_EQ(annotations[0]->bounds(), QRectF(100, 100, 80, 80));
    // The open document keeps both.
    EXPECT_EQ(document->page(0)->annotations().size(), 2u);
}

TEST(Compression, LeavesNoWorkingFilesBehind)
{
    const QStringList filter{QStringLiteral("vmk-*.pdf")};
    const QStringList before = QDir::temp().entryList(filter);
    const auto document = coretest::open(coretest::makeRawPdf({picturePage()}));
    ASSERT_TRUE(PDFOps::compress(*document, CompressionPreset::light));
    EXPECT_EQ(QDir::temp().entryList(filter), before);
}

TEST(Compression, RunsAwayFromTheMainThread)
{
    const QByteArray source = coretest::makeRawPdf({picturePage(), picturePage(textLine("Words enough to stay as text"))});
    QByteArray compressed;
    std::thread worker([&] { compressed = PDFOps::compress(source, CompressionPreset::balanced); });
    worker.join();
    EXPECT_LT(compressed.size(), source.size() / 4);
    const auto reopened = coretest::open(compressed);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->pageCount(), 2);
    EXPECT_TRUE(wasRasterised(compressed, 0));
    EXPECT_FALSE(wasRasterised(compressed, 1));
}
