#include "app/WelcomeEntrance.h"
#include "app/WelcomeView.h"
#include "chrome/Transition.h"

#include <QAbstractAnimation>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;
using chrome::PieceTransition;

namespace {

void at(const QVariantAnimation& clock, int ms)
{
    auto& c = const_cast<QVariantAnimation&>(clock);
    if (c.state() == QAbstractAnimation::Stopped)
        return;
    if (c.state() == QAbstractAnimation::Running)
        c.pause();
    c.setCurrentTime(ms);
}

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
