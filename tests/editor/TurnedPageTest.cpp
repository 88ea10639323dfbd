// On a page turned a quarter, text boxes and click-made shapes take the screen's orientation, and the
// text reads upright in a second reader.

#include "EditorTestSupport.h"

#include "editor/FreeTextLayout.h"
#include "platform/pdf/document/Annotation.h"
#include "support/TestFiles.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

// The bounding box of the dark pixels of an image.
QRect inkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, y)).lightness() < 100)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

} // namespace

TEST(TurnedPage, TextBoxesReadUprightAsTheyAreTypedAndInAnotherReader)
{
    for (int rotation : {90, 270}) {
        EditorFixture f(blankDocument(1));
        const pdf::PagePtr page = f.page(0);
        page->setRotation(rotation);
        Editor& e = *f.editor;
        const QPointF press = page->displayTransform().inverted().map(QPointF(100, 400));
        const pdf::AnnotationPtr box = e.beginFreeText(page, press);
        ASSERT_TRUE(box);
        // The typing view is laid over the box as shown: wide, one line high.
        const QSizeF shown = FreeTextLayout::shownSize(page.get(), box->bounds());
        EXPECT_GE(shown.width(), 200);
        EXPECT_LT(shown.height(), 40);
        EXPECT_EQ(box->rotation(), rotation);

        e.commitFreeText(box, page, QStringLiteral("Upright words along the screen"), true);
        const auto added = page->annotations();
        ASSERT_EQ(added.size(), 1u);
        const QSizeF fitted = FreeTextLayout::shownSize(page.get(), added[0]->bounds());
        EXPECT_GT(fitted.width(), 3 * fitted.height());
        // The shown top-left corner stays where it was pressed.
        const QRectF shownBox = page->displayTransform().mapRect(added[0]->bounds());
        EXPECT_NEAR(shownBox.left(), 100, 0.5);
        EXPECT_NEAR(shownBox.bottom(), 400, 0.5);

        const QString path = writeFile(f.dir, "turned.pdf", f.pdf()->dataRepresentation().value());
        const QString base = f.dir.filePath("turned");
        ASSERT_EQ(runCommand("pdftoppm", {"-r", "72", "-png", "-singlefile", path, base}).exitCode, 0);
        const QImage image(base + ".png");
        ASSERT_FALSE(image.isNull());
        const QRect ink = inkBounds(image);
        ASSERT_FALSE(ink.isEmpty());
        EXPECT_GT(ink.width(), 3 * ink.height()) << "rotation " << rotation;
    }
}

TEST(TurnedPage, TypingKeepsTheShownTopAndWidth)
{
    EditorFixture f(blankDocument(1));
    const pdf::PagePtr page = f.page(0);
    page->setRotation(90);
    Editor& e = *f.editor;
    const pdf::AnnotationPtr box = e.beginFreeText(page, page->displayTransform().inverted().map(QPointF(50, 500)));
    e.commitFreeText(box, page, QStringLiteral("One line"), true);
    const pdf::AnnotationPtr added = page->annotations().at(0);
    const QRectF before = page->displayTransform().mapRect(added->bounds());
    f.endGroup();
    e.editFreeText(QStringLiteral("One line\nand a second\nand a third"), added);
    const QRectF after = page->displayTransform().mapRect(added->bounds());
    EXPECT_NEAR(after.left(), before.left(), 0.5);
    EXPECT_NEAR(after.bottom(), before.bottom(), 0.5);
    EXPECT_NEAR(after.width(), before.width(), 0.5);
    EXPECT_GT(after.height(), 2.5 * before.height());
}
