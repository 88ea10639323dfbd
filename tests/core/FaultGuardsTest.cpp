// Guards against faults that leave a file looking right to a quick check: objects that should be gone,
// annotations drawn twice, stretched appearances, highlights off by a character, crop boxes beyond the
// page. Each reads what was written with a second engine where one can tell.

#include "CoreFixtures.h"
#include "RebuildFixtures.h"
#include "StructureFixtures.h"

#include "core/PDFOps.h"
#include "core/SystemAnnotations.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/TextFinder.h"

#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

QByteArray page(const QByteArray& content, const QByteArray& extra = {})
{
    return "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] " + extra
        + " /Resources << /Font << /F1 3 0 R >> >> /Contents " + content + " >>";
}

// Three pages, each with a sentence of its own.
QByteArray threeSentences()
{
    return coretest::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [4 0 R 5 0 R 6 0 R] /Count 3 >>",
         "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>", page("7 0 R"), page("8 0 R"), page("9 0 R"),
         test::pdfStream({}, "BT /F1 20 Tf 72 700 Td (Alpha sentence one) Tj ET"),
         test::pdfStream({}, "BT /F1 20 Tf 72 700 Td (Secret sentence two) Tj ET"),
         test::pdfStream({}, "BT /F1 20 Tf 72 700 Td (Gamma sentence three) Tj ET")},
        1);
}

QByteArray qdf(const QString& path)
{
    // Unreferenced objects are what a save must not write: keep them in the dump.
    return test::runCommand("qpdf", {"--qdf", "--object-streams=disable", "--preserve-unreferenced", path, "-"}).out;
}

// Each annotation's rectangle and its normal appearance's box (transformed by its matrix) as qpdf reads them.
QList<QPair<QSizeF, QSizeF>> appearanceBoxes(const QString& path)
{
    const QJsonObject root = QJsonDocument::fromJson(test::runCommand("qpdf", {"--json=2", path}).out).object();
    const QJsonObject objects = root.value("qpdf").toArray().at(1).toObject();
    auto value = [&](const QJsonValue& v) {
        if (v.isString() && v.toString().endsWith(" R"))
            return objects.value("obj:" + v.toString()).toObject().value("value");
        return v;
    };
    auto streamDict = [&](const QJsonValue& v) {
        return objects.value("obj:" + v.toString()).toObject().value("stream").toObject().value("dict").toObject();
    };
    auto size = [](const QJsonArray& r) {
        return QSizeF(std::abs(r[2].toDouble() - r[0].toDouble()), std::abs(r[3].toDouble() - r[1].toDouble()));
    };
    QList<QPair<QSizeF, QSizeF>> result;
    for (const QJsonValue& p : root.value("pages").toArray()) {
        const QJsonObject pageDict = value(p.toObject().value("object")).toObject();
        for (const QJsonValue& a : value(pageDict.value("/Annots")).toArray()) {
            const QJsonObject annot = value(a).toObject();
            const QJsonValue normal = value(annot.value("/AP")).toObject().value("/N");
            const QJsonObject form = streamDict(normal);
            QSizeF box = size(form.value("/BBox").toArray());
            const QJsonArray m = form.value("/Matrix").toArray();
            if (m.size() == 6 && std::abs(m[0].toDouble()) < 1e-6)
                box.transpose();
            result.append({size(value(annot.value("/Rect")).toArray()), box});
        }
    }
    return result;
}

} // namespace

TEST(FaultGuards, ASaveLeavesOutWhatNoPageReaches)
{
    QTemporaryDir dir;
    auto document = PDFOps::openChecked(threeSentences(), "three.pdf").value();
    ASSERT_TRUE(document->removePage(1));
    const QString path = test::writeFile(dir, "two.pdf", document->dataRepresentation().value());
    const QByteArray dump = qdf(path);
    EXPECT_TRUE(dump.contains("Alpha sentence one"));
    EXPECT_FALSE(dump.contains("Secret sentence two")) << "a deleted page's content is still in the file";
}

TEST(FaultGuards, ReRenderedPagesKeepAnnotationsOutOfTheirImage)
{
    coretest::RawPage picture;
    picture.imageSize = QSize(400, 500);
    picture.content = "q 612 0 0 792 0 0 cm /Im0 Do Q";
    auto document = coretest::open(coretest::makeRawPdf({picture}));
    auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(100, 100, 200, 200));
    square->setColor(Qt::red);
    square->setInteriorColor(QColor(Qt::red));
    document->page(0)->addAnnotation(square);
    const auto compressed = PDFOps::compress(*document, PDFOps::CompressionPreset::balanced);
    ASSERT_TRUE(compressed);
    const auto reopened = coretest::open(*compressed);
    ASSERT_EQ(reopened->page(0)->annotations().size(), 1u);
    pdf::RenderOptions bare;
    bare.withAnnotations = false;
    const QImage image = reopened->page(0)->render(0.5, bare);
    const auto red = [](const QColor& c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; };
    // Square's middle on the half-size image (y down).
    EXPECT_LT(coretest::countPixels(image, QRect(80, 276, 40, 40), red), 20) << "the annotation is baked into the page";
    EXPECT_GT(coretest::countPixels(reopened->page(0)->render(0.5), QRect(80, 276, 40, 40), red), 1000);
}

