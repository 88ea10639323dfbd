// Picture edits and saving on the real engine.

#include "EditFixtures.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using namespace vmk::editest;

namespace {

void expectRect(const QRectF& actual, const QRectF& expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 0.05);
    EXPECT_NEAR(actual.y(), expected.y(), 0.05);
    EXPECT_NEAR(actual.width(), expected.width(), 0.05);
    EXPECT_NEAR(actual.height(), expected.height(), 0.05);
}

} // namespace

TEST(ImageEditTest, ScanFindsPicturesAndTellsScannedPages)
{
    VMK_OPEN_SESSION_OR_SKIP(session, makeImagePdf(QRectF(72, 600, 100, 50), {40, 20}, QStringLiteral("Caption")));
    const PageEditModel model = session->model(0).value();
    ASSERT_EQ(model.images.size(), 1);
    expectRect(model.images[0].bounds, QRectF(72, 600, 100, 50));
    EXPECT_EQ(model.images[0].pixelSize, QSize(40, 20));
    EXPECT_FALSE(model.looksScanned);

    // A page that is 61% picture and has no text looks scanned; one with nothing on it does not.
    const QSizeF page(100, 100);
    VMK_OPEN_SESSION_OR_SKIP(scan, makeImagePdf(QRectF(0, 0, 100, 61), {10, 10}, QString(), page));
    EXPECT_TRUE(scan->model(0).value().looksScanned);
    VMK_OPEN_SESSION_OR_SKIP(blank, makeHelveticaContentPdf(QByteArray()));
    const PageEditModel empty = blank->model(0).value();
    EXPECT_TRUE(empty.blocks.isEmpty());
    EXPECT_TRUE(empty.images.isEmpty());
    EXPECT_FALSE(empty.looksScanned);
}

TEST(ImageEditTest, MoveResizeReplaceAndDeleteRewriteThePage)
{
    VMK_OPEN_SESSION_OR_SKIP(session, makeImagePdf(QRectF(72, 600, 100, 50), {40, 20}, QStringLiteral("Caption")));
    EditableImage image = session->model(0).value().images.value(0);
    ASSERT_NE(image.object, nullptr);

    ASSERT_FALSE(session->setImageFrame(image, QRectF(100, 500, 100, 50), 0).has_value());
    EXPECT_FALSE(session->hasCachedModel(0));
    EditableImage moved = session->model(0).value().images.value(0);
    expectRect(moved.bounds, QRectF(100, 500, 100, 50));
    EXPECT_GT(moved.id, image.id);

    ASSERT_FALSE(session->setImageFrame(moved, QRectF(100, 500, 200, 50), 0).has_value());
    EditableImage wide = session->model(0).value().images.value(0);
    expectRect(wide.bounds, QRectF(100, 500, 200, 50));

    // An image with no size is left alone.
    EditableImage flat = wide;
    flat.bounds.setWidth(0);
    ASSERT_FALSE(session->setImageFrame(flat, QRectF(0, 0, 10, 10), 0).has_value());
    EXPECT_TRUE(session->hasCachedModel(0));

    // A square picture goes into the middle of the 200 x 50 frame, upright and as tall as the frame.
    QImage square(30, 30, QImage::Format_ARGB32);
    square.fill(QColor(20, 200, 20));
    ASSERT_FALSE(session->replaceImage(wide, square, 0).has_value());
    EditableImage replaced = session->model(0).value().images.value(0);
    expectRect(replaced.bounds, QRectF(175, 500, 50, 50));
    EXPECT_EQ(replaced.pixelSize, QSize(30, 30));
    EXPECT_EQ(session->replaceImage(replaced, QImage(), 0), PDFiumError::saveFailed());

    const auto middle = session->save();
    ASSERT_TRUE(middle.ok());
    EXPECT_TRUE(qpdfAccepts(middle.value()));
    VMK_OPEN_SESSION_OR_SKIP(reopened, middle.value());
    expectRect(reopened->model(0).value().images.value(0).bounds, QRectF(175, 500, 50, 50));

    ASSERT_FALSE(session->deleteImage(replaced, 0).has_value());
    EXPECT_TRUE(session->model(0).value().images.isEmpty());
    const auto saved = session->save();
    ASSERT_TRUE(saved.ok());
    EXPECT_TRUE(qpdfAccepts(saved.value()));
    EXPECT_TRUE(extractText(saved.value()).contains(QStringLiteral("Caption")));
    VMK_OPEN_SESSION_OR_SKIP(after, saved.value());
    EXPECT_TRUE(after->model(0).value().images.isEmpty());

    EXPECT_EQ(session->setImageFrame(image, QRectF(0, 0, 1, 1), 7), PDFiumError::pageFailed(7));
}
