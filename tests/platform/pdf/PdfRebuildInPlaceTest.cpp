// Rebuilding a page in place and taking redacted words out of the rest of a document.

#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"
#include "platform/pdf/PdfFixtures.h"
#include "platform/pdf/RedactionScrub.h"

#include <gtest/gtest.h>

using namespace vmk::pdf;
namespace fixtures = vmk::test::pdf;

namespace {

DocumentPtr open(const QByteArray& data)
{
    Result<DocumentPtr> doc = Document::fromData(data);
    EXPECT_TRUE(doc.ok()) << qPrintable(doc.error());
    return doc.ok() ? *doc : Document::createEmpty();
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
    const auto edits = prepareRedactionScrub(*doc, {QStringLiteral("quixby"), QStringLiteral("Zebulon")}, {}, &counts);
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
