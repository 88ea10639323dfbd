#include "CoreFixtures.h"
#include "RebuildFixtures.h"

#include "core/PDFOps.h"
#include "core/SystemAnnotations.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"

#include "support/TestFiles.h"

#include <QPainter>

#include <thread>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using vmk::coretest::RawPage;

namespace {

const QByteArray kShapes = "0.8 0.1 0.1 rg 100 500 300 150 re f 0.1 0.1 0.8 rg 200 100 150 250 re f "
                           "BT /F1 36 Tf 80 700 Td (Own words) Tj ET";

RawPage raw(const QByteArray& content, int rotation = 0, const QRectF& cropBox = QRectF())
{
    RawPage page;
    page.content = content;
    page.rotation = rotation;
    page.cropBox = cropBox;
    return page;
}

pdf::RenderOptions withoutAnnotations()
{
    pdf::RenderOptions options;
    options.withAnnotations = false;
    return options;
}

pdf::PagePtr firstPage(const RawPage& page)
{
    // The documents outlive the pages handed out; never destroyed, so none is dropped after the PDF
    // engine has shut down at exit.
    static auto* keep = new std::vector<pdf::DocumentPtr>;
    keep->push_back(coretest::open(coretest::makeRawPdf({page})));
    return keep->back()->page(0);
}

// Writes a standalone page as a one-page file.
QString writePage(const QTemporaryDir& dir, const QString& name, const pdf::PagePtr& page)
{
    auto document = pdf::Document::createEmpty();
    EXPECT_TRUE(document->insertPage(page, 0));
    const QString path = dir.filePath(name);
    EXPECT_TRUE(document->write(path));
    return path;
}

double horizontalExtent(const pdf::InvisibleTextRun& run)
{
    return pdf::helveticaWidth(run.text) * run.fontSize / 1000.0 * run.horizontalScale;
}

} // namespace

TEST(InvisibleText, RunsSpanTheirBoxesAndSkipBoxesOfOneUnitOrLess)
{
    const QList<PDFOps::RecognizedLine> lines{
        {QStringLiteral("Hello world"), QRectF(0.1, 0.5, 0.5, 0.02)},
        {QStringLiteral("flat"), QRectF(0.1, 0.3, 0.5, 1.0 / 792)}, // exactly 1 unit high
        {QStringLiteral("narrow"), QRectF(0.1, 0.2, 1.0 / 612, 0.1)},
        {QStringLiteral("Wide"), QRectF(0.0, 0.0, 1.0, 0.05)},
    };
    const auto runs = PDFOps::layoutInvisibleText(lines, QSizeF(612, 792));
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].text, QStringLiteral("Hello world"));
    EXPECT_NEAR(runs[0].fontSize, 0.02 * 792 * 0.86, 1e-9);
    EXPECT_NEAR(horizontalExtent(runs[0]), 0.5 * 612, 1e-6);
    EXPECT_NEAR(runs[0].origin.x(), 61.2, 1e-9);
    // The baseline sits a little above the box's bottom, inside the box.
    EXPECT_GT(runs[0].origin.y(), 0.5 * 792);
    EXPECT_LT(runs[0].origin.y(), 0.52 * 792);
    EXPECT_NEAR(horizontalExtent(runs[1]), 612, 1e-6);
}

