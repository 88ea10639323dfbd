#include "OverlayTestSupport.h"

#include "chrome/CanvasOverlays.h"
#include "chrome/CanvasRoot.h"
#include "chrome/PagePill.h"
#include "chrome/ProgressPill.h"
#include "chrome/ScanBanner.h"
#include "chrome/Transition.h"

#include <QAbstractAnimation>
#include <QCoreApplication>
#include <QImage>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::chrome;
using vmk::test::OverlayFixture;

namespace {

const MotionSpec kGlide = curveMotion(glideCurve, 0.4, false);

// Moves a running transition's clock to `ms` by hand; one at rest stays at rest.
void at(PieceTransition* t, int ms)
{
    auto& clock = const_cast<QVariantAnimation&>(t->animation());
    if (clock.state() == QAbstractAnimation::Stopped)
        return;
    if (clock.state() == QAbstractAnimation::Running)
        clock.pause();
    clock.setCurrentTime(ms);
}

TransitionEffect* effectOf(QWidget* w)
{
    return qobject_cast<TransitionEffect*>(w->graphicsEffect());
}

// Animations that are ticking anywhere under the widget.
int running(const QWidget* root)
{
    int count = 0;
    for (auto* a : root->findChildren<QAbstractAnimation*>())
        count += a->state() == QAbstractAnimation::Running;
    return count;
}

struct Stage {
    QWidget parent;
    QWidget* piece;
    Stage()
    {
        parent.resize(300, 200);
        parent.show();
        piece = new QWidget(&parent);
        piece->setGeometry(50, 60, 100, 40);
    }
};

} // namespace

TEST(PieceTransition, EntersFromItsLookAndRestsWithoutEffectOrClock)
{
    Stage s;
    PieceTransition* t = PieceTransition::of(s.piece);
    EXPECT_EQ(t->progress(), 0.0); // never shown: out
    t->enter(TransitionLook::fromEdge(Qt::BottomEdge, 30, 0.9), kGlide);
    EXPECT_TRUE(s.piece->isVisible());
    ASSERT_NE(effectOf(s.piece), nullptr);
    EXPECT_EQ(effectOf(s.piece)->opacity(), 0.0);
    EXPECT_DOUBLE_EQ(effectOf(s.piece)->scale(), 0.9);
    EXPECT_EQ(effectOf(s.piece)->offset(), QPointF(0, 30));

    at(t, 40);
    const double p = t->progress();
    EXPECT_GT(p, 0.0);
    EXPECT_LT(p, 1.0);
    EXPECT_NEAR(effectOf(s.piece)->opacity(), p, 1e-9);
    EXPECT_NEAR(effectOf(s.piece)->offset().y(), 30 * (1 - p), 1e-9);
    EXPECT_NEAR(effectOf(s.piece)->scale(), 0.9 + 0.1 * p, 1e-9);
    // The geometry belongs to the layout, whatever the motion does.
    EXPECT_EQ(s.piece->geometry(), QRect(50, 60, 100, 40));

    at(t, 400);
    EXPECT_EQ(t->progress(), 1.0);
    EXPECT_EQ(s.piece->graphicsEffect(), nullptr);
    EXPECT_FALSE(t->isRunning());
    EXPECT_EQ(running(&s.parent), 0);
    EXPECT_EQ(s.piece->geometry(), QRect(50, 60, 100, 40));

    // Entering a piece that is in already changes nothing.
    t->enter(TransitionLook::fade(), kGlide);
    EXPECT_FALSE(t->isRunning());
    EXPECT_EQ(s.piece->graphicsEffect(), nullptr);
}

