// Rebuilding a page in place and taking redacted words out of the rest of a document.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/PdfFixtures.h"
#include "platform/pdf/scrub/RedactionScrub.h"
#include "support/PdfBuilder.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <thread>

using namespace vmk::pdf;
namespace fixtures = vmk::test::pdf;

namespace {

DocumentPtr open(const QByteArray& data)
{
    Result<DocumentPtr> doc = Document::fromData(data);
    EXPECT_TRUE(doc.ok()) << qPrintable(doc.error());
    return doc.ok() ? *doc : Document::createEmpty();
}

// Bytes the process holds from the allocator now.
qint64 allocatedBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

constexpr int kHeavyBytes = 8 << 20;

// Two pages; the first has a line of text in a content stream of some 8 MB, stored without compression.
QByteArray heavyContentPdf()
{
    using vmk::test::ref;
    vmk::test::PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    QByteArray heavy = "BT /F1 14 Tf 20 100 Td (Heavy words here) Tj ET\n";
    heavy.reserve(kHeavyBytes + 64);
    while (heavy.size() < kHeavyBytes)
        heavy += "q 1 0 0 1 0 0 cm Q\n";
    const QByteArray resources = "/Resources << /Font << /F1 " + ref(font) + " >> >>";
    const int heavyContent = pdf.addStream({}, heavy);
    const int lightContent = pdf.addStream({}, "BT /F1 14 Tf 20 100 Td (Light words) Tj ET\n");
    const int first = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 200] " + resources
                              + " /Contents " + ref(heavyContent) + " >>");
    const int second = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 200] " + resources
                               + " /Contents " + ref(lightContent) + " >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + ref(first) + ' ' + ref(second) + "] /Count 2 >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " >>");
    return pdf.write(catalog);
}

} // namespace

TEST(PdfRebuildInPlace, WordsGoWholeIgnoringCaseAndNeverFromMarkup)
{
    const QStringList words = {QStringLiteral("Quixby"), QStringLiteral("Zeb"), QStringLiteral("a.b")};
    EXPECT_EQ(removeWords(QStringLiteral("Letter to QUIXBY, Zeb and Zebulon."), words),
              QStringLiteral("Letter to, and Zebulon."));
    EXPECT_EQ(removeWords(QStringLiteral("quixby"), words), QString());
    // Pattern characters in a word are taken literally.
    EXPECT_EQ(removeWords(QStringLiteral("a.b axb"), words), QStringLiteral("axb"));
    EXPECT_EQ(removeWords(QStringLiteral("untouched"), {}), QStringLiteral("untouched"));
    EXPECT_EQ(splitWords(QStringLiteral("Zebulon Q. Quixby, 42 \u00e9t\u00e9")),
              QStringList({QStringLiteral("Zebulon"), QStringLiteral("Quixby"), QStringLiteral("42"),
                           QStringLiteral("\u00e9t\u00e9")}));

    // Element and attribute names stay even when they are the word; text and attribute values lose it.
    const QString xml = QStringLiteral("<dc:title pdf:Title=\"Title of Quixby\"><rdf:li>Quixby title</rdf:li></dc:title>");
    EXPECT_EQ(removeWordsFromXml(xml, {QStringLiteral("title"), QStringLiteral("quixby")}),
              QStringLiteral("<dc:title pdf:Title=\" of \"><rdf:li> </rdf:li></dc:title>"));
}

TEST(PdfRebuildInPlace, ExchangingDrawingsKeepsThePageObjectAndTwiceRestoresIt)
{
    const DocumentPtr doc = open(fixtures::textPdf({QStringLiteral("First page"), QStringLiteral("Second page")}));
    const PagePtr page = doc->page(1);
    const PagePtr drawing = Page::createBlank(QRectF(0, 0, 300, 200), 270);
    ASSERT_TRUE(page->text().contains(QLatin1String("Second")));

    ASSERT_TRUE(page->exchangeDrawing(*drawing));
    EXPECT_EQ(doc->page(1), page);
    EXPECT_EQ(page->mediaBox(), QRectF(0, 0, 300, 200));
    EXPECT_EQ(page->rotation(), 270);
    EXPECT_TRUE(page->text().trimmed().isEmpty());
    EXPECT_TRUE(drawing->text().contains(QLatin1String("Second")));
    // The old drawing is no longer part of the written document.
    const Result<QByteArray> written = doc->dataRepresentation();
    ASSERT_TRUE(written.ok());
    const DocumentPtr reread = open(*written);
    ASSERT_EQ(reread->pageCount(), 2);
    EXPECT_TRUE(reread->page(1)->text().trimmed().isEmpty());
    EXPECT_TRUE(reread->page(0)->text().contains(QLatin1String("First")));

    ASSERT_TRUE(page->exchangeDrawing(*drawing));
    EXPECT_TRUE(page->text().contains(QLatin1String("Second")));
    EXPECT_EQ(page->rotation(), 0);

    // Only a page outside any document can hand its drawing over.
    EXPECT_FALSE(page->exchangeDrawing(*doc->page(0)));
}

