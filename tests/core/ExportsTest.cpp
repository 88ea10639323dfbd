#include "CoreFixtures.h"
#include "RebuildFixtures.h"

#include "core/PDFOps.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"

#include "support/PaintedPdf.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using vmk::coretest::RawPage;

namespace {

RawPage textPage(const QByteArray& text, int rotation = 0, QSizeF size = QSizeF(612, 792))
{
    RawPage page;
    page.size = size;
    page.rotation = rotation;
    if (!text.isEmpty())
        page.content = "BT /F1 24 Tf 72 200 Td (" + text + ") Tj ET";
    return page;
}

pdf::AnnotationPtr filledSquare(const QRectF& bounds, const QColor& color)
{
    auto square = pdf::Annotation::create(QStringLiteral("Square"), bounds);
    square->setColor(color);
    square->setInteriorColor(color);
    return square;
}

auto isRed = [](const QColor& c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; };
auto isBlue = [](const QColor& c) { return c.blue() > 200 && c.red() < 60 && c.green() < 60; };

// A page whose text uses fonts Qt embeds, in the encodings Qt chooses.
QByteArray embeddedFontPdf()
{
    return vmk::test::paintedPdf(1, QSizeF(612, 792), [](QPainter& painter, int) {
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 20));
        painter.drawText(QPointF(72, 100), QStringLiteral("Quarterly figures, 2026"));
        painter.setFont(QFont(QStringLiteral("DejaVu Serif"), 14));
        painter.drawText(QPointF(72, 140), QStringLiteral("Revenue grew by 12% (up from 9%)."));
    });
}

// A page whose Type 1 font maps its own codes to glyph names, which a reader needs to keep to show and
// extract the text: code 1...6 spell "Ledger".
QByteArray customEncodingPdf()
{
    const QByteArray content = "BT /F1 24 Tf 72 700 Td <010203040506> Tj ( 7 items) Tj ET";
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>",
        vmk::test::pdfStream({}, content),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding << /Type /Encoding /BaseEncoding "
        "/WinAnsiEncoding /Differences [1 /L /e /d /g /e /r] >> >>",
    };
    return vmk::test::assemblePdf(objects);
}

// pdffonts rows without the object numbers, which a copy renumbers.
QStringList fontRows(const QString& path)
{
    const auto listed = test::runCommand(QStringLiteral("pdffonts"), {path});
    QStringList rows;
    for (const QString& line : QString::fromUtf8(listed.out).split(u'\n').mid(2)) {
        QStringList columns = line.split(u' ', Qt::SkipEmptyParts);
        if (columns.size() > 2)
            rows.append(columns.mid(0, columns.size() - 2).join(u' '));
    }
    return rows;
}

} // namespace

TEST(Flatten, AnnotationsBecomeContentAndHiddenOnesStayAway)
{
    QTemporaryDir dir;
    auto document = coretest::open(coretest::makeRawPdf({textPage("Flat text"), textPage("Second")}));
    document->page(0)->addAnnotation(filledSquare(QRectF(100, 500, 100, 100), Qt::red));
    auto hidden = filledSquare(QRectF(300, 500, 100, 100), Qt::blue);
    hidden->setShouldDisplay(false);
    document->page(0)->addAnnotation(hidden);
    document->setAttribute(pdf::DocumentAttribute::Title, QStringLiteral("Report"));
    document->setAttribute(pdf::DocumentAttribute::Author, QStringLiteral("Ada"));

    const auto flat = PDFOps::flatten(*document);
    ASSERT_TRUE(flat);
    ASSERT_EQ(flat->pageCount(), 2);
    EXPECT_TRUE(flat->page(0)->annotations().empty());
    EXPECT_EQ(flat->attribute(pdf::DocumentAttribute::Title), QStringLiteral("Report"));
    EXPECT_EQ(flat->attribute(pdf::DocumentAttribute::Author), QStringLiteral("Ada"));
    EXPECT_FALSE(flat->outline());
    // The source keeps its annotations.
    EXPECT_EQ(document->page(0)->annotations().size(), 2u);

    const QString path = dir.filePath(QStringLiteral("flat.pdf"));
    ASSERT_TRUE(flat->write(path));
    EXPECT_TRUE(coretest::qpdfAccepts(path));
    const QImage image = coretest::renderWithPoppler(path, 1, 72);
    ASSERT_FALSE(image.isNull());
    // Page space y 500...600 is image rows 192...292.
    EXPECT_GT(coretest::countPixels(image, QRect(110, 200, 80, 80), isRed), 6000);
    EXPECT_EQ(coretest::countPixels(image, QRect(310, 200, 80, 80), isBlue), 0);
    const QString text = coretest::popplerText(path);
    EXPECT_TRUE(text.contains(QStringLiteral("Flat text"))) << text.toStdString();
}

