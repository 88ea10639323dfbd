#include "CoreFixtures.h"
#include "RebuildFixtures.h"

#include "core/PDFOps.h"
#include "core/SystemAnnotations.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/annotations/AppearanceBuilder.h"
#include "platform/pdf/document/Page.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

bool isDark(const QColor& c) { return c.red() < 150 && c.green() < 150 && c.blue() < 150; }
bool isRed(const QColor& c) { return c.red() > 180 && c.green() < 140 && c.blue() < 140; }
bool isBlue(const QColor& c) { return c.blue() > 150 && c.red() < 120 && c.green() < 120; }

// The box of a page-space rectangle in an image of a whole upright page rendered at scale.
QRect pixelBox(const QRectF& r, double pageHeight, double scale)
{
    return QRect(qRound(r.left() * scale), qRound((pageHeight - r.bottom()) * scale), qRound(r.width() * scale),
                 qRound(r.height() * scale));
}

// Pixels inside the mark come in two shades: the dark fill and the lighter hatch lines over it.
void expectHatchedMark(const QImage& image, const QRect& box)
{
    ASSERT_FALSE(image.isNull());
    const QRect inner = box.adjusted(4, 4, -4, -4);
    const int area = inner.width() * inner.height();
    const int fill = coretest::countPixels(image, inner, [](const QColor& c) { return c.red() < 112; });
    const int hatch = coretest::countPixels(image, inner,
                                            [](const QColor& c) { return c.red() >= 112 && c.red() < 170; });
    EXPECT_GT(fill, area / 2) << "dark fill missing";
    EXPECT_GT(hatch, area / 50) << "hatch lines missing";
    EXPECT_EQ(coretest::countPixels(image, inner, [](const QColor& c) { return c.red() > 200; }), 0);
    // A red outline along the edge.
    const QRect leftEdge(box.left(), box.top() + 4, 3, box.height() - 8);
    EXPECT_GT(coretest::countPixels(image, leftEdge, isRed), leftEdge.height() / 2) << "outline missing";
}

} // namespace

TEST(RedactionMarks, PropertiesAndTheTagTest)
{
    auto mark = RedactionMarkAnnotation::create(QRectF(10, 20, 100, 20));
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->type(), "Square");
    EXPECT_EQ(mark->userName(), "Vellumark.RedactionMark");
    EXPECT_EQ(mark->contents(), "Marked for redaction");
    EXPECT_TRUE(isRedactionMark(*mark));
    EXPECT_NEAR(mark->color().redF(), 0.85, 0.01);
    ASSERT_TRUE(mark->interiorColor().has_value());
    EXPECT_EQ(mark->interiorColor()->rgb(), QColor(Qt::black).rgb());
    EXPECT_EQ(mark->lineWidth(), 1.0);

    mark->setUserName("something else");
    EXPECT_FALSE(isRedactionMark(*mark));
    auto square = pdf::Annotation::create("Square", QRectF(0, 0, 5, 5));
    EXPECT_FALSE(isRedactionMark(*square));
    square->setUserName("Vellumark.RedactionMark");
    EXPECT_TRUE(isRedactionMark(*square));
}

TEST(RedactionMarks, DrawingIsHatchedOnScreenInTheSavedFileAndAfterReopening)
{
    // The drawing itself: fill, clipped hatch, then the outline.
    pdf::AppearanceBuilder builder(QRectF(0, 0, 100, 20));
    drawRedactionMark(builder, QRectF(0, 0, 100, 20));
    EXPECT_FALSE(builder.contentStream().isEmpty());

    auto document = PDFOps::openChecked(coretest::makePdf(1), "m.pdf").value();
    const QRectF bounds(100, 100, 200, 100);
    document->page(0)->addAnnotation(RedactionMarkAnnotation::create(bounds));

    expectHatchedMark(document->page(0)->render(2.0), pixelBox(bounds, 792, 2.0));

    QTemporaryDir dir;
    const QString path = dir.filePath("marked.pdf");
    ASSERT_TRUE(document->write(path));
    expectHatchedMark(coretest::renderWithPoppler(path, 1, 144), pixelBox(bounds, 792, 2.0));

    // Reopened, the mark is a plain tagged Square that still looks the same, also after a move.
    auto reopened = pdf::Document::fromFile(path).value();
    auto annotations = reopened->page(0)->annotations();
    ASSERT_EQ(annotations.size(), 1u);
    EXPECT_TRUE(isRedactionMark(*annotations[0]));
    expectHatchedMark(reopened->page(0)->render(2.0), pixelBox(bounds, 792, 2.0));
    installSystemAppearances();
    const QRectF moved = bounds.translated(0, 300);
    annotations[0]->setBounds(moved);
    expectHatchedMark(reopened->page(0)->render(2.0), pixelBox(moved, 792, 2.0));
}