TEST(InvisibleText, TurnedLinesRunAlongTheirBoxesFromWhereTheirReadingStarts)
{
    // A box 20 wide and 300 high (in a 1000 x 1000 space) holding text turned a quarter either way.
    const QRectF tall(0.1, 0.2, 0.02, 0.3);
    const auto runs = PDFOps::layoutInvisibleText({{QStringLiteral("Down the page"), tall, 90},
                                                   {QStringLiteral("Up the page"), tall, 270},
                                                   {QStringLiteral("Upside down"), QRectF(0.1, 0.6, 0.3, 0.02), 180}},
                                                  QSizeF(1000, 1000));
    ASSERT_EQ(runs.size(), 3);
    for (const auto& run : runs)
        EXPECT_NEAR(run.fontSize, 20 * 0.86, 1e-9) << run.text.toStdString();
    // Reading down from the top, baseline just right of the left edge.
    EXPECT_EQ(runs[0].clockwiseTurn, 90);
    EXPECT_NEAR(horizontalExtent(runs[0]), 300, 1e-6);
    EXPECT_NEAR(runs[0].origin.y(), 500, 1e-9);
    EXPECT_GT(runs[0].origin.x(), 100);
    EXPECT_LT(runs[0].origin.x(), 105);
    // Reading up from the bottom, baseline just left of the right edge.
    EXPECT_EQ(runs[1].clockwiseTurn, 270);
    EXPECT_NEAR(runs[1].origin.y(), 200, 1e-9);
    EXPECT_GT(runs[1].origin.x(), 115);
    EXPECT_LT(runs[1].origin.x(), 120);
    // Reading leftwards from the top right corner.
    EXPECT_EQ(runs[2].clockwiseTurn, 180);
    EXPECT_NEAR(horizontalExtent(runs[2]), 300, 1e-6);
    EXPECT_NEAR(runs[2].origin.x(), 400, 1e-9);
    EXPECT_GT(runs[2].origin.y(), 615);
    EXPECT_LT(runs[2].origin.y(), 620);
}

TEST(InvisibleText, TinyBoxesGetAtLeastAOnePointFont)
{
    const auto runs = PDFOps::layoutInvisibleText({{QStringLiteral("x"), QRectF(0, 0, 0.5, 1.1 / 100)}}, QSizeF(100, 100));
    ASSERT_EQ(runs.size(), 1);
    EXPECT_DOUBLE_EQ(runs[0].fontSize, 1.0);
}

TEST(PageRebuild, VectorBaseKeepsContentAndAddsSearchableTextInEveryScript)
{
    QTemporaryDir dir;
    const pdf::PagePtr source = firstPage(raw(kShapes));
    const QList<PDFOps::RecognizedLine> lines{
        {QStringLiteral("Recognised café line"), QRectF(0.1, 0.1, 0.6, 0.03)},
        {QStringLiteral("Привет мир"), QRectF(0.1, 0.2, 0.4, 0.03)},
        {QStringLiteral("日本語 Ωμέγα 😀"), QRectF(0.1, 0.3, 0.4, 0.03)},
    };
    const pdf::PagePtr rebuilt = PDFOps::rebuildPage(*source, PDFOps::PageBase::vector(), lines);
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->document(), nullptr);
    EXPECT_TRUE(rebuilt->annotations().empty());

    // The layer is invisible: the page looks exactly like the source.
    EXPECT_LT(coretest::meanDifference(source->render(1.0), rebuilt->render(1.0)), 0.5);

    const QString path = writePage(dir, QStringLiteral("rebuilt.pdf"), rebuilt);
    EXPECT_TRUE(coretest::qpdfAccepts(path));
    const QString text = coretest::popplerText(path);
    EXPECT_TRUE(text.contains(QStringLiteral("Own words"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Recognised café line"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Привет мир"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("日本語 Ωμέγα 😀"))) << text.toStdString();

    // Selection sees the recognised text where the line was recognised.
    const QRectF lineBox(0.1 * 612, 0.1 * 792, 0.6 * 612, 0.03 * 792);
    EXPECT_EQ(rebuilt->selection(lineBox).string().simplified(), QStringLiteral("Recognised café line"));
}

TEST(PageRebuild, CropBoxBecomesTheMediaBoxAndContentOutsideIsGone)
{
    const pdf::PagePtr source = firstPage(raw(kShapes, 0, QRectF(50, 50, 300, 400)));
    const pdf::PagePtr rebuilt = PDFOps::rebuildPage(*source, PDFOps::PageBase::vector(), {});
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->mediaBox(), QRectF(50, 50, 300, 400));
    EXPECT_EQ(rebuilt->cropBox(), QRectF(50, 50, 300, 400));
    EXPECT_EQ(rebuilt->displaySize(), QSizeF(300, 400));
    EXPECT_LT(coretest::meanDifference(source->render(1.0), rebuilt->render(1.0)), 0.5);
}