TEST(PdfRebuildInPlace, AScrubAppliesAndUndoesAsOne)
{
    const DocumentPtr doc = open(fixtures::textPdf({QStringLiteral("Hello")}));
    doc->setAttribute(DocumentAttribute::Author, QStringLiteral("Zebulon Quixby"));
    doc->setAttribute(DocumentAttribute::Title, QStringLiteral("Notes on Quixby"));
    doc->setAttribute(DocumentAttribute::Subject, QStringLiteral("Other things"));
    OutlineItem root;
    OutlineItem entry;
    entry.label = QStringLiteral("Quixby");
    entry.destination = Destination{doc->page(0), QPointF(0, 792)};
    root.children.append(entry);
    doc->setOutline(root);

    ScrubCounts counts;
    const auto edits = prepareRedactionScrub(*doc, {QStringLiteral("quixby"), QStringLiteral("Zebulon")}, {}, {},
                                             &counts);
    EXPECT_EQ(counts.documentInformation, 2);
    EXPECT_EQ(counts.outlineTitles, 1);
    // Prepared only: nothing changed yet.
    EXPECT_EQ(doc->attribute(DocumentAttribute::Author), QStringLiteral("Zebulon Quixby"));

    edits->exchange();
    EXPECT_EQ(doc->attribute(DocumentAttribute::Author), QString()); // nothing left: the entry goes
    EXPECT_EQ(doc->attribute(DocumentAttribute::Title), QStringLiteral("Notes on"));
    EXPECT_EQ(doc->attribute(DocumentAttribute::Subject), QStringLiteral("Other things"));
    ASSERT_TRUE(doc->outline().has_value());
    EXPECT_EQ(doc->outline()->children.at(0).label, QStringLiteral("Redacted"));
    EXPECT_EQ(doc->outline()->children.at(0).destination->page, doc->page(0));

    edits->exchange();
    EXPECT_EQ(doc->attribute(DocumentAttribute::Author), QStringLiteral("Zebulon Quixby"));
    EXPECT_EQ(doc->outline()->children.at(0).label, QStringLiteral("Quixby"));
}

TEST(PdfRebuildInPlace, AHeavyPageIsCopiedRebuiltAndExchangedWithoutItsBytesMovingOnItsThread)
{
    const DocumentPtr doc = open(heavyContentPdf());
    const PagePtr page = doc->page(0);
    page->setRotation(90); // changed in memory, not saved

    // Copying notes where the content lies; a worker reads it, and what it reads is the page as it is now.
    qint64 before = allocatedBytes();
    const std::shared_ptr<const PageCapture> capture = PageCapture::take(*page, false);
    ASSERT_TRUE(capture);
    EXPECT_LT(allocatedBytes() - before, kHeavyBytes / 8);
    TextResult read;
    Result<PagePtr> rebuilt = Result<PagePtr>::failure(QString());
    InvisibleTextRun run{QStringLiteral("Layer words"), QPointF(20, 20), 12, 1, 0};
    std::thread([&] {
        read = capture->readText(RecordBudget{});
        rebuilt = capture->rebuild(RebuildBase::vector(), {run});
    }).join();
    ASSERT_EQ(read.outcome, RecordOutcome::recorded);
    EXPECT_TRUE(read.text->text().contains(QLatin1String("Heavy words here")));
    ASSERT_TRUE(rebuilt.ok()) << qPrintable(rebuilt.error());
    EXPECT_EQ((*rebuilt)->rotation(), 90);

    // The rebuilt drawing comes in with its content shared, and the page's own drawing stays where it
    // is: neither direction moves the content's bytes, and exchanging back restores the page.
    const quint64 version = page->contentVersion();
    before = allocatedBytes();
    ASSERT_TRUE(page->exchangeDrawing(**rebuilt));
    EXPECT_LT(allocatedBytes() - before, kHeavyBytes / 8);
    EXPECT_GT(page->contentVersion(), version);
    EXPECT_EQ(doc->page(0), page);
    EXPECT_TRUE(page->text().contains(QLatin1String("Heavy words here")));
    EXPECT_TRUE(page->text().contains(QLatin1String("Layer words")));
    EXPECT_FALSE((*rebuilt)->document());
    const Result<QByteArray> written = doc->dataRepresentation();
    ASSERT_TRUE(written.ok());
    const DocumentPtr reread = open(*written);
    ASSERT_EQ(reread->pageCount(), 2);
    EXPECT_TRUE(reread->page(0)->text().contains(QLatin1String("Layer words")));
    EXPECT_EQ(reread->page(0)->rotation(), 90);

    before = allocatedBytes();
    ASSERT_TRUE(page->exchangeDrawing(**rebuilt));
    EXPECT_LT(allocatedBytes() - before, kHeavyBytes / 8);
    EXPECT_FALSE(page->text().contains(QLatin1String("Layer words")));
    EXPECT_TRUE(page->text().contains(QLatin1String("Heavy words here")));
    EXPECT_TRUE((*rebuilt)->text().contains(QLatin1String("Layer words")));
    const Result<QByteArray> restored = doc->dataRepresentation();
    ASSERT_TRUE(restored.ok());
    const DocumentPtr back = open(*restored);
    ASSERT_EQ(back->pageCount(), 2);
    EXPECT_FALSE(back->page(0)->text().contains(QLatin1String("Layer words")));
    EXPECT_TRUE(back->page(1)->text().contains(QLatin1String("Light words")));
}
