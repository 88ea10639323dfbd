// Damaged files saved through the document: the copy holds the pages the user saw, each drawing what it
// drew, or the save is refused and the original left alone. Checked with a second engine.

#include "CoreFixtures.h"
#include "RebuildFixtures.h"

#include "core/PDFOps.h"
#include "core/VMKDocument.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"

#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using platform::SaveOperation;

namespace {

QByteArray pageText(int n) { return "BT /F1 24 Tf 72 700 Td (Page " + QByteArray::number(n) + " Test) Tj ET"; }

// Catalog 1 (its /Pages as given), the page tree 2 with pages 3-5, their contents 6-8 (the first one's
// stream as given) and the font 9.
QByteArray threePages(const QByteArray& pagesEntry, const QByteArray& firstContent = {})
{
    QList<QByteArray> objects{"<< /Type /Catalog /Pages " + pagesEntry + " >>",
                              "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>"};
    for (int i = 0; i < 3; ++i)
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " + test::ref(6 + i)
                       + " /Resources << /Font << /F1 9 0 R >> >> >>");
    objects.append(firstContent.isEmpty() ? test::pdfStream({}, pageText(1)) : firstContent);
    for (int i = 1; i < 3; ++i)
        objects.append(test::pdfStream({}, pageText(i + 1)));
    objects.append("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    return test::assemblePdf(objects);
}

// A stream whose /Length says `delta` bytes more (or fewer) than its data holds.
QByteArray lyingStream(const QByteArray& entries, const QByteArray& data, int delta)
{
    return "<< " + entries + " /Length " + QByteArray::number(data.size() + delta) + " >>\nstream\n" + data
         + "\nendstream";
}

QString pdftotext(const QString& path)
{
    return QString::fromUtf8(test::runCommand("pdftotext", {"-layout", path, "-"}).out);
}

// Opens the file, adds a square to its second page, saves it in place: the save succeeds, qpdf passes the
// copy, and it holds the three pages with their words (read by poppler as well when `popplerReadsThem`) and
// the square.
void expectSavedWhole(const QByteArray& bytes, bool popplerReadsThem = true)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, "damaged.pdf", bytes);
    VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    ASSERT_EQ(document.pdf()->pageCount(), 3);
    document.pdf()->page(1)->addAnnotation(pdf::Annotation::create("Square", QRectF(100, 100, 80, 40)));
    const auto error = document.save(SaveOperation::Save);
    ASSERT_FALSE(error.has_value()) << qPrintable(error->message);
    EXPECT_TRUE(coretest::qpdfAccepts(path));
    const QString text = pdftotext(path);
    const auto reopened = pdf::Document::fromFile(path);
    ASSERT_TRUE(reopened.ok());
    ASSERT_EQ(reopened.value()->pageCount(), 3);
    EXPECT_EQ(reopened.value()->page(1)->annotations().size(), 1u);
    for (int n = 1; n <= 3; ++n) {
        const QString words = QStringLiteral("Page %1 Test").arg(n);
        EXPECT_TRUE(reopened.value()->page(n - 1)->text().contains(words));
        EXPECT_TRUE(!popplerReadsThem || text.contains(words)) << qPrintable(text);
    }
}

} // namespace

TEST(DamagedFiles, APagesEntryNamingNoPagesShowsAndSavesThePagesTheFileHolds)
{
    // The catalog itself, the font, a content stream, an object that is not there, nothing.
    for (const QByteArray entry : {"1 0 R", "9 0 R", "7 0 R", "99 0 R", "null"}) {
        SCOPED_TRACE(entry.constData());
        expectSavedWhole(threePages(entry));
    }
}

// A length too long takes in what follows the data up to the next `endstream`: the engine draws the page
// with it, and so the copy holds it (poppler reads the words among it differently).
TEST(DamagedFiles, StreamLengthsThatLieSaveThePageAsShown)
{
    const QByteArray compressed = qCompress(pageText(1)).mid(4); // a zlib stream
    for (const int delta : {-8, 30}) {
        for (const bool flate : {false, true}) {
            SCOPED_TRACE(delta);
            SCOPED_TRACE(flate);
            expectSavedWhole(threePages("2 0 R", flate ? lyingStream("/Filter /FlateDecode", compressed, delta)
                                                       : lyingStream({}, pageText(1), delta)),
                             flate || delta < 0);
        }
    }
}

TEST(DamagedFiles, ACopyWhosePageDrawsSomethingElseIsRefused)
{
    QTemporaryDir dir;
    const auto document = coretest::open(threePages("2 0 R"));
    const std::vector<PDFOps::PageFacts> facts = PDFOps::pageFacts(*document);
    const QString same = dir.filePath("same.pdf");
    ASSERT_TRUE(document->write(same).ok());
    EXPECT_TRUE(PDFOps::verifySavedFile(same, facts, std::nullopt));
    // The second page's text written as an empty stream, then as null: the page count still agrees.
    for (const QByteArray content : {test::pdfStream({}, {}), QByteArray("null")}) {
        QByteArray bytes = threePages("2 0 R");
        const qsizetype at = bytes.indexOf("\n7 0 obj\n") + 9;
        bytes.replace(at, bytes.indexOf("\nendobj", at) - at, content);
        EXPECT_FALSE(PDFOps::verifySavedFile(test::writeFile(dir, "other.pdf", bytes), facts, std::nullopt));
    }
}

TEST(DamagedFiles, FilesWhosePagesTheEngineDrawsOpen)
{
    const QByteArray font = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    const QByteArray direct = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 3 0 R "
                              "/Resources << /Font << /F1 4 0 R >> >> >>";
    // Pages written straight into the page list, as other readers accept them.
    const auto directPages = PDFOps::openChecked(
        test::assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                           "<< /Type /Pages /Kids [" + direct + " " + direct + "] /Count 2 >>",
                           test::pdfStream({}, pageText(1)), font}),
        "direct.pdf");
    ASSERT_TRUE(directPages.ok());
    ASSERT_EQ(directPages.value()->pageCount(), 2);
    EXPECT_TRUE(directPages.value()->page(1)->text().contains("Page 1 Test"));

    // Every page object unreadable: the engine draws them empty, and so do we.
    const auto unreadable = PDFOps::openChecked(
        test::assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
                           "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >M /Contents 5 0 R >>",
                           "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >M /Contents 5 0 R >>",
                           test::pdfStream({}, pageText(1))}),
        "unreadable.pdf");
    ASSERT_TRUE(unreadable.ok());
    EXPECT_EQ(unreadable.value()->pageCount(), 2);
    QTemporaryDir dir;
    const QString path = dir.filePath("saved.pdf");
    ASSERT_TRUE(unreadable.value()->write(path).ok());
    EXPECT_TRUE(coretest::qpdfAccepts(path));
}
