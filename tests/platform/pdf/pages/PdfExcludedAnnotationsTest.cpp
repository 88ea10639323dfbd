// Leaving chosen annotations out of a page's recording without touching their flags.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageSnapshot.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace vmk::pdf;

namespace {

AnnotationPtr filledSquare(const PagePtr& page, const QRectF& bounds, const QColor& color)
{
    AnnotationPtr a = Annotation::create("Square", bounds);
    a->setColor(color);
    a->setInteriorColor(color);
    page->addAnnotation(a);
    return a;
}

// The colour at a page point (y measured from the top) of an image rendered at one pixel per point.
QColor at(const QImage& image, int x, int yFromTop) { return image.pixelColor(x, yFromTop); }

} // namespace

TEST(PdfExcludedAnnotations, LeftOutOfTheDrawingOnlyAndOthersStillDrawn)
{
    DocumentPtr doc = Document::createEmpty();
    PagePtr page = Page::createBlank(QRectF(0, 0, 200, 200), 0);
    PagePtr other = Page::createBlank(QRectF(0, 0, 200, 200), 0);
    doc->insertPage(page, 0);
    doc->insertPage(other, 1);
    AnnotationPtr red = filledSquare(page, QRectF(20, 20, 40, 40), QColor(255, 0, 0));
    AnnotationPtr blue = filledSquare(page, QRectF(120, 120, 40, 40), QColor(0, 0, 255));
    AnnotationPtr elsewhere = filledSquare(other, QRectF(20, 20, 40, 40), QColor(0, 255, 0));

    const QImage all = page->snapshotExcluding({})->render(1.0);
    ASSERT_FALSE(all.isNull());
    EXPECT_EQ(at(all, 40, 160), QColor(255, 0, 0)); // page y 40 is image row 160
    EXPECT_EQ(at(all, 140, 60), QColor(0, 0, 255));

    // An annotation of another page in the list changes nothing here.
    const QImage withoutRed = page->snapshotExcluding({red.get(), elsewhere.get()})->render(1.0);
    EXPECT_EQ(at(withoutRed, 40, 160), QColor(Qt::white));
    EXPECT_EQ(at(withoutRed, 140, 60), QColor(0, 0, 255));
    EXPECT_TRUE(red->shouldDisplay());
    EXPECT_EQ(page->annotations().size(), 2u);

    // The file written afterwards still shows the annotation.
    Result<QByteArray> bytes = doc->dataRepresentation();
    ASSERT_TRUE(bytes.ok());
    Result<DocumentPtr> reopened = Document::fromData(*bytes);
    ASSERT_TRUE(reopened.ok());
    const QImage saved = (*reopened)->page(0)->render(1.0);
    EXPECT_EQ(at(saved, 40, 160), QColor(255, 0, 0));

    // A hidden annotation stays hidden whether or not it is excluded.
    blue->setShouldDisplay(false);
    const QImage none = page->snapshotExcluding({red.get()})->render(1.0);
    EXPECT_EQ(at(none, 140, 60), QColor(Qt::white));
}