TEST(Flatten, TurnedPagesBecomeUprightAtTheirDisplayedSize)
{
    auto document = coretest::open(coretest::makeRawPdf({textPage("Turned", 90, QSizeF(400, 700))}));
    document->page(0)->addAnnotation(filledSquare(QRectF(50, 50, 60, 60), Qt::red));
    const QImage before = document->page(0)->render(1.0);

    const auto flat = PDFOps::flatten(*document);
    ASSERT_TRUE(flat);
    const auto page = flat->page(0);
    EXPECT_EQ(page->rotation(), 0);
    EXPECT_EQ(page->displaySize(), QSizeF(700, 400));
    EXPECT_LT(coretest::meanDifference(before, page->render(1.0)), 1.0);
}

TEST(Flatten, EmbeddedFontsAreCopiedSoOtherReadersKeepTheText)
{
    QTemporaryDir dir;
    auto document = coretest::open(embeddedFontPdf());
    auto custom = coretest::open(customEncodingPdf());
    ASSERT_TRUE(document->insertPage(custom->removePage(0), 1));
    document->page(0)->addAnnotation(filledSquare(QRectF(100, 300, 100, 100), Qt::red));
    document->page(1)->addAnnotation(filledSquare(QRectF(100, 300, 100, 100), Qt::red));
    const QString source = dir.filePath(QStringLiteral("source.pdf"));
    ASSERT_TRUE(document->write(source));

    const auto flat = PDFOps::flatten(*document);
    ASSERT_TRUE(flat);
    const QString path = dir.filePath(QStringLiteral("flat.pdf"));
    ASSERT_TRUE(flat->write(path));
    EXPECT_TRUE(flat->page(0)->annotations().empty());

    const auto sourceText = test::runCommand(QStringLiteral("pdftotext"), {source, QStringLiteral("-")});
    const auto flatText = test::runCommand(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    ASSERT_EQ(flatText.exitCode, 0);
    EXPECT_TRUE(sourceText.out.contains("Revenue grew by 12% (up from 9%).")) << sourceText.out.toStdString();
    EXPECT_TRUE(sourceText.out.contains("Ledger 7 items")) << sourceText.out.toStdString();
    EXPECT_EQ(flatText.out, sourceText.out);
    EXPECT_FALSE(flatText.err.contains("Mismatch")) << flatText.err.toStdString();

    const QStringList fonts = fontRows(source);
    EXPECT_FALSE(fonts.isEmpty());
    EXPECT_EQ(fontRows(path).join(u'\n').toStdString(), fonts.join(u'\n').toStdString());

    for (int page = 1; page <= 2; ++page) {
        const QImage image = coretest::renderWithPoppler(path, page, 72);
        ASSERT_FALSE(image.isNull());
        // Page space y 300...400 is image rows 392...492.
        EXPECT_GT(coretest::countPixels(image, QRect(110, 400, 80, 80), isRed), 6000) << page;
        // The text is still drawn as it was.
        const QImage sourceImage = coretest::renderWithPoppler(source, page, 72);
        const QRect text(60, 50, 450, 120);
        EXPECT_LT(coretest::meanDifference(sourceImage.copy(text), image.copy(text)), 1.0) << page;
    }
}

TEST(TextExport, PagesAreSeparatedByNewlineFormFeedNewline)
{
    auto one = coretest::open(coretest::makeRawPdf({textPage("Alone")}));
    EXPECT_EQ(PDFOps::plainText(*one).trimmed(), QStringLiteral("Alone"));
    EXPECT_FALSE(PDFOps::plainText(*one).contains(QChar(u'\f')));

    auto three = coretest::open(coretest::makeRawPdf({textPage("First"), textPage({}), textPage("Third")}));
    const QStringList pages = PDFOps::plainText(*three).split(QStringLiteral("\n\f\n"));
    ASSERT_EQ(pages.size(), 3);
    EXPECT_EQ(pages[0].trimmed(), QStringLiteral("First"));
    EXPECT_EQ(pages[1], QString());
    EXPECT_EQ(pages[2].trimmed(), QStringLiteral("Third"));

    auto blank = coretest::open(coretest::makeRawPdf({textPage({}), textPage({}), textPage({})}));
    EXPECT_EQ(PDFOps::plainText(*blank), QStringLiteral("\n\f\n\n\f\n"));
    EXPECT_EQ(PDFOps::plainText(*pdf::Document::createEmpty()), QString());
}

TEST(ImageEncoding, JpegAndPngRoundTrip)
{
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(QColor(30, 120, 200));
    QPainter(&image).fillRect(QRect(0, 0, 60, 80), QColor(250, 200, 20));

    const auto png = PDFOps::pngData(image);
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->startsWith("\x89PNG"));
    EXPECT_EQ(QImage::fromData(*png).convertToFormat(QImage::Format_RGB32), image);

    const auto best = PDFOps::jpegData(image, 0.9);
    const auto worst = PDFOps::jpegData(image, 0.1);
    ASSERT_TRUE(best && worst);
    EXPECT_TRUE(best->startsWith("\xFF\xD8"));
    EXPECT_LT(worst->size(), best->size());
    const QImage decoded = QImage::fromData(*best, "JPEG");
    EXPECT_EQ(decoded.size(), image.size());
    EXPECT_LT(coretest::meanDifference(image, decoded), 3.0);
}

