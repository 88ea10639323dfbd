#include "app/WelcomeEntrance.h"
#include "app/WelcomeView.h"
#include "chrome/Transition.h"

#include "support/MotionClock.h"

#include <QAbstractAnimation>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

using namespace vmk;
using namespace vmk::app;
using chrome::PieceTransition;

using vmk::test::at;

namespace {

int running(const QObject* root)
{
    int count = 0;
    for (auto* a : root->findChildren<QAbstractAnimation*>())
        count += a->state() != QAbstractAnimation::Stopped;
    return count;
}

QWidget* target(PieceTransition* motion)
{
    return qobject_cast<QWidget*>(motion->parent());
}

} // namespace

TEST(WelcomeEntrance, IconGrowsAndSharpensTitleRisesLaterSheenCrossesAndAllComesToRestOnce)
{
    WelcomeView view({}, {});
    view.setReduceMotionProvider([] { return false; });
    WelcomeEntrance* entrance = view.entrance();
    ASSERT_NE(entrance, nullptr);
    EXPECT_FALSE(entrance->hasRun());
    view.show();
    ASSERT_TRUE(entrance->hasRun());
    PieceTransition* icon = entrance->iconMotion();
    PieceTransition* title = entrance->titleMotion();
    auto* iconWidget = qobject_cast<WelcomeIcon*>(target(icon));
    ASSERT_NE(iconWidget, nullptr);
    EXPECT_EQ(icon->animation().duration(), 800);
    EXPECT_EQ(title->animation().duration(), 450 + 700);
    const QRect iconRest = iconWidget->geometry();
    const QRect titleRest = target(title)->geometry();

    // At the start: the icon small, blurred and clear; the title low and clear.
    at(icon->animation(), 0);
    at(title->animation(), 0);
    auto* iconEffect = qobject_cast<chrome::TransitionEffect*>(iconWidget->graphicsEffect());
    ASSERT_NE(iconEffect, nullptr);
    EXPECT_DOUBLE_EQ(iconEffect->scale(), 0.3);
    EXPECT_EQ(iconEffect->opacity(), 0.0);
    EXPECT_DOUBLE_EQ(iconWidget->blurRadius(), 12.0);
    auto* titleEffect = qobject_cast<chrome::TransitionEffect*>(target(title)->graphicsEffect());
    ASSERT_NE(titleEffect, nullptr);
    EXPECT_EQ(titleEffect->offset(), QPointF(0, 18));

    // The title waits 0.45 s while the icon grows and sharpens (passing its full size on the way).
    at(icon->animation(), 400);
    at(title->animation(), 400);
    EXPECT_EQ(title->progress(), 0.0);
    EXPECT_GT(icon->progress(), 1.0);
    EXPECT_EQ(iconWidget->blurRadius(), 0.0);
    at(title->animation(), 800);
    EXPECT_GT(title->progress(), 0.5);

    // The sheen crosses after 0.75 s and ends off the icon.
    at(entrance->sheenAnimation(), 700);
    EXPECT_EQ(iconWidget->sheen(), 0.0);
    at(entrance->sheenAnimation(), 1100);
    EXPECT_GT(iconWidget->sheen(), 0.3);
    EXPECT_LT(iconWidget->sheen(), 0.7);
    EXPECT_FALSE(iconWidget->grab().isNull());
    at(entrance->sheenAnimation(), 1450);
    EXPECT_EQ(iconWidget->sheen(), 1.0);

    at(icon->animation(), 800);
    at(title->animation(), 1150);
    EXPECT_EQ(iconWidget->graphicsEffect(), nullptr);
    EXPECT_EQ(target(title)->graphicsEffect(), nullptr);
    EXPECT_EQ(iconWidget->geometry(), iconRest);
    EXPECT_EQ(target(title)->geometry(), titleRest);
    EXPECT_EQ(running(&view), 0);

    // Shown again later: nothing replays.
    view.hide();
    view.show();
    EXPECT_EQ(running(&view), 0);
    EXPECT_EQ(iconWidget->graphicsEffect(), nullptr);
}

