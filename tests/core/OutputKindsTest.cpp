// Every kind of file the application writes, made from one file with real structure and judged by a
// second engine: qpdf checks and reads it, poppler reports the form, resolves every outline entry, link and
// named destination to its page, reads the flattened text and the page boxes.

#include "CoreFixtures.h"
#include "StructureFixtures.h"

#include "core/PDFOps.h"
#include "core/VMKDocument.h"
#include "platform/pdf/structure/OutlineSplice.h"

#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using coretest::StructureReport;

namespace {

using Links = QList<QPair<int, int>>;
using Entries = QList<QPair<QString, int>>;
using Names = QMap<QString, int>;

// Four pages as office suites and scanners leave them:
// 1 text with the "name" field (Alice) and two links: to "scan" by name and to page 2 explicitly;
// 2 text turned a quarter and cropped, with the first widget of "city" (Bob);
// 3 a scan (a page-filling picture, no text) with a link back to page 1;
// 4 text with the second widget of "city".
// The form asks readers to draw its fields (/NeedAppearances, empty appearances). Named destinations "scan"
// (page 3) and "end" (page 4); an outline "Front" → 1 (with "Sideways" → 2 below), "Scan" → "scan",
// "End" → page 4 by action; an open action to page 1; information and an XMP packet.
QByteArray realStructure()
{
    static const QByteArray bytes = [] {
        test::PdfBuilder b;
        const int catalog = b.reserve(), pages = b.reserve();
        const int p1 = b.reserve(), p2 = b.reserve(), p3 = b.reserve(), p4 = b.reserve();
        const int font = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
        const int empty = b.addStream("/Type /XObject /Subtype /Form /BBox [0 0 228 30]", "");
        // A smooth grey scan with dark bars for lines, stored raw as some scanners do.
        QByteArray pixels(400 * 400 * 3, '\0');
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x)
                for (int k = 0; k < 3; ++k)
                    pixels[(y * 400 + x) * 3 + k] = char((y / 20) % 3 == 0 && x > 40 && x < 360 ? 40 : 200 + (x + y) % 40);
        const int scan = b.addStream("/Type /XObject /Subtype /Image /Width 400 /Height 400 /ColorSpace /DeviceRGB "
                                     "/BitsPerComponent 8",
                                     pixels);
        auto text = [&](const QByteArray& words) {
            return b.addStream("", "BT /F1 24 Tf 72 720 Td (" + words + ") Tj ET");
        };
        const QByteArray fontRes = "/Resources << /Font << /F1 " + test::ref(font) + " >> >>";
        const int name = b.add("<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Alice) /Rect [72 600 300 630] /P "
                               + test::ref(p1) + " /F 4 /AP << /N " + test::ref(empty) + " >> >>");
        const int city = b.reserve();
        const int city2 = b.add("<< /Type /Annot /Subtype /Widget /Parent " + test::ref(city)
                                + " /Rect [100 400 328 430] /P " + test::ref(p2) + " /F 4 /AP << /N " + test::ref(empty) + " >> >>");
        const int city4 = b.add("<< /Type /Annot /Subtype /Widget /Parent " + test::ref(city)
                                + " /Rect [72 500 300 530] /P " + test::ref(p4) + " /F 4 /AP << /N " + test::ref(empty) + " >> >>");
        b.set(city, "<< /FT /Tx /T (city) /V (Bob) /Kids [" + test::ref(city2) + ' ' + test::ref(city4) + "] >>");
        const QByteArray link = "/Type /Annot /Subtype /Link /Border [0 0 0] ";
        const int toScan = b.add("<< " + link + "/Rect [72 700 250 740] /Dest (scan) >>");
        const int toTwo = b.add("<< " + link + "/Rect [72 650 250 690] /A << /S /GoTo /D [" + test::ref(p2) + " /Fit] >> >>");
        const int toOne = b.add("<< " + link + "/Rect [72 72 250 120] /Dest [" + test::ref(p1) + " /XYZ 0 792 0] >>");
        const QByteArray page = "/Type /Page /Parent " + test::ref(pages) + " /MediaBox [0 0 612 792] ";
        b.set(p1, "<< " + page + "/Contents " + test::ref(text("Page one")) + ' ' + fontRes + " /Annots ["
                      + test::ref(name) + ' ' + test::ref(toScan) + ' ' + test::ref(toTwo) + "] >>");
        b.set(p2, "<< " + page + "/Rotate 90 /CropBox [36 36 576 756] /Contents " + test::ref(text("Page two")) + ' '
                      + fontRes + " /Annots [" + test::ref(city2) + "] >>");
        b.set(p3, "<< " + page + "/Contents " + test::ref(b.addStream("", "q 612 0 0 792 0 0 cm /Scan Do Q"))
                      + " /Resources << /XObject << /Scan " + test::ref(scan) + " >> >> /Annots [" + test::ref(toOne) + "] >>");
        b.set(p4, "<< " + page + "/Contents " + test::ref(text("Page four")) + ' ' + fontRes + " /Annots ["
                      + test::ref(city4) + "] >>");
        b.set(pages, "<< /Type /Pages /Kids [" + test::ref(p1) + ' ' + test::ref(p2) + ' ' + test::ref(p3) + ' '
                         + test::ref(p4) + "] /Count 4 >>");
        const int outlines = b.reserve(), front = b.reserve(), sideways = b.reserve(), scanEntry = b.reserve(),
                  end = b.reserve();
        b.set(outlines, "<< /Type /Outlines /First " + test::ref(front) + " /Last " + test::ref(end) + " /Count 4 >>");
        b.set(front, "<< /Title (Front) /Parent " + test::ref(outlines) + " /Next " + test::ref(scanEntry) + " /First "
                         + test::ref(sideways) + " /Last " + test::ref(sideways) + " /Count 1 /Dest [" + test::ref(p1)
                         + " /XYZ 0 792 0] >>");
        b.set(sideways, "<< /Title (Sideways) /Parent " + test::ref(front) + " /Dest [" + test::ref(p2) + " /Fit] >>");
        b.set(scanEntry, "<< /Title (Scan) /Parent " + test::ref(outlines) + " /Prev " + test::ref(front) + " /Next "
                             + test::ref(end) + " /Dest (scan) >>");
        b.set(end, "<< /Title (End) /Parent " + test::ref(outlines) + " /Prev " + test::ref(scanEntry) + " /A << /S /GoTo /D ["
                       + test::ref(p4) + " /Fit] >> >>");
        const int names = b.add("<< /Names [(end) [" + test::ref(p4) + " /XYZ 0 792 0] (scan) [" + test::ref(p3) + " /Fit]] >>");
        const int helv = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
        const int xmp = b.addStream("/Type /Metadata /Subtype /XML",
                                    "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
                                    "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
                                    "rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title><rdf:Alt>"
                                    "<rdf:li xml:lang=\"x-default\">Real structure</rdf:li></rdf:Alt></dc:title>"
                                    "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>");
        const int info = b.add("<< /Title (Real structure) /Author (Tester) /CreationDate (D:20200102030405Z) >>");
        b.set(catalog, "<< /Type /Catalog /Pages " + test::ref(pages) + " /Outlines " + test::ref(outlines)
                           + " /Names << /Dests " + test::ref(names) + " >> /OpenAction [" + test::ref(p1)
                           + " /Fit] /Metadata " + test::ref(xmp) + " /AcroForm << /Fields [" + test::ref(name) + ' '
                           + test::ref(city) + "] /NeedAppearances true /DA (/Helv 12 Tf 0 g) /DR << /Font << /Helv "
                           + test::ref(helv) + " >> >> >> >>");
        return b.write(catalog, "/Info " + test::ref(info));
    }();
    return bytes;
}

