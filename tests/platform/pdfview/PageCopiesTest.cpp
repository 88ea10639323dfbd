// Pages are interpreted on workers from copies kept in a few private documents per source document,
// which share what the pages share (fonts, pictures): few of them at any time, however many pages go
// by, and each page drawn as it is now, edits included.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/pages/ImageRecompression.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdfview/ViewTestSupport.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <gtest/gtest.h>

#include <deque>

using namespace vmk;

namespace {

// Every page shows the same noisy picture (one image object in the file) and a line of text.
QByteArray pictureDocument(int pages)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(QSizeF(300, 400), QPageSize::Point), QPageLayout::Portrait, QMarginsF()));
    QImage picture(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * x + y * 7) % 256, (x ^ y) * 5 % 256));
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.drawImage(QRectF(40, 120, 220, 165), picture);
        painter.drawText(QPointF(40, 60), QStringLiteral("Page %1 of the pictures").arg(page + 1));
    }
    painter.end();
    return bytes;
}

QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

} // namespace

TEST(PageCopies, StayFewHoweverManyPagesGoByAndDrawEachPageAsItIs)
{
    constexpr int kPages = 150;
    const pdf::DocumentPtr document = test::openPdf(pictureDocument(kPages));
    ASSERT_EQ(document->pageCount(), kPages);
    const int before = pdf::PageCapture::copyDocumentsAlive();
    int mostAlive = 0;
    std::deque<std::shared_ptr<pdf::PageSnapshot>> kept; // as a view keeps the lists of nearby pages
    for (int i = 0; i < kPages; ++i) {
        const pdf::PagePtr page = document->page(i);
        auto capture = pdf::PageCapture::take(*page, true);
        ASSERT_TRUE(capture);
        pdf::RecordResult recorded = capture->record(pdf::RecordBudget{});
        ASSERT_EQ(recorded.outcome, pdf::RecordOutcome::recorded);
        if (i % 49 == 0) {
            // Shared objects come from an earlier page's copy: still the same pixels and text.
            EXPECT_EQ(rgb(recorded.snapshot->render(1.0)), rgb(page->render(1.0))) << "page " << i;
            const pdf::TextResult text = capture->readText(pdf::RecordBudget{});
            ASSERT_EQ(text.outcome, pdf::RecordOutcome::recorded);
            EXPECT_EQ(text.text->text(), page->textLayout().text());
            EXPECT_TRUE(text.text->text().contains(QStringLiteral("Page %1 of").arg(i + 1)));
        }
        kept.push_back(recorded.snapshot);
        if (kept.size() > 32)
            kept.pop_front();
        mostAlive = std::max(mostAlive, pdf::PageCapture::copyDocumentsAlive() - before);
    }
    // A copy per page would be 150 documents, each holding its fonts and pictures in the engine's store.
    EXPECT_LE(mostAlive, 3);
    kept.clear();
    EXPECT_LE(pdf::PageCapture::copyDocumentsAlive() - before, 1);
}

TEST(PageCopies, ASharedObjectChangedInPlaceIsCopiedAgain)
{
    const pdf::DocumentPtr document = test::openPdf(pictureDocument(3));
    const QImage firstBefore = rgb(document->page(0)->render(1.0));
    auto first = pdf::PageCapture::take(*document->page(0), true)->record(pdf::RecordBudget{});
    ASSERT_EQ(first.outcome, pdf::RecordOutcome::recorded);
    EXPECT_EQ(rgb(first.snapshot->render(1.0)), firstBefore);

    // The picture every page shares is replaced in place by a 4-pixel-wide one.
    pdf::ImageRecompressionOptions options;
    options.maxPixelSide = 4;
    ASSERT_GE(pdf::recompressImages(*document, options), 1);
    // What the page looks like now, read from the saved file by a document of its own.
    const auto saved = document->dataRepresentation();
    ASSERT_TRUE(saved);
    const QImage secondNow = rgb(test::openPdf(*saved)->page(1)->render(1.0));
    const QRect picture(40, 120, 220, 165);
    ASSERT_NE(secondNow.copy(picture), firstBefore.copy(picture));
    // Drawn in place from the same open document, which had decoded the old picture before.
    EXPECT_EQ(rgb(document->page(1)->render(1.0)), secondNow);
    EXPECT_EQ(rgb(document->page(0)->render(1.0)).copy(picture), secondNow.copy(picture));

    auto second = pdf::PageCapture::take(*document->page(1), true)->record(pdf::RecordBudget{});
    ASSERT_EQ(second.outcome, pdf::RecordOutcome::recorded);
    EXPECT_EQ(rgb(second.snapshot->render(1.0)), secondNow);
    // The earlier recording keeps what it showed.
    EXPECT_EQ(rgb(first.snapshot->render(1.0)), firstBefore);
}
