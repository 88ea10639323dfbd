#include "signatures/ArtworkImage.h"
#include "signatures/SavedSignature.h"
#include "signatures/SignatureArtwork.h"
#include "signatures/SignatureStyles.h"
#include "signatures/SignatureTestSupport.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"
#include "support/TestFiles.h"
#include "support/Wait.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vmk::signatures;

namespace {

// The bounding box of pixels darker than near-white, or a null rectangle.
QRect inkedArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 200)
                area = area.united(QRect(x, y, 1, 1));
    return area;
}

TEST(SignatureSmoothing, SampleCountsAndKeptEnds)
{
    const InkStroke two = {{QPointF(0, 0), 2}, {QPointF(10, 0), 3}};
    EXPECT_EQ(smoothStroke(two), two);

    // Segments of 10 and 2 points: 6 and 2 samples, then the last sample itself.
    const InkStroke three = {{QPointF(0, 0), 2}, {QPointF(10, 0), 4}, {QPointF(12, 0), 1}};
    const InkStroke smooth = smoothStroke(three);
    ASSERT_EQ(smooth.size(), 6 + 2 + 1);
    EXPECT_EQ(smooth.first(), three.first());
    EXPECT_EQ(smooth.last(), three.last());
    EXPECT_EQ(smooth[6], three[1]); // each segment starts exactly on its sample
    EXPECT_DOUBLE_EQ(smooth[3].width, 2 + 2 * 0.5);
    // The curve passes through the samples and stays on the line they lie on.
    for (const InkPoint& p : smooth)
        EXPECT_NEAR(p.location.y(), 0, 1e-9);
}

TEST(SignatureBounds, OneWidthAroundEverySample)
{
    EXPECT_TRUE(inkBounds({}).isNull());
    EXPECT_TRUE(inkBounds({InkStroke{}}).isNull());
    EXPECT_EQ(inkBounds({{{QPointF(10, 10), 4.2}}}), QRectF(5.8, 5.8, 8.4, 8.4));
    EXPECT_EQ(inkBounds({{{QPointF(0, 0), 1}}, {{QPointF(20, 10), 2}}}), QRectF(-1, -1, 23, 13));
}

TEST(SignatureInkArtwork, PageIsTheInkBoundsPlusMarginAndTooSmallInkGivesNone)
{
    const QColor black = signatureInkColors().first().color;
    EXPECT_FALSE(inkSignaturePDF({}, black));
    EXPECT_FALSE(inkSignaturePDF({{{QPointF(5, 5), 1.0}}}, black)); // bounds 2 × 2 points

    // A click: 8.4 points of ink, so a page of 16.4 points.
    const auto dot = inkSignaturePDF({{{QPointF(100, 100), 4.2}}}, black);
    ASSERT_TRUE(dot);
    const QSizeF dotSize = test::firstPageSize(*dot);
    EXPECT_NEAR(dotSize.width(), 16.4, 0.01);
    EXPECT_NEAR(dotSize.height(), 16.4, 0.01);

    const QRectF bounds = inkBounds(test::sampleStrokes());
    const QSizeF size = test::firstPageSize(test::sampleArtwork());
    EXPECT_NEAR(size.width(), bounds.width() + 8, 0.01);
    EXPECT_NEAR(size.height(), bounds.height() + 8, 0.01);
}

TEST(SignatureInkArtwork, OtherToolsRenderTheStrokesWhereTheyWereDrawn)
{
    QTemporaryDir dir;
    // An L-shaped stroke sampled every 2 points as the pad records it: down the left side, then along the
    // bottom, y up.
    InkStroke stroke;
    for (int y = 100; y > 0; y -= 2)
        stroke.append({QPointF(0, y), 3});
    for (int x = 0; x <= 100; x += 2)
        stroke.append({QPointF(x, 0), 3});
    const InkStrokes strokes = {stroke};
    const auto pdf = inkSignaturePDF(strokes, signatureInkColors().first().color);
    ASSERT_TRUE(pdf);
    const QString path = vmk::test::writeFile(dir, "ink.pdf", *pdf);
    const auto rendered = vmk::test::runCommand("pdftoppm", {"-r", "72", "-png", "-singlefile", path, dir.filePath("ink")});
    ASSERT_EQ(rendered.exitCode, 0) << rendered.err.toStdString();
    const QImage image(dir.filePath("ink.png"));
    ASSERT_FALSE(image.isNull());
    const QRect ink = inkedArea(image);
    ASSERT_FALSE(ink.isNull());
    // Ink starts about one margin plus one width in from the left and bottom, and the L's corner is at the
    // bottom left (so nothing was flipped on the way).
    EXPECT_NEAR(ink.left(), 4 + 3 - 1.5, 1.5);
    EXPECT_NEAR(image.height() - 1 - ink.bottom(), 4 + 3 - 1.5, 1.5);
    EXPECT_LT(qGray(image.pixel(ink.left() + 1, ink.bottom() - 1)), 128);
    EXPECT_GT(qGray(image.pixel(ink.right() - 3, ink.top() + 3)), 200);
}