TEST(FaultGuards, ResizedAnnotationsGetAppearancesOfTheirNewSize)
{
    QTemporaryDir dir;
    auto document = PDFOps::openChecked(coretest::makePdf(1), "one.pdf").value();
    const pdf::PagePtr target = document->page(0);
    auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(72, 600, 100, 50));
    square->setColor(Qt::blue);
    square->setLineWidth(3);
    auto text = pdf::Annotation::create(QStringLiteral("FreeText"), QRectF(72, 500, 120, 30));
    text->setContents(QStringLiteral("Resized box"));
    text->setFontName(QStringLiteral("Helvetica"));
    text->setFontSize(12);
    auto mark = RedactionMarkAnnotation::create(QRectF(72, 400, 80, 40));
    auto stamp = SignatureAnnotation::create(QRectF(72, 200, 150, 50), coretest::makeSignatureArtwork());
    for (const auto& a : {square, text, mark, stamp})
        target->addAnnotation(a);
    // Written once with the first sizes, so that every annotation has an appearance to go stale.
    test::writeFile(dir, "before.pdf", document->dataRepresentation().value());
    square->setBounds(QRectF(72, 600, 300, 120));
    text->setBounds(QRectF(72, 500, 300, 60));
    mark->setBounds(QRectF(72, 400, 250, 90));
    stamp->setBounds(QRectF(72, 200, 300, 150));
    const QString path = test::writeFile(dir, "after.pdf", document->dataRepresentation().value());
    const auto boxes = appearanceBoxes(path);
    ASSERT_EQ(boxes.size(), 4);
    for (const auto& [rect, box] : boxes) {
        EXPECT_NEAR(box.width(), rect.width(), 1.0) << rect.width() << "×" << rect.height();
        EXPECT_NEAR(box.height(), rect.height(), 1.0) << rect.width() << "×" << rect.height();
    }
}

TEST(FaultGuards, SearchHighlightsTheRightCharactersAfterLettersBeyondTheBasicPlane)
{
    // "A" is read as U+1D400 (mathematical bold A), which takes two UTF-16 units.
    const QByteArray cmap = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CMapName /Bold def "
                            "1 begincodespacerange <00> <FF> endcodespacerange "
                            "1 beginbfchar <41> <D835DC00> endbfchar "
                            "1 beginbfrange <20> <40> <0020> endbfrange "
                            "1 beginbfrange <42> <7E> <0042> endbfrange "
                            "endcmap CMapName currentdict /CMap defineresource pop end end";
    const QByteArray bytes = coretest::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [4 0 R] /Count 1 >>",
         "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /ToUnicode 6 0 R >>", page("5 0 R"),
         test::pdfStream({}, "BT /F1 20 Tf 72 700 Td (AAA needle) Tj ET"), test::pdfStream({}, cmap)},
        1);
    auto document = PDFOps::openChecked(bytes, "plane.pdf").value();
    const pdf::PagePtr p = document->page(0);
    ASSERT_TRUE(p->text().contains(QString::fromUcs4(U"\U0001D400")));
    // Where "needle" is drawn, from the characters themselves.
    QRectF expected;
    bool inWord = false;
    const pdf::TextLayout& layout = p->textLayout();
    for (int i = 0; i < layout.size(); ++i) {
        inWord = inWord || layout.characterText(i) == QLatin1String("n");
        if (inWord)
            expected |= layout.bounds(i);
    }
    ASSERT_FALSE(expected.isEmpty());

    pdf::TextFinder finder;
    QSignalSpy found(&finder, &pdf::TextFinder::matchesFound);
    QSignalSpy done(&finder, &pdf::TextFinder::finished);
    finder.start(document, QStringLiteral("needle"));
    ASSERT_TRUE(done.wait(5000) || done.count() > 0);
    ASSERT_EQ(found.count(), 1);
    const auto matches = found.at(0).at(0).value<QList<pdf::Selection>>();
    ASSERT_EQ(matches.size(), 1);
    const QRectF highlighted = matches[0].bounds(p);
    EXPECT_NEAR(highlighted.left(), expected.left(), 1.0);
    EXPECT_NEAR(highlighted.right(), expected.right(), 1.0);
}

TEST(FaultGuards, ACropBoxBeyondTheMediaBoxIsReadClipped)
{
    const QByteArray bytes = coretest::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [4 0 R] /Count 1 >>",
         "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
         page("5 0 R", "/CropBox [-100 -50 800 1000]"),
         test::pdfStream({}, "BT /F1 20 Tf 72 700 Td (Inside) Tj ET")},
        1);
    auto document = PDFOps::openChecked(bytes, "crop.pdf").value();
    const pdf::PagePtr p = document->page(0);
    EXPECT_EQ(p->cropBox(), QRectF(0, 0, 612, 792));
    EXPECT_EQ(p->displaySize(), QSizeF(612, 792));
    EXPECT_EQ(p->render(1.0).size(), QSize(612, 792));
}
