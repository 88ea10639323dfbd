#include "platform/pdf/document/Page.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/ViewTestSupport.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vmk;

// The view takes all page handles at once; they must be the very handles page(i) gives, in order,
// also after the page tree was changed.
TEST(DocumentPages, AllAtOnceAreTheSameHandlesAsOneByOne)
{
    auto document = test::openPdf(test::textPdf(7));
    ASSERT_TRUE(document);
    const pdf::PagePtr third = document->page(2); // made before the others
    std::vector<pdf::PagePtr> all = document->pages();
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(all[2], third);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(all[size_t(i)], document->page(i));

    const pdf::PagePtr removed = document->removePage(1);
    ASSERT_TRUE(document->insertPage(removed, 5));
    ASSERT_TRUE(document->insertPage(pdf::Page::createBlank(QRectF(0, 0, 200, 200)), 0));
    all = document->pages();
    ASSERT_EQ(all.size(), 8u);
    EXPECT_EQ(all[6], removed);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(all[size_t(i)], document->page(i));
    EXPECT_EQ(all[0]->mediaBox(), QRectF(0, 0, 200, 200));
}

// A long file is shown before its page tree is walked, every page the size of the first and as many as
// the tree claims; once the first screen is painted the view lays out the pages the tree really holds,
// at their own sizes, with the handles the document gives.
TEST(DocumentPages, ALongFileShownBeforeItsTreeIsWalkedEndsWithThePagesItHolds)
{
    const QByteArray font = "/Resources << /Font << /F << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>";
    auto page = [&](const QByteArray& box) {
        return "<< /Type /Page /Parent 2 0 R /MediaBox " + box + " /Contents 6 0 R " + font + " >>";
    };
    QTemporaryDir dir;
    for (const QByteArray claimed : {"3", "40"}) {
        SCOPED_TRACE(claimed.constData());
        // Padded past what is read whole while opening.
        const QByteArray bytes = test::assemblePdf(
            {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count " + claimed + " >>",
             page("[0 0 300 400]"), page("[0 0 500 200]"), page("[0 0 300 400]"),
             test::pdfStream({}, "BT /F 24 Tf 20 100 Td (Shown) Tj ET"),
             test::pdfStream({}, QByteArray(qsizetype(17) << 20, ' '))});
        auto file = pdf::SourceFile::read(test::writeFile(dir, QStringLiteral("long.pdf"), bytes));
        ASSERT_TRUE(file);
        auto opened = pdf::Document::fromSourceWhileAnswering(*file);
        ASSERT_TRUE(opened);
        const pdf::DocumentPtr document = opened.value();
        ASSERT_TRUE(document->hasPagesPending());
        pdfview::PDFView view;
        QSignalSpy settled(&view, &pdfview::PDFView::pagesSettled);
        view.resize(600, 500);
        view.show();
        view.setDocument(document);
        EXPECT_EQ(view.layout().pageCount(), claimed.toInt());
        ASSERT_TRUE(test::waitUntil([&] { return settled.count() == 1 && view.isFullyRendered(); }));
        EXPECT_FALSE(document->hasPagesPending());
        ASSERT_EQ(view.layout().pageCount(), 3);
        EXPECT_EQ(view.layout().pages()[1].cropBox, QRectF(0, 0, 500, 200));
        EXPECT_EQ(view.pageAt(view.layout().pageRectInView(0).center(), false), document->page(0));
    }
}