TEST(PageRebuild, TurnedPageWithRasterBaseDisplaysLikeTheSource)
{
    QTemporaryDir dir;
    const pdf::PagePtr source = firstPage(raw(kShapes, 90));
    const QImage displayed = source->render(150.0 / 72, withoutAnnotations());
    ASSERT_EQ(displayed.size(), QSize(1650, 1275)); // turned: wider than high
    const auto jpeg = PDFOps::jpegData(displayed, 0.9);
    ASSERT_TRUE(jpeg);
    const QList<PDFOps::RecognizedLine> lines{{QStringLiteral("Sideways text"), QRectF(0.1, 0.8, 0.5, 0.05)}};
    const pdf::PagePtr rebuilt = PDFOps::rebuildPage(*source, PDFOps::PageBase::raster(*jpeg), lines);
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->rotation(), 90);
    EXPECT_EQ(rebuilt->mediaBox(), source->cropBox());
    EXPECT_EQ(rebuilt->displaySize(), source->displaySize());
    EXPECT_LT(coretest::meanDifference(source->render(1.0), rebuilt->render(1.0)), 4.0);

    // Only the layer's text is left, found where it was recognised on the displayed page.
    const QString path = writePage(dir, QStringLiteral("turned.pdf"), rebuilt);
    EXPECT_EQ(coretest::popplerText(path), QStringLiteral("Sideways text"));
    const QRectF inPage = rebuilt->displayTransform().inverted().mapRect(QRectF(0.1 * 792, 0.8 * 612, 0.5 * 792, 0.05 * 612));
    EXPECT_EQ(rebuilt->selection(inPage).string().simplified(), QStringLiteral("Sideways text"));
}

TEST(PageRebuild, RasterBaseFromAnUnencodedImageAndNoLinesHasNoText)
{
    const pdf::PagePtr source = firstPage(raw(kShapes));
    const QImage displayed = source->render(1.0, withoutAnnotations());
    const pdf::PagePtr rebuilt = PDFOps::rebuildPage(*source, PDFOps::PageBase::raster(displayed), {});
    ASSERT_TRUE(rebuilt);
    EXPECT_TRUE(rebuilt->text().trimmed().isEmpty());
    EXPECT_LT(coretest::meanDifference(displayed, rebuilt->render(1.0)), 3.0);
    EXPECT_FALSE(PDFOps::rebuildPage(*source, PDFOps::PageBase::raster(QImage()), {}));
}

TEST(PageRebuild, MovingAnnotationsDropsMarksAndThoseOverDroppedAreas)
{
    const pdf::PagePtr from = firstPage(raw(kShapes));
    const pdf::PagePtr to = pdf::Page::createBlank(QRectF(0, 0, 612, 792));
    auto kept1 = pdf::Annotation::create(QStringLiteral("Square"), QRectF(10, 10, 50, 50));
    auto dropped = pdf::Annotation::create(QStringLiteral("Circle"), QRectF(300, 300, 50, 50));
    auto mark = RedactionMarkAnnotation::create(QRectF(500, 700, 40, 40));
    auto kept2 = pdf::Annotation::create(QStringLiteral("Square"), QRectF(100, 600, 50, 50));
    for (const auto& a : {kept1, dropped, mark, kept2})
        from->addAnnotation(a);

    PDFOps::moveAnnotations(*from, *to, {QRectF(320, 320, 100, 100)});
    EXPECT_TRUE(from->annotations().empty());
    EXPECT_EQ(to->annotations(), (std::vector<pdf::AnnotationPtr>{kept1, kept2}));
    EXPECT_EQ(kept1->page(), to);
}

TEST(PageRebuild, SnapshotRendersThePageWithoutAnnotationsOnAnyThread)
{
    const pdf::PagePtr page = firstPage(raw(kShapes, 90));
    auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(20, 20, 200, 200));
    square->setColor(Qt::green);
    square->setInteriorColor(QColor(Qt::green));
    page->addAnnotation(square);
    const auto snapshot = PDFOps::snapshot(*page);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->displaySize, QSizeF(792, 612));
    EXPECT_EQ(snapshot->cropBox, page->cropBox());
    EXPECT_EQ(snapshot->toDisplay, page->displayTransform());
    QImage image;
    std::thread worker([&] { image = snapshot->render(1.0); });
    worker.join();
    EXPECT_LT(coretest::meanDifference(page->render(1.0, withoutAnnotations()), image), 0.5);
    EXPECT_GT(coretest::meanDifference(page->render(1.0), image), 1.0);
}