const Links kLinks{{1, 3}, {1, 2}, {3, 1}};
const Names kNames{{"end", 4}, {"scan", 3}};
const Entries kOutline{{"Front", 1}, {"Sideways", 2}, {"Scan", 3}, {"End", 4}};
const QMap<QString, QString> kValues{{"name", "Alice"}, {"city", "Bob"}};

// Page boxes as poppler reads them: rotation and crop box size, 1-based pages.
struct Box {
    int rotation = 0;
    QSizeF crop;
    bool operator==(const Box&) const = default;
};
QMap<int, Box> boxes(const QString& path, const QStringList& extra = {})
{
    const QString out = QString::fromUtf8(
        test::runCommand("pdfinfo", QStringList{"-f", "1", "-l", "99", "-box"} + extra + QStringList{path}).out);
    QMap<int, Box> result;
    static const QRegularExpression rot(QStringLiteral("^Page\\s+(\\d+) rot:\\s+(\\d+)"));
    static const QRegularExpression crop(
        QStringLiteral("^Page\\s+(\\d+) CropBox:\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)"));
    for (const QString& line : out.split('\n')) {
        if (const auto m = rot.match(line); m.hasMatch())
            result[m.captured(1).toInt()].rotation = m.captured(2).toInt();
        if (const auto m = crop.match(line); m.hasMatch())
            result[m.captured(1).toInt()].crop = QSizeF(m.captured(4).toDouble() - m.captured(2).toDouble(),
                                                        m.captured(5).toDouble() - m.captured(3).toDouble());
    }
    return result;
}