TEST(PieceTransition, InterruptedAndTurnedAroundItEndsWhereTheLastRequestSaid)
{
    Stage s;
    PieceTransition* t = PieceTransition::of(s.piece);
    const TransitionLook look = TransitionLook::fromEdge(Qt::TopEdge, 20);
    t->enter(look, kGlide);
    at(t, 30);
    const double midway = t->progress();

    // Out again from where it stands, taking no clicks on the way.
    t->leave(look, kGlide);
    EXPECT_TRUE(t->isLeaving());
    at(t, 0);
    EXPECT_DOUBLE_EQ(t->progress(), midway); // it starts back from where it stood
    EXPECT_TRUE(s.piece->testAttribute(Qt::WA_TransparentForMouseEvents));
    // Asking again for the way it already goes does not start it over.
    at(t, 100);
    const double before = t->progress();
    t->leave(look, kGlide);
    EXPECT_EQ(t->animation().currentTime(), 100);
    EXPECT_EQ(t->progress(), before);

    // And in once more before it is out: it comes back without being hidden on the way.
    t->enter(look, kGlide);
    EXPECT_FALSE(s.piece->testAttribute(Qt::WA_TransparentForMouseEvents));
    at(t, 400);
    EXPECT_TRUE(s.piece->isVisible());
    EXPECT_EQ(s.piece->graphicsEffect(), nullptr);
    EXPECT_EQ(s.piece->geometry(), QRect(50, 60, 100, 40));

    // A leave that runs to its end hides the piece and leaves nothing behind.
    t->leave(look, kGlide);
    at(t, 400);
    EXPECT_TRUE(s.piece->isHidden());
    EXPECT_EQ(s.piece->graphicsEffect(), nullptr);
    EXPECT_FALSE(s.piece->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(running(&s.parent), 0);

    // A piece the transition hid comes in from out again.
    t->enter(look, kGlide);
    at(t, 0);
    EXPECT_EQ(t->progress(), 0.0);
    t->finish();
    EXPECT_TRUE(s.piece->isVisible());
    EXPECT_EQ(s.piece->graphicsEffect(), nullptr);
}

TEST(PieceTransition, ADelayedEntranceWaitsOutOfSightThenMoves)
{
    Stage s;
    PieceTransition* t = PieceTransition::of(s.piece);
    MotionSpec later = kGlide;
    later.delayMs = 450;
    t->enter(TransitionLook::fromEdge(Qt::BottomEdge, 18), later);
    EXPECT_EQ(t->animation().duration(), 850);
    at(t, 400);
    EXPECT_EQ(t->progress(), 0.0);
    EXPECT_EQ(effectOf(s.piece)->opacity(), 0.0);
    at(t, 650);
    EXPECT_NEAR(t->progress(), glideCurve.valueAt(0.5), 2e-3);
    // Taken out during the wait: it never shows.
    t->leave(TransitionLook::fade(), MotionSpec{});
    EXPECT_TRUE(s.piece->isHidden());
    EXPECT_EQ(s.piece->graphicsEffect(), nullptr);
}

TEST(PieceTransition, LeavingForGoodDeletesUnlessCalledBack)
{
    Stage s;
    s.piece->show();
    QPointer<QWidget> piece = s.piece;
    PieceTransition* t = PieceTransition::of(piece);
    t->leave(TransitionLook::fade(), kGlide, PieceTransition::AfterLeaving::deleteWidget);
    at(t, 200);
    t->enter(TransitionLook::fade(), kGlide); // called back half-way
    at(t, 400);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(piece.isNull());
    EXPECT_TRUE(piece->isVisible());

    t->leave(TransitionLook::fade(), kGlide, PieceTransition::AfterLeaving::deleteWidget);
    at(t, 400);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(piece.isNull());
}

TEST(PieceTransition, ReducedMotionIsAShortEaseAndNoMotionJumpsToItsEnd)
{
    Stage s;
    PieceTransition* t = PieceTransition::of(s.piece);
    const MotionSpec calm = pieceMotion(curveMotion(glideCurve, 0.4, false, 0.3), true);
    EXPECT_EQ(calm.durationMs, 200);
    EXPECT_EQ(calm.delayMs, 300);
    EXPECT_EQ(calm.easing.type(), QEasingCurve::InOutQuad);
    EXPECT_EQ(pieceMotion(kGlide, false).durationMs, 400);
    const MotionSpec none{};
    t->enter(TransitionLook::fromEdge(Qt::BottomEdge, 40, 0.9), none);
    EXPECT_TRUE(s.piece->isVisible());
    EXPECT_EQ(s.piece->graphicsEffect(), nullptr);
    EXPECT_FALSE(t->isRunning());
    // Also when it interrupts a motion under way.
    t->leave(TransitionLook::fade(), kGlide);
    at(t, 50);
    t->enter(TransitionLook::fade(), none);
    EXPECT_FALSE(t->isRunning());
    EXPECT_EQ(s.piece->graphicsEffect(), nullptr);
    EXPECT_FALSE(s.piece->testAttribute(Qt::WA_TransparentForMouseEvents));
    t->leave(TransitionLook::fade(), none);
    EXPECT_TRUE(s.piece->isHidden());
    EXPECT_EQ(running(&s.parent), 0);
}

TEST(TransitionEffect, PaintsTheWidgetMovedScaledAndFaded)
{
    QWidget parent;
    parent.resize(200, 100);
    parent.setAutoFillBackground(true);
    parent.setPalette(QPalette(Qt::white));
    auto* red = new QWidget(&parent);
    red->setAutoFillBackground(true);
    red->setPalette(QPalette(Qt::red));
    red->setGeometry(0, 0, 40, 40);
    auto* effect = new TransitionEffect(red);
    red->setGraphicsEffect(effect);

    effect->setState(1.0, 1.0, QPointF(100, 40));
    QImage image = parent.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(120, 60)), QColor(Qt::red));
    EXPECT_EQ(QColor(image.pixel(20, 20)), QColor(Qt::white));

    // Half size about its centre: the corners stay clear, the middle is red.
    effect->setState(1.0, 0.5, QPointF());
    image = parent.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(20, 20)), QColor(Qt::red));
    EXPECT_EQ(QColor(image.pixel(3, 3)), QColor(Qt::white));

    // The kept picture is drawn afresh: a change of the piece shows in the next frame.
    red->setPalette(QPalette(Qt::blue));
    EXPECT_EQ(QColor(parent.grab().toImage().pixel(20, 20)), QColor(Qt::blue));
    red->setPalette(QPalette(Qt::red));

    // Half faded over white.
    effect->setState(0.5, 1.0, QPointF());
    const QColor half(parent.grab().toImage().pixel(20, 20));
    EXPECT_NEAR(half.red(), 255, 2);
    EXPECT_NEAR(half.green(), 128, 8);
    effect->setState(0.0, 1.0, QPointF());
    EXPECT_EQ(QColor(parent.grab().toImage().pixel(20, 20)), QColor(Qt::white));
}