TEST(TextRecognition, RecognisedPageBecomesSearchableAndBlankImagesGiveNoLines)
{
    QTemporaryDir dir;
    const pdf::PagePtr source =
        firstPage(raw("BT /F1 40 Tf 72 600 Td (QUICK BROWN FOX) Tj ET BT /F1 40 Tf 72 400 Td (LAZY DOG) Tj ET"));
    const auto snapshot = PDFOps::snapshot(*source);
    ASSERT_TRUE(snapshot);
    const QImage image = snapshot->render(150.0 / 72);
    const auto lines = PDFOps::recognizeText(image);
    ASSERT_TRUE(lines.ok()) << lines.error().toStdString();
    ASSERT_EQ(lines.value().size(), 2);
    EXPECT_EQ(lines.value()[0].text, QStringLiteral("QUICK BROWN FOX"));
    // Normalised with the origin at the lower left: the first line is the higher one.
    const QRectF box = lines.value()[0].box;
    EXPECT_NEAR(box.y() * 792, 600, 20);
    EXPECT_NEAR(box.x() * 612, 72, 10);

    const auto jpeg = PDFOps::jpegData(image, 0.85);
    ASSERT_TRUE(jpeg);
    const pdf::PagePtr rebuilt = PDFOps::rebuildPage(*source, PDFOps::PageBase::raster(*jpeg), lines.value());
    ASSERT_TRUE(rebuilt);
    const QString path = writePage(dir, QStringLiteral("searchable.pdf"), rebuilt);
    EXPECT_EQ(coretest::popplerText(path), QStringLiteral("QUICK BROWN FOX LAZY DOG"));

    QImage blank(400, 300, QImage::Format_RGB32);
    blank.fill(Qt::white);
    const auto none = PDFOps::recognizeText(blank);
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none.value().isEmpty());
}

TEST(TextRecognition, TurnedPageKeepsItsRecognisedWordsOnTheirLines)
{
    // An ordinary upright page shown turned a quarter either way: its text runs down or up the displayed
    // page. Mixed case, so that the turn can be told from so few lines.
    const QByteArray content = "BT /F1 22 Tf 72 640 Td (Quarterly report) Tj ET "
                               "BT /F1 22 Tf 72 560 Td (Revenue grew eleven percent) Tj ET "
                               "BT /F1 22 Tf 72 480 Td (Signed by the board) Tj ET";
    const auto textLines = [](const QString& path) {
        const auto result = test::runCommand(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        QStringList lines;
        for (const QString& line : QString::fromUtf8(result.out).split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                lines.append(line.simplified());
        return lines;
    };
    for (int rotation : {90, 270}) {
        SCOPED_TRACE(rotation);
        QTemporaryDir dir;
        // What the page gave before it was rebuilt: the three lines, each whole.
        const QByteArray original = coretest::makeRawPdf({raw(content, rotation)});
        const QStringList before = textLines(test::writeFile(dir, QStringLiteral("source.pdf"), original));
        ASSERT_EQ(before.size(), 3);
        EXPECT_TRUE(before.contains(QStringLiteral("Revenue grew eleven percent")));

        const pdf::PagePtr source = firstPage(raw(content, rotation));
        const auto snapshot = PDFOps::snapshot(*source);
        ASSERT_TRUE(snapshot);
        QImage image = snapshot->render(150.0 / 72);
        image.setDotsPerMeterX(5906);
        image.setDotsPerMeterY(5906);
        ASSERT_GT(image.width(), image.height());
        const auto lines = PDFOps::recognizeText(image);
        ASSERT_TRUE(lines.ok()) << lines.error().toStdString();
        ASSERT_EQ(lines.value().size(), 3);
        for (const auto& line : lines.value())
            EXPECT_EQ(line.clockwiseTurn, rotation) << line.text.toStdString();
        const auto jpeg = PDFOps::jpegData(image, 0.85);
        ASSERT_TRUE(jpeg);
        const pdf::PagePtr rebuilt = PDFOps::rebuildPage(*source, PDFOps::PageBase::raster(*jpeg), lines.value());
        ASSERT_TRUE(rebuilt);
        EXPECT_EQ(rebuilt->rotation(), rotation);
        const QStringList after = textLines(writePage(dir, QStringLiteral("turned.pdf"), rebuilt));
        EXPECT_EQ(after, before) << after.join(QLatin1Char('|')).toStdString();
    }
}