const Box kLetter{0, {612, 792}};
const Box kTurned{90, {540, 720}};

bool hasXmp(const QString& path)
{
    return test::runCommand("pdfinfo", {"-meta", path}).out.contains("Real structure");
}

// What every written copy of the whole file must show.
void expectWhole(const QString& path, const QString& what)
{
    SCOPED_TRACE(what.toStdString());
    const StructureReport r = coretest::readStructure(path);
    EXPECT_TRUE(r.checked);
    EXPECT_TRUE(r.json);
    EXPECT_EQ(r.pages, 4);
    EXPECT_EQ(r.formLine, "AcroForm");
    EXPECT_EQ(r.fieldValues, kValues);
    EXPECT_EQ(r.fieldPages, (QMap<QString, int>{{"name", 1}, {"city", 2}}));
    EXPECT_EQ(r.links, kLinks);
    EXPECT_EQ(r.namedDestinations, kNames);
    EXPECT_EQ(r.outline, kOutline);
    EXPECT_EQ(r.title, "Real structure");
    EXPECT_EQ(boxes(path), (QMap<int, Box>{{1, kLetter}, {2, kTurned}, {3, kLetter}, {4, kLetter}}));
}

pdf::DocumentPtr open(const QByteArray& bytes = realStructure())
{
    return PDFOps::openChecked(bytes, "real.pdf").value();
}

QString write(const QTemporaryDir& dir, const QString& name, const pdf::Document& document)
{
    return test::writeFile(dir, name, document.dataRepresentation().value());
}

} // namespace

TEST(OutputKinds, SavedCopiesKeepEverything)
{
    QTemporaryDir dir;
    const QString original = test::writeFile(dir, "real.pdf", realStructure());
    expectWhole(original, "the fixture as written");

    VMKDocument document;
    ASSERT_FALSE(document.openFile(original).has_value());
    const QString copy = dir.filePath("save as.pdf");
    ASSERT_FALSE(document.saveToPath(copy, platform::SaveOperation::SaveAs).has_value());
    expectWhole(copy, "Save As");
    EXPECT_TRUE(hasXmp(copy));
    // The values are drawn into the fields now, for readers that would not draw them.
    const QByteArray dump = test::runCommand("qpdf", {"--qdf", "--object-streams=disable", copy, "-"}).out;
    EXPECT_TRUE(dump.contains("(Alice) Tj"));

    const QString locked = coretest::encryptWithQpdf(dir, "locked.pdf", realStructure(), "pw");
    VMKDocument protectedDocument;
    ASSERT_FALSE(protectedDocument.openFile(locked).has_value());
    ASSERT_TRUE(protectedDocument.pdf()->unlock("pw"));
    protectedDocument.setUnlockPassword(QString("pw"));
    protectedDocument.setRemovesEncryption(true);
    ASSERT_FALSE(protectedDocument.save().has_value());
    expectWhole(locked, "decrypted copy");
    const QString info = QString::fromUtf8(test::runCommand("pdfinfo", {locked}).out);
    EXPECT_FALSE(info.contains("CreationDate")) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Encrypted:\\s+no"))) << info.toStdString();
}

