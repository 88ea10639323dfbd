// Pages drawn from the workers' own copies of the file: the same picture as a page copied for drawing,
// no page copied for a page left alone, and an edited page always drawn as edited.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/pages/SourceCopies.h"
#include "platform/services/BackgroundPool.h"
#include "platform/services/ThreadHandOff.h"

#include <QElapsedTimer>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "support/PdfBuilder.h"

using namespace vmk::pdf;
using vmk::test::PdfBuilder;
using vmk::test::ref;

namespace {

// Three pages: rotated with a crop box away from the origin; with a square annotation drawn by its
// appearance; and one inheriting its boxes, rotation and resources from the page tree.
QByteArray mixedPages()
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int root = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>");
    const QByteArray resources = "<< /Font << /F1 " + ref(font) + " >> >>";
    const int text = pdf.addStream({}, "BT /F1 24 Tf 120 300 Td (Drawn from the file) Tj ET 0 0 1 rg 130 220 60 40 re f");
    const int first = pdf.add("<< /Type /Page /Parent " + ref(root) + " /MediaBox [0 0 500 600] /CropBox [100 200 400 500]"
                              " /Rotate 90 /Resources " + resources + " /Contents " + ref(text) + " >>");
    const int look = pdf.addStream("/Type /XObject /Subtype /Form /BBox [0 0 80 40]", "1 0 0 rg 0 0 80 40 re f");
    const int square = pdf.add("<< /Type /Annot /Subtype /Square /Rect [300 300 380 340] /AP << /N " + ref(look) + " >> >>");
    const int second = pdf.add("<< /Type /Page /Parent " + ref(root) + " /MediaBox [0 0 500 600] /Resources " + resources
                               + " /Contents " + ref(text) + " /Annots [" + ref(square) + "] >>");
    const int inner = pdf.reserve();
    const int third = pdf.add("<< /Type /Page /Parent " + ref(inner) + " /Contents " + ref(text) + " >>");
    pdf.set(inner, "<< /Type /Pages /Parent " + ref(root) + " /Kids [" + ref(third) + "] /Count 1 /Rotate 180"
                   " /MediaBox [0 0 450 550] /Resources " + resources + " >>");
    pdf.set(root, "<< /Type /Pages /Kids [" + ref(first) + " " + ref(second) + " " + ref(inner) + "] /Count 3 >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(root) + " >>");
    return pdf.write(catalog);
}

// Opened, with the copy that drawing takes its pages from open too (the first pages drawn are copied while
// it opens).
DocumentPtr open(const QByteArray& data)
{
    Result<DocumentPtr> doc = Document::fromData(data);
    EXPECT_TRUE(doc.ok()) << qPrintable(doc.error());
    if (!doc.ok())
        return nullptr;
    QElapsedTimer waited;
    waited.start();
    while (PageCapture::takeToDraw(*(*doc)->page(0), true)->isCopied() && waited.elapsed() < 10000)
        QThread::msleep(5);
    return *doc;
}

// Drawn through a capture at 1 pixel per point.
QImage drawTaken(const std::shared_ptr<PageCapture>& capture)
{
    return capture ? capture->draw(1.0, QRect(), RecordBudget{}).image : QImage();
}

QImage drawCopied(const Page& page) { return drawTaken(PageCapture::take(page, true)); }

// The same, telling whether the page was copied out of its document.
QImage drawToShow(const Page& page, bool* copied)
{
    std::shared_ptr<PageCapture> capture = PageCapture::takeToDraw(page, true);
    *copied = capture && capture->isCopied();
    return drawTaken(capture);
}

} // namespace

TEST(DrawnFromSource, UnchangedPagesDrawAsCopiedPagesWithoutACopy)
{
    const DocumentPtr doc = open(mixedPages());
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->pageCount(), 3);
    for (int i = 0; i < doc->pageCount(); ++i) {
        SCOPED_TRACE(i);
        bool copied = true;
        const QImage fromFile = drawToShow(*doc->page(i), &copied);
        EXPECT_FALSE(copied);
        ASSERT_FALSE(fromFile.isNull());
        EXPECT_EQ(fromFile, drawCopied(*doc->page(i)));
    }
}

TEST(DrawnFromSource, WhileTheFilesCopyOpensOnlyTheFirstPageAskedForIsCopied)
{
    Result<DocumentPtr> doc = Document::fromData(mixedPages());
    ASSERT_TRUE(doc.ok());
    // The first page starts the copy's opening and is copied; the second would wait behind it.
    const std::shared_ptr<PageCapture> first = PageCapture::takeToDraw(*(*doc)->page(0), true);
    const std::shared_ptr<PageCapture> second = PageCapture::takeToDraw(*(*doc)->page(1), true);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->isCopied());
    EXPECT_FALSE(second->isCopied());
    EXPECT_EQ(drawTaken(second), drawCopied(*(*doc)->page(1)));
    EXPECT_EQ(drawTaken(first), drawCopied(*(*doc)->page(0)));
}