TEST(SignatureTypedArtwork, EveryHandwritingFontGivesSearchableTextWithItsFontEmbedded)
{
    ASSERT_FALSE(signatureFonts().isEmpty()) << "the set-up installs handwriting fonts";
    QTemporaryDir dir;
    const QColor blue = signatureInkColors().at(1).color;
    for (const SignatureFont& font : signatureFonts()) {
        SCOPED_TRACE(font.name.toStdString());
        const auto path = typedSignaturePath("Jane Appleseed", font.postScript, typedSignatureFontSize);
        ASSERT_TRUE(path);
        const auto pdf = typedSignaturePDF("Jane Appleseed", font.postScript, blue);
        ASSERT_TRUE(pdf);
        const QSizeF size = test::firstPageSize(*pdf);
        EXPECT_NEAR(size.width(), path->boundingRect().width() + 8, 0.01);
        EXPECT_NEAR(size.height(), path->boundingRect().height() + 8, 0.01);

        const QString file = vmk::test::writeFile(dir, font.postScript + ".pdf", *pdf);
        const auto text = vmk::test::runCommand("pdftotext", {file, "-"});
        ASSERT_EQ(text.exitCode, 0);
        EXPECT_EQ(QString::fromUtf8(text.out).trimmed(), "Jane Appleseed");
        const auto fonts = vmk::test::runCommand("pdffonts", {file});
        EXPECT_TRUE(fonts.out.contains(font.postScript.toLatin1())) << fonts.out.toStdString();

        // The lettering fills the page up to the margin: the text was placed where its outlines were measured.
        const auto rendered = vmk::test::runCommand("pdftoppm", {"-r", "72", "-png", "-singlefile", file, dir.filePath("t")});
        ASSERT_EQ(rendered.exitCode, 0);
        const QRect ink = inkedArea(QImage(dir.filePath("t.png")));
        ASSERT_FALSE(ink.isNull());
        EXPECT_NEAR(ink.left(), 4, 2);
        EXPECT_NEAR(std::ceil(size.height()) - 1 - ink.bottom(), 4, 2);
        EXPECT_NEAR(std::ceil(size.width()) - 1 - ink.right(), 4, 2);
        EXPECT_NEAR(ink.top(), 4, 2);
    }
}

TEST(SignatureTypedArtwork, BlankTextOrMissingFontGivesNothing)
{
    const QString font = signatureFontCandidates().first().postScript;
    EXPECT_FALSE(typedSignaturePath("   ", font, 64));
    EXPECT_FALSE(typedSignaturePDF("", font, Qt::black));
    EXPECT_FALSE(typedSignaturePDF("Jane", "NoSuchFont-Regular", Qt::black));
    EXPECT_FALSE(canMakeSignatureFont("NoSuchFont-Regular"));
}

} // namespace

TEST(SignatureArtworkImage, ArtworkThatCannotBeDrawnQuicklyIsUnreadableNotBlank)
{
    // Drawn where the list is built: each refusal comes within a few seconds.
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(renderArtworkImage(vmk::test::testPagesPdf({vmk::test::TestPage::slowDecode})).has_value());
    EXPECT_LT(timer.elapsed(), vmk::test::scaledMs(1500 + 1500 + 500));
    timer.restart();
    EXPECT_FALSE(
        SavedSignature::make(QUuid::createUuid(), vmk::test::testPagesPdf({vmk::test::TestPage::giantDecode})).has_value());
    EXPECT_LT(timer.elapsed(), vmk::test::scaledMs(1500 + 500));
    const std::optional<ArtworkImage> plain = renderArtworkImage(vmk::test::testPagesPdf({vmk::test::TestPage::plain}));
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->image.size(), QSize(1224, 1584));
    EXPECT_TRUE(vmk::test::eventually([] { return vmk::pdf::PageCapture::abandonedDrawings() == 0; },
                                      vmk::test::scaledMs(60000)));
}
