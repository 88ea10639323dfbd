// What a redaction takes from a page besides its picture: the words under the marks and the annotations.

#include "RebuildFixtures.h"

#include "core/PageRebuild.h"
#include "core/SystemAnnotations.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

// The bounds of the characters [from, from + count) of the page's text.
QRectF charBounds(const pdf::Page& page, int from, int count)
{
    QRectF r;
    for (int i = from; i < from + count; ++i)
        r = r.united(page.textLayout().bounds(i));
    return r;
}

} // namespace

TEST(RedactionWords, AWordGoesWhenAnyOfItsLettersLiesUnderAMarkAndItsNeighboursStay)
{
    coretest::RawPage raw;
    raw.content = "BT /F1 20 Tf 72 700 Td (Alpha Bravo Charlie) Tj ET BT /F1 20 Tf 72 600 Td (Delta) Tj ET";
    const pdf::DocumentPtr doc = coretest::open(coretest::makeRawPdf({raw}));
    const pdf::PagePtr page = doc->page(0);
    ASSERT_TRUE(page->text().startsWith(QLatin1String("Alpha Bravo Charlie")));

    // Exactly over "Bravo", grown by a point as the blackened area is: its neighbours stay.
    const QRectF bravo = charBounds(*page, 6, 5).adjusted(-1, -1, 1, 1);
    EXPECT_EQ(PDFOps::wordsUnder(*page, {bravo}), QStringList({QStringLiteral("Bravo")}));
    // One letter of a word is enough; the word goes whole, once, in reading order.
    const QRectF h = charBounds(*page, 3, 1);
    const QRectF delta = charBounds(*page, int(page->text().indexOf(QLatin1String("Delta"))), 5);
    EXPECT_EQ(PDFOps::wordsUnder(*page, {delta, h, h}), QStringList({QStringLiteral("Alpha"), QStringLiteral("Delta")}));
    // Only the space between two words: nothing.
    const QRectF space = charBounds(*page, 5, 1);
    EXPECT_TRUE(PDFOps::wordsUnder(*page, {QRectF(space.center() - QPointF(0.5, 0.5), QSizeF(1, 1))}).isEmpty());
    EXPECT_TRUE(PDFOps::wordsUnder(*page, {}).isEmpty());

    // Short words and numbers are as secret as long ones: a whole line of them goes, a lone letter stays
    // (it would take every such letter out of the rest of the document).
    raw.content = "BT /F1 20 Tf 72 700 Td (Al 42 x Jo) Tj ET";
    const pdf::DocumentPtr shortWords = coretest::open(coretest::makeRawPdf({raw}));
    const QRectF line = charBounds(*shortWords->page(0), 0, 10).adjusted(-1, -1, 1, 1);
    EXPECT_EQ(PDFOps::wordsUnder(*shortWords->page(0), {line}),
              QStringList({QStringLiteral("Al"), QStringLiteral("42"), QStringLiteral("Jo")}));
}

TEST(RedactionWords, ARebuiltPageKeepsItsWidgetsAndWhatTheMarksDoNotTouch)
{
    const pdf::DocumentPtr doc = coretest::open(coretest::makeRawPdf({coretest::RawPage{}}));
    const pdf::PagePtr page = doc->page(0);
    const QRectF marked(100, 100, 200, 50);
    const pdf::AnnotationPtr under = pdf::Annotation::create(QStringLiteral("Square"), QRectF(150, 120, 20, 20));
    const pdf::AnnotationPtr widget = pdf::Annotation::create(QStringLiteral("Widget"), QRectF(90, 90, 100, 30));
    const pdf::AnnotationPtr elsewhere = pdf::Annotation::create(QStringLiteral("Square"), QRectF(400, 400, 20, 20));
    const pdf::AnnotationPtr mark = RedactionMarkAnnotation::create(QRectF(500, 600, 20, 20));
    for (const pdf::AnnotationPtr& a : {under, widget, elsewhere, mark})
        page->addAnnotation(a);
    ASSERT_TRUE(widget && widget->isWidget());

    EXPECT_EQ(PDFOps::annotationsKept(*page, {marked}), QList<pdf::AnnotationPtr>({widget, elsewhere}));
    EXPECT_EQ(PDFOps::widgetsUnder(*page, {marked}), std::vector<pdf::AnnotationPtr>({widget}));
    EXPECT_TRUE(PDFOps::widgetsUnder(*page, {QRectF(400, 400, 5, 5)}).empty());
    // With nothing to drop, only redaction marks go.
    EXPECT_EQ(PDFOps::annotationsKept(*page), QList<pdf::AnnotationPtr>({under, widget, elsewhere}));
}
