// Pages drawn from the bytes a document was opened from, as while the document is being written: a page
// draws from them exactly as the document draws it, and a page an edit reaches is never drawn from them.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/LastGoodCopy.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"

#include "support/PdfBuilder.h"
#include "support/Wait.h"

#include <QImage>
#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace vmk::pdf;
using vmk::test::PdfBuilder;
using vmk::test::ref;

namespace {

// Three pages sharing one font, each with its number and a square; the second carries a note drawn
// from its appearance. /Length is indirect on every content stream, as a save puts it in place.
QByteArray threePages()
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve(), tree = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const int look = pdf.addStream("/Type /XObject /Subtype /Form /BBox [0 0 40 40]", "1 0 0 rg 0 0 40 40 re f");
    const int note = pdf.add("<< /Type /Annot /Subtype /Square /Rect [20 20 60 60] /AP << /N " + ref(look) + " >> >>");
    QByteArray kids;
    for (int i = 0; i < 3; ++i) {
        const QByteArray text = "BT /F1 20 Tf 30 150 Td (Page " + QByteArray::number(i + 1) + ") Tj ET 0 0 1 rg "
            + QByteArray::number(30 + 40 * i) + " 80 30 30 re f";
        const int length = pdf.add(QByteArray::number(text.size()));
        const int content = pdf.add("<< /Length " + ref(length) + " >>\nstream\n" + text + "\nendstream");
        const QByteArray annots = i == 1 ? " /Annots [" + ref(note) + "]" : QByteArray();
        kids += ref(pdf.add("<< /Type /Page /Parent " + ref(tree) + " /MediaBox [0 0 200 200] /Resources << /Font << /F1 "
                            + ref(font) + " >> >> /Contents " + ref(content) + annots + " >>")) + " ";
    }
    pdf.set(tree, "<< /Type /Pages /Kids [" + kids + "] /Count 3 >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(tree) + " >>");
    return pdf.write(catalog);
}

QImage drawn(const std::shared_ptr<PageSnapshot>& snapshot)
{
    return snapshot ? snapshot->render(1.0) : QImage();
}

} // namespace

TEST(LastGoodCopy, DrawsWhatNoEditReachesAsTheDocumentDoesAndNothingElse)
{
    struct Case {
        const char* edit;
        std::function<void(Document&)> apply;
        std::set<int> differs; // pages, by their index once edited
    };
    const std::vector<Case> cases = {
        {"nothing", [](Document&) {}, {}},
        {"a note added", [](Document& d) {
             d.page(0)->addAnnotation(Annotation::create(QStringLiteral("Square"), QRectF(100, 100, 40, 40)));
         }, {0}},
        {"a note removed", [](Document& d) { d.page(1)->removeAnnotation(d.page(1)->annotations().front()); }, {1}},
        {"a page turned", [](Document& d) { d.page(2)->setRotation(90); }, {2}},
        {"a note added and taken away again", [](Document& d) {
             const AnnotationPtr note = Annotation::create(QStringLiteral("Square"), QRectF(100, 100, 40, 40));
             d.page(1)->addAnnotation(note);
             d.page(1)->removeAnnotation(note);
         }, {}},
        {"pages exchanged", [](Document& d) { ASSERT_TRUE(d.exchangePages(0, 2).ok()); }, {}},
        {"lengths written in place, as a save does", [](Document& d) { ASSERT_TRUE(d.dataRepresentation().ok()); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit);
        Result<DocumentPtr> opened = Document::fromData(threePages());
        ASSERT_TRUE(opened.ok());
        const DocumentPtr document = *opened;
        c.apply(*document);
        const std::shared_ptr<const LastGoodCopy> copy = LastGoodCopy::take(*document);
        ASSERT_TRUE(copy);
        for (int i = 0; i < document->pageCount(); ++i) {
            SCOPED_TRACE(i);
            const PagePtr page = document->page(i);
            const LastGoodCopy::Recorded recorded = copy->record(page.get(), {});
            EXPECT_EQ(recorded.differs, c.differs.count(i) != 0);
            if (recorded.differs) {
                EXPECT_FALSE(recorded.result.snapshot);
                continue;
            }
            const std::shared_ptr<PageCapture> capture = PageCapture::take(*page, true);
            ASSERT_TRUE(capture);
            const QImage expected = drawn(capture->record({}).snapshot);
            ASSERT_FALSE(expected.isNull());
            EXPECT_EQ(drawn(recorded.result.snapshot), expected);
        }
    }
    // Copies close with their documents, whose release may end on a worker.
    EXPECT_TRUE(vmk::test::eventually([] { return LastGoodCopy::copiesOpen() == 0; }));
}