TEST(Signatures, ArtworkDrawnOnScreenInTheSavedFileAndAfterReopening)
{
    auto document = PDFOps::openChecked(coretest::makePdf(1), "s.pdf").value();
    // A square box for 3:1 artwork: full width, vertically centred.
    const QRectF bounds(100, 300, 300, 300);
    auto signature = SignatureAnnotation::create(bounds, coretest::makeSignatureArtwork({300, 100}));
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->type(), "Stamp");
    EXPECT_EQ(signature->userName(), "Vellumark.Signature");
    EXPECT_TRUE(SignatureAnnotation::isInstance(*signature));
    document->page(0)->addAnnotation(signature);

    const QRect box = pixelBox(bounds, 792, 1.0);
    const QRect middleBand(box.left(), box.top() + box.height() / 3, box.width(), box.height() / 3);
    const QRect topBand(box.left(), box.top(), box.width(), box.height() / 3 - 2);

    const QImage screen = document->page(0)->render(1.0);
    EXPECT_GT(coretest::countPixels(screen, middleBand, isBlue), 500);
    EXPECT_EQ(coretest::countPixels(screen, topBand, isBlue), 0);

    QTemporaryDir dir;
    const QString path = dir.filePath("signed.pdf");
    ASSERT_TRUE(document->write(path));
    const QImage saved = coretest::renderWithPoppler(path, 1, 72);
    ASSERT_FALSE(saved.isNull());
    EXPECT_GT(coretest::countPixels(saved, middleBand, isBlue), 500) << "signature strokes missing in saved file";
    EXPECT_EQ(coretest::countPixels(saved, topBand, isBlue), 0);

    auto reopened = pdf::Document::fromFile(path).value();
    auto annotations = reopened->page(0)->annotations();
    ASSERT_EQ(annotations.size(), 1u);
    EXPECT_EQ(annotations[0]->userName(), "Vellumark.Signature");
    EXPECT_FALSE(SignatureAnnotation::isInstance(*annotations[0]));
    EXPECT_GT(coretest::countPixels(reopened->page(0)->render(1.0), middleBand, isBlue), 500);
}

TEST(Signatures, ArtworkThatIsNotAPdfOrHasNoArea)
{
    auto document = PDFOps::openChecked(coretest::makePdf(1), "s.pdf").value();
    auto plain = SignatureAnnotation::create(QRectF(100, 100, 100, 50), "not a pdf");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->userName(), "Vellumark.Signature");
    document->page(0)->addAnnotation(plain);
    EXPECT_FALSE(document->page(0)->render(1.0).isNull());

    auto empty = SignatureAnnotation::create(QRectF(300, 300, 100, 50), coretest::makeZeroBoxPdf());
    ASSERT_TRUE(empty);
    document->page(0)->addAnnotation(empty);
    const QImage image = document->page(0)->render(1.0);
    const QRect box = pixelBox(QRectF(300, 300, 100, 50), 792, 1.0);
    EXPECT_EQ(coretest::countPixels(image, box, isDark), 0);
}

TEST(Signatures, ReopenedSignatureKeepsItsArtworkWhenMovedAndSavedAgain)
{
    auto document = PDFOps::openChecked(coretest::makePdf(1), "s.pdf").value();
    const QRectF bounds(100, 300, 300, 300);
    document->page(0)->addAnnotation(SignatureAnnotation::create(bounds, coretest::makeSignatureArtwork({300, 100})));
    QTemporaryDir dir;
    const QString path = dir.filePath("signed.pdf");
    ASSERT_TRUE(document->write(path));
    auto reopened = pdf::Document::fromFile(path).value();
    auto a = reopened->page(0)->annotations()[0];
    const QRectF moved = bounds.translated(0, -250);
    a->setBounds(moved);
    const QRect box = pixelBox(moved, 792, 1.0);
    EXPECT_GT(coretest::countPixels(reopened->page(0)->render(1.0), box, isBlue), 500) << "moved";
    a->setContents("x");
    EXPECT_GT(coretest::countPixels(reopened->page(0)->render(1.0), box, isBlue), 500) << "after property change";
    ASSERT_TRUE(reopened->write(path));
    EXPECT_GT(coretest::countPixels(coretest::renderWithPoppler(path, 1, 72), box, isBlue), 500) << "saved again";
}

TEST(Signatures, ArtworkReadsUprightOnTurnedPagesInTheSavedFile)
{
    // An "L" artwork, 200 x 100: a post on the left over the full height and a foot along the bottom, so
    // that any turn or mirror of it shows.
    coretest::RawPage art;
    art.size = {200, 100};
    art.content = "0 0 0 rg 0 0 40 100 re f 0 0 200 30 re f";
    const QByteArray artwork = coretest::makeRawPdf({art});

    for (int rotation : {0, 90, 180, 270}) {
        SCOPED_TRACE(rotation);
        coretest::RawPage blank;
        blank.rotation = rotation;
        blank.content = " ";
        auto document = coretest::open(coretest::makeRawPdf({blank}));
        auto page = document->page(0);
        // 300 x 150 as displayed: turned in page space on a page turned a quarter.
        const bool quarter = rotation % 180 != 0;
        const QRectF bounds(150, 300, quarter ? 150 : 300, quarter ? 300 : 150);
        page->addAnnotation(SignatureAnnotation::create(bounds, artwork, rotation));

        QTemporaryDir dir;
        const QString path = dir.filePath("signed.pdf");
        ASSERT_TRUE(document->write(path));
        const QImage saved = coretest::renderWithPoppler(path, 1, 72);
        ASSERT_FALSE(saved.isNull());
        QRect ink;
        for (int y = 0; y < saved.height(); ++y)
            for (int x = 0; x < saved.width(); ++x)
                if (isDark(saved.pixelColor(x, y)))
                    ink |= QRect(x, y, 1, 1);
        // Upright: twice as wide as high, as fitted into the displayed box.
        EXPECT_NEAR(ink.width(), 300, 4);
        EXPECT_NEAR(ink.height(), 150, 4);
        // Post at the top left, nothing at the top right, foot at the bottom right.
        const auto inkAt = [&](double fx, double fy) {
            return isDark(saved.pixelColor(ink.left() + int(fx * ink.width()), ink.top() + int(fy * ink.height())));
        };
        EXPECT_TRUE(inkAt(0.05, 0.1));
        EXPECT_FALSE(inkAt(0.9, 0.1));
        EXPECT_TRUE(inkAt(0.9, 0.95));
        EXPECT_FALSE(inkAt(0.5, 0.3));
    }
}