TEST(CanvasRootMotion, EachChangeCarriesTheMotionOfItsInnermostValue)
{
    CanvasRootState a;
    a.pageCount = 3;
    CanvasRootState b = a;
    EXPECT_EQ(animatedChange(a, b), AnimatedChange::none);
    b.mode = 4;
    b.locked = true;
    b.showScanSuggestion = true;
    EXPECT_EQ(animatedChange(a, b), AnimatedChange::mode);
    b.mode = 0;
    EXPECT_EQ(animatedChange(a, b), AnimatedChange::lock);
    b.locked = false;
    EXPECT_EQ(animatedChange(a, b), AnimatedChange::scanSuggestion);
    // A task that ends takes its pill away with the pill's own motion.
    CanvasRootState running = a;
    running.progress = running.progressVisible = true;
    CanvasRootState ended = a;
    ended.progressVisible = true;
    EXPECT_EQ(animatedChange(running, ended), AnimatedChange::progressVisibility);
    // A new page count or a progress that the pill does not show yet moves nothing.
    CanvasRootState quiet = a;
    quiet.pageCount = 9;
    quiet.progress = true;
    EXPECT_EQ(animatedChange(a, quiet), AnimatedChange::none);

    EXPECT_EQ(animatedChangeMotion(AnimatedChange::mode).durationMs, modeChangeMotion(false).durationMs);
    EXPECT_EQ(animatedChangeMotion(AnimatedChange::lock).durationMs, 450);
    EXPECT_EQ(animatedChangeMotion(AnimatedChange::progressVisibility).durationMs, 400);
    EXPECT_EQ(animatedChangeMotion(AnimatedChange::scanSuggestion).durationMs, 500);
    EXPECT_EQ(animatedChangeMotion(AnimatedChange::none).durationMs, 0);
}