TEST(OutputKinds, PageSetOperationsCarryWhatBelongsToTheirPages)
{
    QTemporaryDir dir;
    const QString original = test::writeFile(dir, "real.pdf", realStructure());

    auto combined = PDFOps::combine({original, original});
    ASSERT_TRUE(combined.ok());
    const QString both = write(dir, "combined.pdf", *combined.value());
    const StructureReport c = coretest::readStructure(both);
    EXPECT_TRUE(c.checked && c.json);
    EXPECT_EQ(c.formLine, "AcroForm");
    EXPECT_EQ(c.fieldValues, (QMap<QString, QString>{{"name", "Alice"}, {"city", "Bob"}, {"name_2", "Alice"},
                                                      {"city_2", "Bob"}}));
    EXPECT_EQ(c.links, (Links{{1, 3}, {1, 2}, {3, 1}, {5, 7}, {5, 6}, {7, 5}}));
    EXPECT_EQ(c.namedDestinations, (Names{{"end", 4}, {"scan", 3}, {"end-2", 8}, {"scan-2", 7}}));
    EXPECT_EQ(c.outline, kOutline + Entries({{"Front", 5}, {"Sideways", 6}, {"Scan", 7}, {"End", 8}}));
    EXPECT_EQ(c.title, "Real structure");
    EXPECT_EQ(boxes(both).value(6), kTurned);

    // Pages 1 and 2: what leads to pages 3 and 4 stays behind.
    const QString part = write(dir, "extracted.pdf", *PDFOps::extractPages({0, 1}, *open()));
    const StructureReport e = coretest::readStructure(part);
    EXPECT_TRUE(e.checked && e.json);
    EXPECT_EQ(e.formLine, "AcroForm");
    EXPECT_EQ(e.fieldValues, kValues);
    EXPECT_EQ(e.fieldPages, (QMap<QString, int>{{"name", 1}, {"city", 2}}));
    EXPECT_EQ(e.links, (Links{{1, 2}}));
    EXPECT_TRUE(e.namedDestinations.isEmpty());
    EXPECT_EQ(e.outline, (Entries{{"Front", 1}, {"Sideways", 2}}));
    EXPECT_EQ(e.title, "Real structure");
    EXPECT_EQ(boxes(part), (QMap<int, Box>{{1, kLetter}, {2, kTurned}}));

    // Into a one-page document after its page, with the outline joining in.
    auto target = open(coretest::makePdf(1));
    QList<pdf::OutlineItem> outline;
    ASSERT_EQ(PDFOps::insertPages(*target, *open(), 1, &outline).size(), 4u);
    ASSERT_TRUE(pdf::OutlineSplice::insert(*target, outline, PDFOps::outlineInsertionPoint(*target, 1)));
    const QString inserted = write(dir, "inserted.pdf", *target);
    const StructureReport i = coretest::readStructure(inserted);
    EXPECT_TRUE(i.checked && i.json);
    EXPECT_EQ(i.formLine, "AcroForm");
    EXPECT_EQ(i.fieldValues, kValues);
    EXPECT_EQ(i.fieldPages, (QMap<QString, int>{{"name", 2}, {"city", 3}}));
    EXPECT_EQ(i.links, (Links{{2, 4}, {2, 3}, {4, 2}}));
    EXPECT_EQ(i.namedDestinations, (Names{{"end", 5}, {"scan", 4}}));
    EXPECT_EQ(i.outline, (Entries{{"Front", 2}, {"Sideways", 3}, {"Scan", 4}, {"End", 5}}));
    EXPECT_EQ(boxes(inserted).value(3), kTurned);
}

