// What a redaction takes out of the rest of a document, judged in the written file's own bytes: every
// outline entry (siblings and children, not just the first), short words as well as long ones, and the
// information dictionary and XMP alike. And a rebuilt page tree keeps what its middle nodes passed down.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/scrub/RedactionScrub.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vmk::pdf;
using vmk::test::ref;

namespace {

// One page, an information dictionary and an XMP packet naming "Qi Zanzibar", and an outline of three
// siblings whose middle one has a child; every title holds one of the secret words.
QByteArray secretsEverywhere()
{
    vmk::test::PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int outlines = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const int content = pdf.addStream({}, "BT /F1 14 Tf 20 100 Td (Visible words) Tj ET");
    const int page = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 200] /Resources << /Font << /F1 "
                             + ref(font) + " >> >> /Contents " + ref(content) + " >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + ref(page) + "] /Count 1 >>");
    const QByteArray dest = " /Dest [" + ref(page) + " /Fit]";
    const int first = pdf.reserve(), second = pdf.reserve(), third = pdf.reserve(), child = pdf.reserve();
    const QByteArray parent = " /Parent " + ref(outlines);
    pdf.set(first, "<< /Title (Chapter Zanzibar)" + parent + " /Next " + ref(second) + dest + " >>");
    pdf.set(second, "<< /Title (About Qi)" + parent + " /Prev " + ref(first) + " /Next " + ref(third) + " /First "
                        + ref(child) + " /Last " + ref(child) + " /Count 1" + dest + " >>");
    pdf.set(child, "<< /Title (Ox and Qi) /Parent " + ref(second) + dest + " >>");
    pdf.set(third, "<< /Title (Zanzibar again)" + parent + " /Prev " + ref(second) + dest + " >>");
    pdf.set(outlines, "<< /Type /Outlines /First " + ref(first) + " /Last " + ref(third) + " /Count 4 >>");
    const int metadata = pdf.addStream(
        "/Type /Metadata /Subtype /XML",
        "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Qi Zanzibar "
        "report</rdf:li></rdf:Alt></dc:title></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>");
    const int info = pdf.add("<< /Title (Qi Zanzibar report) /Author (Ox) >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " /Outlines " + ref(outlines) + " /Metadata "
                         + ref(metadata) + " >>");
    return pdf.write(catalog, "/Info " + ref(info));
}

// The written file, every stream decoded, unreferenced objects kept: what anyone can read out of it.
QByteArray everyByteOf(const QByteArray& written)
{
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, "written.pdf", written);
    return vmk::test::runCommand("qpdf", {"--qdf", "--object-streams=disable", "--preserve-unreferenced", path, "-"})
        .out;
}

} // namespace

TEST(ScrubbedFileGuards, EveryOutlineEntryAndShortWordLeavesTheWrittenFile)
{
    if (!vmk::test::commandExists("qpdf"))
        GTEST_SKIP() << "qpdf is not installed";
    const DocumentPtr doc = *Document::fromData(secretsEverywhere());
    ScrubCounts counts;
    const auto edits =
        prepareRedactionScrub(*doc, {QStringLiteral("Zanzibar"), QStringLiteral("Qi"), QStringLiteral("Ox")}, {}, {},
                              &counts);
    EXPECT_EQ(counts.outlineTitles, 4);
    edits->exchange();
    const QByteArray bytes = everyByteOf(doc->dataRepresentation().value());
    ASSERT_TRUE(bytes.contains("Visible words"));
    ASSERT_TRUE(bytes.contains("report")) << "the scrub removed more than the words";
    for (const char* word : {"Zanzibar", "Qi ", "(Qi", "Qi)", "Ox"})
        EXPECT_FALSE(bytes.contains(word)) << word << " is still in the written file";

    // The outline keeps its four entries, in order, with their places.
    const auto outline = doc->outline();
    ASSERT_TRUE(outline.has_value());
    ASSERT_EQ(outline->children.size(), 3);
    EXPECT_EQ(outline->children.at(0).label, QStringLiteral("Chapter"));
    EXPECT_EQ(outline->children.at(1).label, QStringLiteral("About"));
    ASSERT_EQ(outline->children.at(1).children.size(), 1);
    EXPECT_EQ(outline->children.at(1).children.at(0).label, QStringLiteral("and"));
    EXPECT_EQ(outline->children.at(2).label, QStringLiteral("again"));
}

TEST(ScrubbedFileGuards, ARebuiltPageTreeKeepsWhatAMiddleNodePassedDown)
{
    // The root lies about its count and lists a kid that is not there; the middle node turns its pages and
    // gives them their media box.
    vmk::test::PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int root = pdf.reserve();
    const int middle = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    QByteArray kids;
    for (const char* text : {"First turned", "Second turned"}) {
        const int content = pdf.addStream({}, QByteArray("BT /F1 14 Tf 20 100 Td (") + text + ") Tj ET");
        kids += ref(pdf.add("<< /Type /Page /Parent " + ref(middle) + " /Resources << /Font << /F1 " + ref(font)
                            + " >> >> /Contents " + ref(content) + " >>"))
            + ' ';
    }
    pdf.set(middle, "<< /Type /Pages /Parent " + ref(root) + " /Kids [" + kids
                        + "] /Count 2 /Rotate 90 /MediaBox [0 0 300 200] >>");
    pdf.set(root, "<< /Type /Pages /Kids [" + ref(middle) + " 99 0 R] /Count 40 >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(root) + " >>");

    const DocumentPtr doc = *Document::fromData(pdf.write(catalog));
    ASSERT_EQ(doc->pageCount(), 2);
    const DocumentPtr reread = *Document::fromData(doc->dataRepresentation().value());
    ASSERT_EQ(reread->pageCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(reread->page(i)->rotation(), 90) << "page " << i;
        EXPECT_EQ(reread->page(i)->mediaBox(), QRectF(0, 0, 300, 200)) << "page " << i;
    }
    EXPECT_TRUE(reread->page(1)->text().contains(QStringLiteral("Second turned")));
}