TEST(CanvasRootMotion, TheGridGrowsInWithTheModeSpringAndAQuickReturnEndsClean)
{
    OverlayFixture f(3);
    CanvasRoot root(f.editor.get());
    root.setReduceMotionProvider([] { return false; });
    auto* grid = new QWidget;
    root.setPageGridView(grid);
    root.resize(800, 600);
    root.show();
    const_cast<QVariantAnimation&>(root.revealAnimation()).stop();
    EXPECT_TRUE(grid->isHidden());
    QPointer<PagePill> pill = root.bottomOverlay()->pagePill();
    ASSERT_FALSE(pill.isNull());
    EXPECT_EQ(pill->graphicsEffect(), nullptr); // there from the start, without a motion

    f.editor->setMode(EditorMode::pages);
    PieceTransition* t = PieceTransition::find(grid);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->animation().duration(), modeChangeMotion(false).durationMs);
    ASSERT_NE(effectOf(grid), nullptr);
    EXPECT_DOUBLE_EQ(effectOf(grid)->scale(), 0.98);
    EXPECT_EQ(root.bottomOverlay()->pagePill(), nullptr); // on its way out already
    EXPECT_TRUE(PieceTransition::find(pill)->isLeaving());

    // Back to Read before the spring settles: the grid fades from where it stood, the pill returns.
    at(t, 120);
    f.editor->setMode(EditorMode::read);
    EXPECT_TRUE(t->isLeaving());
    EXPECT_EQ(root.bottomOverlay()->pagePill(), pill.data()); // the same pill, turned around
    for (PieceTransition* each : root.findChildren<PieceTransition*>())
        at(each, each->animation().duration());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(grid->isHidden());
    EXPECT_EQ(grid->graphicsEffect(), nullptr);
    ASSERT_FALSE(pill.isNull());
    EXPECT_TRUE(pill->isVisible());
    EXPECT_EQ(pill->graphicsEffect(), nullptr);
    EXPECT_FALSE(pill->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(grid->geometry(), root.rect());
    EXPECT_EQ(running(&root), 0);

    // Pages again, left to settle: the grid covers the canvas at full size with no effect.
    f.editor->setMode(EditorMode::pages);
    at(t, t->animation().duration());
    EXPECT_TRUE(grid->isVisible());
    EXPECT_EQ(grid->graphicsEffect(), nullptr);
    EXPECT_EQ(grid->geometry(), root.rect());
}

TEST(CanvasRootMotion, BannerAndProgressPillComeFromTheirEdges)
{
    OverlayFixture f(3);
    CanvasRoot root(f.editor.get());
    bool reduce = false;
    root.setReduceMotionProvider([&] { return reduce; });
    root.resize(800, 600);
    root.show();

    f.editor->setShowScanSuggestion(true);
    QPointer<ScanBanner> banner = root.topOverlay()->scanBanner();
    ASSERT_FALSE(banner.isNull());
    PieceTransition* bt = PieceTransition::find(banner);
    EXPECT_EQ(bt->animation().duration(), 500);
    ASSERT_NE(effectOf(banner), nullptr);
    EXPECT_LT(effectOf(banner)->offset().y(), -banner->height() / 2); // above, beyond the top edge
    at(bt, 500);
    const QRect rest = banner->geometry();

    // Put away and called back before it is gone: the same banner ends where it rested.
    f.editor->setShowScanSuggestion(false);
    EXPECT_EQ(root.topOverlay()->scanBanner(), nullptr);
    at(bt, 200);
    f.editor->setShowScanSuggestion(true);
    EXPECT_EQ(root.topOverlay()->scanBanner(), banner.data());
    at(bt, 500);
    EXPECT_EQ(banner->geometry(), rest);
    EXPECT_EQ(banner->graphicsEffect(), nullptr);

    TaskProgress progress;
    progress.kind = TaskProgress::Kind::generic;
    progress.title = QStringLiteral("Exporting page 1 of 3…");
    f.editor->setProgress(progress);
    EXPECT_EQ(root.bottomOverlay()->progressPill(), nullptr);
    f.scheduler.advance(0.4);
    QPointer<ProgressPill> pill = root.bottomOverlay()->progressPill();
    ASSERT_FALSE(pill.isNull());
    PieceTransition* pt = PieceTransition::find(pill);
    EXPECT_EQ(pt->animation().duration(), 400);
    EXPECT_GT(effectOf(pill)->offset().y(), pill->height() / 2); // below, toward the bottom edge
    at(pt, 400);
    // The task ends: the pill sinks out with the same glide and is gone.
    f.editor->setProgress(std::nullopt);
    EXPECT_TRUE(pt->isLeaving());
    EXPECT_EQ(pt->animation().duration(), 400);
    at(pt, 400);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pill.isNull());

    // Under reduced motion the banner goes and comes in a short ease, and ends at rest.
    reduce = true;
    f.editor->setShowScanSuggestion(false);
    ASSERT_FALSE(banner.isNull());
    PieceTransition* going = PieceTransition::find(banner);
    ASSERT_NE(going, nullptr);
    EXPECT_LE(going->animation().duration() - going->animation().currentTime(), 200 + 500);
    at(going, going->animation().duration());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(banner.isNull());
    f.editor->setShowScanSuggestion(true);
    ASSERT_NE(root.topOverlay()->scanBanner(), nullptr);
    if (PieceTransition* coming = PieceTransition::find(root.topOverlay()->scanBanner()))
        at(coming, coming->animation().duration());
    EXPECT_EQ(root.topOverlay()->scanBanner()->graphicsEffect(), nullptr);
    EXPECT_EQ(running(&root), 0);
}
