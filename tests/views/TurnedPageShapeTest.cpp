#include "views/CanvasGesture.h"

#include "platform/pdf/document/Page.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::views;

TEST(TurnedPageShapes, ClickMadeShapesTakeTheScreensOrientation)
{
    for (int rotation : {90, 180, 270}) {
        const pdf::PagePtr page = pdf::Page::createBlank(QRectF(0, 0, 612, 792), rotation);
        const QTransform toShown = page->displayTransform();
        const QPointF press(300, 300);

        const auto [lineStart, lineEnd] = clickShapeEnds(press, Tool::line, toShown);
        const QPointF a = toShown.map(lineStart), b = toShown.map(lineEnd);
        // Left to right across the screen, 100 long.
        EXPECT_NEAR(a.y(), b.y(), 1e-6) << rotation;
        EXPECT_NEAR(b.x() - a.x(), 100, 1e-6) << rotation;

        const auto [boxStart, boxEnd] = clickShapeEnds(press, Tool::rectangle, toShown);
        const QRectF shown = toShown.mapRect(QRectF(boxStart, boxEnd).normalized());
        EXPECT_NEAR(shown.width(), 120, 1e-6) << rotation;
        EXPECT_NEAR(shown.height(), 80, 1e-6) << rotation;
        EXPECT_EQ(shown.center(), toShown.map(press)) << rotation;
    }
}