TEST(WelcomeEntrance, ReducedMotionBringsIconAndNameInTogetherInAShortEaseWithNoSheen)
{
    WelcomeView view({}, {});
    view.setReduceMotionProvider([] { return true; });
    view.show();
    WelcomeEntrance* entrance = view.entrance();
    EXPECT_TRUE(entrance->hasRun());
    for (chrome::PieceTransition* motion : {entrance->iconMotion(), entrance->titleMotion()}) {
        EXPECT_EQ(motion->animation().duration(), 250); // together, no delay
        auto& clock = const_cast<QVariantAnimation&>(motion->animation());
        clock.pause();
        clock.setCurrentTime(125);
        EXPECT_EQ(qobject_cast<WelcomeIcon*>(target(entrance->iconMotion()))->sheen(), 0.0);
        clock.setCurrentTime(250);
    }
    EXPECT_EQ(running(&view), 0);
    EXPECT_EQ(target(entrance->iconMotion())->graphicsEffect(), nullptr);
    EXPECT_EQ(target(entrance->titleMotion())->graphicsEffect(), nullptr);
    EXPECT_TRUE(target(entrance->titleMotion())->isVisible());
    EXPECT_EQ(qobject_cast<WelcomeIcon*>(target(entrance->iconMotion()))->blurRadius(), 0.0);
    EXPECT_EQ(qobject_cast<WelcomeIcon*>(target(entrance->iconMotion()))->sheen(), 0.0);
}

namespace {

int alphaSum(const QImage& image)
{
    int sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(image.pixel(x, y));
    return sum;
}

// The steepest step of alpha between neighbours along a row: how sharp the picture's edges are.
int steepestStep(const QImage& image, int y)
{
    int steepest = 0;
    for (int x = 1; x < image.width(); ++x)
        steepest = std::max(steepest, std::abs(qAlpha(image.pixel(x, y)) - qAlpha(image.pixel(x - 1, y))));
    return steepest;
}

} // namespace

TEST(WelcomeEntrance, TheIconCastsAWarmShadowBelowItAndComesInThroughARealBlur)
{
    WelcomeView view({}, {});
    view.setReduceMotionProvider([] { return false; });
    view.show();
    auto* icon = qobject_cast<WelcomeIcon*>(target(view.entrance()->iconMotion()));
    ASSERT_NE(icon, nullptr);
    const int room = WelcomeIcon::kShadowRoom;
    const int side = WelcomeIcon::kSide;

    // The icon's face keeps the column's padding; the shadow's room spills into it.
    EXPECT_EQ(icon->geometry().topLeft() + QPoint(room, room), QPoint(32, 44));
    EXPECT_EQ(icon->property("glassInset").toInt(), room);

    // At the start of the entrance the picture is blurred by 12 points: the same ink, spread out.
    auto& grow = const_cast<QVariantAnimation&>(view.entrance()->iconMotion()->animation());
    grow.pause();
    grow.setCurrentTime(0);
    EXPECT_DOUBLE_EQ(icon->blurRadius(), 12.0);
    const QImage blurred = icon->picture();
    grow.setCurrentTime(grow.duration());
    const QImage sharp = icon->picture();
    ASSERT_EQ(blurred.size(), sharp.size());
    const int middle = int((room + side / 2) * sharp.devicePixelRatio());
    EXPECT_GT(steepestStep(sharp, middle), 3 * steepestStep(blurred, middle));
    EXPECT_NEAR(double(alphaSum(blurred)) / alphaSum(sharp), 1.0, 0.1);
    const int besideFace = int((room - 8) * sharp.devicePixelRatio());
    EXPECT_GT(qAlpha(blurred.pixel(besideFace, middle)), qAlpha(sharp.pixel(besideFace, middle)) + 10);

    // At rest, on a white page: below the icon the shadow tints the page orange-brown; above it the page
    // stays white, the shadow having dropped 6 points.
    QImage page(icon->size(), QImage::Format_ARGB32);
    page.fill(Qt::white);
    icon->render(&page, QPoint(), QRegion(), QWidget::DrawChildren);
    // The darkest point of the page under the icon's tile (which stands 4 % inside the face), and over it.
    const auto darkest = [&](int from, int to) {
        QColor found = Qt::white;
        for (int y = from; y < to; ++y)
            if (page.pixelColor(room + side / 2, y).valueF() < found.valueF())
                found = page.pixelColor(room + side / 2, y);
        return found;
    };
    const int tileTop = room + int(std::ceil(side * 0.04)), tileBottom = room + int(side * 0.96);
    const QColor below = darkest(tileBottom + 1, page.height());
    const QColor above = darkest(0, tileTop - 1);
    EXPECT_LT(below.valueF(), 0.95);
    EXPECT_GT(below.hsvSaturationF(), 0.1);
    const double hue = below.hsvHueF() * 360;
    EXPECT_GT(hue, 15); // the shadow's own hue is 26°
    EXPECT_LT(hue, 40);
    EXPECT_GT(above.valueF(), below.valueF() + 0.05);
}