TEST(DrawnFromSource, AnEditedPageIsDrawnAsEditedAndTheOthersStillFromTheFile)
{
    const std::vector<std::pair<const char*, std::function<void(Page&)>>> edits = {
        {"annotation added", [](Page& page) {
             AnnotationPtr mark = Annotation::create("Square", QRectF(150, 250, 50, 50));
             mark->setColor(QColor(0, 160, 0));
             mark->setInteriorColor(QColor(0, 160, 0));
             page.addAnnotation(mark);
         }},
        {"annotation moved", [](Page& page) { page.annotations().front()->setBounds(QRectF(50, 50, 80, 40)); }},
        {"annotation hidden", [](Page& page) { page.annotations().front()->setShouldDisplay(false); }},
        {"rotated", [](Page& page) { page.setRotation(270); }},
        {"cropped", [](Page& page) { page.setCropBox(QRectF(0, 0, 300, 300)); }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        const DocumentPtr doc = open(mixedPages());
        ASSERT_TRUE(doc);
        bool copied = true;
        const QImage before = drawToShow(*doc->page(1), &copied);
        edit(*doc->page(1));
        const QImage after = drawToShow(*doc->page(1), &copied);
        EXPECT_TRUE(copied);
        EXPECT_NE(after, before);
        EXPECT_EQ(after, drawCopied(*doc->page(1)));
        // A page that shares the edited one's font and content still comes from the file.
        const QImage other = drawToShow(*doc->page(0), &copied);
        EXPECT_FALSE(copied);
        EXPECT_EQ(other, drawCopied(*doc->page(0)));
    }
}

TEST(DrawnFromSource, ARecordingOutlivesItsDocumentAndItsCopies)
{
    DocumentPtr doc = open(mixedPages());
    ASSERT_TRUE(doc);
    const QImage expected = drawCopied(*doc->page(1));
    std::shared_ptr<PageCapture> capture = PageCapture::takeToDraw(*doc->page(1), true);
    ASSERT_TRUE(capture && !capture->isCopied());
    std::shared_ptr<PageSnapshot> snapshot = capture->record(RecordBudget{}).snapshot;
    ASSERT_TRUE(snapshot);
    EXPECT_FALSE(capture->rebuild(RebuildBase::vector(), {}).ok()); // taken for drawing only
    capture.reset();
    doc.reset();
    // Two threads at once, each with its own context of the copy's engine.
    auto draw = [size = expected.size()](const std::shared_ptr<PageSnapshot>& recorded) {
        QImage image(size, QImage::Format_RGB32);
        return recorded->renderInto(image, 1.0, image.rect()) ? image : QImage();
    };
    auto drawOnPool = [&] {
        return QtConcurrent::run(vmk::platform::handedOver([draw, snapshot] { return draw(snapshot); }));
    };
    QFuture<QImage> a = drawOnPool(), b = drawOnPool();
    EXPECT_EQ(a.result(), expected);
    EXPECT_EQ(b.result(), expected);
    snapshot.reset();
    QThreadPool::globalInstance()->waitForDone(); // the runs' copies of the snapshot go with them
    vmk::platform::backgroundPool().waitForDone();
    EXPECT_EQ(PageCapture::drawingCopiesOpen(), 0);
}

TEST(DrawnFromSource, EachThreadKeepsACopyOfItsOwnAndTakesOverOnlyCopiesLeftIdle)
{
    using vmk::pdf::detail::SourceCopies;
    const QByteArray bytes = mixedPages();
    fz_context* c = vmk::pdf::detail::ctx();
    fz_buffer* source = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                                       std::size_t(bytes.size()));
    auto copies = std::make_shared<SourceCopies>(source, QByteArray(), SourceCopies::Contexts::families);
    fz_drop_buffer(c, source);
    const int before = PageCapture::drawingCopiesOpen();
    auto takeAndGive = [&] {
        SourceCopies::Copy* copy = copies->take();
        copies->give(copy);
        return copy;
    };
    SourceCopies::Copy* mine = takeAndGive();
    SourceCopies::Copy* other = nullptr;
    // Given back a moment ago: another thread opens a copy of its own rather than take this one.
    std::thread([&] { other = takeAndGive(); }).join();
    ASSERT_TRUE(mine && other);
    EXPECT_NE(other, mine);
    EXPECT_EQ(takeAndGive(), mine);
    // Left idle: a new thread takes one over instead of opening a third.
    QThread::msleep(400);
    SourceCopies::Copy* third = nullptr;
    std::thread([&] { third = takeAndGive(); }).join();
    EXPECT_TRUE(third == mine || third == other);
    EXPECT_EQ(PageCapture::drawingCopiesOpen(), before + 2);
    copies.reset();
    EXPECT_EQ(PageCapture::drawingCopiesOpen(), before);
}