TEST(ImageEncoding, NullImagesGiveNothingAndTranslucencyLandsOnWhite)
{
    EXPECT_EQ(PDFOps::jpegData(QImage(), 0.8), std::nullopt);
    EXPECT_EQ(PDFOps::pngData(QImage()), std::nullopt);

    QImage clear(10, 10, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    const auto jpeg = PDFOps::jpegData(clear, 0.9);
    ASSERT_TRUE(jpeg);
    EXPECT_GT(QColor(QImage::fromData(*jpeg).pixel(5, 5)).lightness(), 250);
}

TEST(ImageEncoding, AnnotationsAreDrawnOverPageImagesOnlyWhenDisplayed)
{
    auto document = coretest::open(coretest::makeRawPdf({textPage({}), textPage({})}));
    const auto page = document->page(0);
    QImage image(306, 396, QImage::Format_RGB32); // half scale
    image.fill(Qt::white);

    const QImage untouched = PDFOps::drawAnnotations(*page, image);
    EXPECT_EQ(untouched.cacheKey(), image.cacheKey());

    auto hidden = filledSquare(QRectF(0, 0, 100, 100), Qt::blue);
    hidden->setShouldDisplay(false);
    page->addAnnotation(hidden);
    EXPECT_EQ(PDFOps::drawAnnotations(*page, image).cacheKey(), image.cacheKey());

    page->addAnnotation(filledSquare(QRectF(400, 692, 100, 100), Qt::red));
    const QImage drawn = PDFOps::drawAnnotations(*page, image);
    EXPECT_EQ(drawn.size(), image.size());
    // Page (400...500, 692...792) lands at image (200...250, 0...50); the hidden square stays away.
    EXPECT_GT(coretest::countPixels(drawn, QRect(205, 5, 40, 40), isRed), 1500);
    EXPECT_EQ(coretest::countPixels(drawn, QRect(5, 350, 40, 40), isBlue), 0);
}