TEST(OutputKinds, FlattenedCopiesAndPageImagesShowTheFieldValues)
{
    QTemporaryDir dir;
    auto document = open();
    auto flat = PDFOps::flatten(*document);
    ASSERT_TRUE(flat);
    const QString path = write(dir, "flattened.pdf", *flat);
    const StructureReport r = coretest::readStructure(path);
    EXPECT_TRUE(r.checked && r.json);
    EXPECT_EQ(r.pages, 4);
    EXPECT_EQ(r.title, "Real structure");
    // The form became page content: poppler reads the values as text, on their pages.
    EXPECT_EQ(r.formLine, "none");
    auto pageText = [&](int page) {
        return QString::fromUtf8(
            test::runCommand("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), path, "-"}).out);
    };
    EXPECT_TRUE(pageText(1).contains("Alice")) << pageText(1).toStdString();
    EXPECT_TRUE(pageText(2).contains("Bob")) << pageText(2).toStdString();
    EXPECT_TRUE(pageText(4).contains("Bob")) << pageText(4).toStdString();
    EXPECT_TRUE(pageText(2).contains("Page two"));
    // Upright at the size the turned page is shown.
    EXPECT_EQ(boxes(path).value(2), (Box{0, {720, 540}}));

    // Page images (as the image export composes them) show the value too.
    const std::optional<PDFOps::PageSnapshot> snapshot = PDFOps::snapshot(*document->page(0));
    ASSERT_TRUE(snapshot);
    const QImage image = PDFOps::drawAnnotations(*document->page(0), snapshot->render(1.0));
    const auto dark = [](const QColor& c) { return c.lightness() < 128; };
    EXPECT_GT(coretest::countPixels(image, QRect(74, 164, 224, 26), dark), 20);
    EXPECT_TRUE(PDFOps::plainText(*document).contains("Page four"));
}

TEST(OutputKinds, CompressedCopiesKeepEverythingAndLeadToTheRebuiltScan)
{
    QTemporaryDir dir;
    const QByteArray source = realStructure();
    for (PDFOps::CompressionPreset preset : PDFOps::allCompressionPresets()) {
        const QByteArray compressed = PDFOps::compress(source, preset);
        EXPECT_LE(compressed.size(), source.size());
        const QString path = test::writeFile(dir, "compressed.pdf", compressed);
        expectWhole(path, "compressed");
        EXPECT_TRUE(hasXmp(path));
        // The scan was drawn again as one picture of the page (its proportions, not the scan's), in
        // place: the outline entry, the named destination and the link that led to it still do.
        const QString images = QString::fromUtf8(test::runCommand("pdfimages", {"-list", path}).out);
        static const QRegularExpression pageThree(QStringLiteral("^\\s*3\\s+\\d+\\s+image\\s+(\\d+)\\s+(\\d+)"),
                                                  QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = pageThree.match(images);
        ASSERT_TRUE(m.hasMatch()) << images.toStdString();
        EXPECT_NEAR(m.captured(1).toDouble() / m.captured(2).toDouble(), 612.0 / 792.0, 0.01) << images.toStdString();
    }

    // A protected copy is worked on with its password and stays protected, structure and all.
    const QString locked = coretest::encryptWithQpdf(dir, "locked.pdf", source, "pw");
    const QByteArray lockedBytes = test::readFile(locked);
    const QByteArray compressed = PDFOps::compress(lockedBytes, PDFOps::CompressionPreset::balanced, QString("pw"));
    EXPECT_LE(compressed.size(), lockedBytes.size());
    const QString path = test::writeFile(dir, "locked-compressed.pdf", compressed);
    EXPECT_TRUE(coretest::qpdfAccepts(path, "pw"));
    EXPECT_FALSE(coretest::qpdfAccepts(path));
    EXPECT_EQ(test::runCommand("qpdf", {"--password=pw", "--decrypt", path, dir.filePath("open.pdf")}).exitCode, 0);
    expectWhole(dir.filePath("open.pdf"), "compressed with protection");
}
