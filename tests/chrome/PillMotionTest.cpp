// The pills resize as one motion with their content: the page pill with the overshoot curve when the page
// changes, the progress pill on a spring without overshoot when its title changes. Time is driven by hand.

#include "OverlayTestSupport.h"

#include "chrome/CanvasOverlays.h"
#include "chrome/CanvasRoot.h"
#include "chrome/Glass.h"
#include "chrome/PagePill.h"
#include "chrome/ProgressPill.h"
#include "chrome/SizeMorph.h"

#include "support/MotionClock.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>

using namespace vmk;
using namespace vmk::chrome;
using vmk::test::OverlayFixture;

using vmk::test::at;

namespace {

void layOut()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

// The page pill as the window shows it: in the bottom stack, laid out by it at every step.
struct PillInStack {
    OverlayFixture f{40};
    bool reduce = false;
    QWidget host;
    BottomOverlay* overlay;
    PagePill* pill = nullptr;

    PillInStack()
    {
        host.resize(700, 240);
        overlay = new BottomOverlay(f.editor.get(), &host);
        overlay->setReduceMotionProvider([this] { return reduce; });
        overlay->setGeometry(0, 0, 700, 240);
        host.show();
        CanvasRootPieces pieces;
        pieces.pagePill = true;
        overlay->sync(pieces, MotionSpec{});
        pill = overlay->pagePill();
        // Big digits, so one more digit makes a wide step.
        QFont big = pill->pageLabel()->font();
        big.setPixelSize(60);
        pill->pageLabel()->setFont(big);
        layOut();
    }

    struct Run {
        QList<int> widths;
        QList<int> nextX;
        int duration = 0;
    };
    // Goes to the page and records the pill's width and the next button's place every 10 ms.
    Run turnTo(int index)
    {
        f.editor->goToPage(index);
        Run run;
        const QVariantAnimation& clock = pill->resizing()->animation();
        run.duration = clock.duration();
        for (int ms = 0; ms <= run.duration; ms += 10) {
            at(clock, ms);
            layOut();
            run.widths << pill->width();
            run.nextX << pill->nextButton()->x();
        }
        at(clock, run.duration);
        layOut();
        return run;
    }
};

} // namespace

TEST(PillMotion, APageWithOneMoreDigitWidensThePagePillPastItsNewWidthAndBackWithTheNumber)
{
    PillInStack s;
    s.f.editor->goToPage(8);
    at(s.pill->resizing()->animation(), 1000);
    layOut();
    const int nine = s.pill->width();
    const int nineNext = s.pill->nextButton()->x();

    const PillInStack::Run up = s.turnTo(9);
    EXPECT_EQ(up.duration, 480);
    const int ten = s.pill->width();
    ASSERT_GT(ten, nine + 20);
    EXPECT_EQ(s.pill->pageLabel()->text(), QStringLiteral("10"));
    EXPECT_EQ(up.widths.first(), nine);
    EXPECT_EQ(up.widths.last(), ten);
    EXPECT_TRUE(std::any_of(up.widths.begin(), up.widths.end(), [&](int w) { return w > nine && w < ten; }));
    EXPECT_GT(*std::max_element(up.widths.begin(), up.widths.end()), ten); // the slight overshoot
    // The next button rides along with the growing edge, then rests where the layout puts it.
    EXPECT_EQ(up.nextX.first(), nineNext);
    EXPECT_GT(*std::max_element(up.nextX.begin(), up.nextX.end()), s.pill->nextButton()->x());
    EXPECT_FALSE(s.pill->resizing()->isRunning());

    // Back a page: the pill narrows, dipping under its new width before it settles.
    const PillInStack::Run down = s.turnTo(8);
    EXPECT_EQ(down.widths.first(), ten);
    EXPECT_EQ(down.widths.last(), nine);
    EXPECT_LT(*std::min_element(down.widths.begin(), down.widths.end()), nine);

    // Reduced motion: the same change in a 0.2 s ease that never passes its end.
    s.reduce = true;
    const PillInStack::Run calm = s.turnTo(9);
    EXPECT_EQ(calm.duration, 200);
    EXPECT_EQ(s.pill->pageLabel()->rollAnimation().duration(), 200);
    EXPECT_EQ(calm.widths.last(), ten);
    EXPECT_EQ(*std::max_element(calm.widths.begin(), calm.widths.end()), ten);
    EXPECT_TRUE(std::any_of(calm.widths.begin(), calm.widths.end(), [&](int w) { return w > nine && w < ten; }));
}

TEST(PillMotion, OnlyAPageChangeMovesThePagePillAndEditingTakesItsPlaceAtOnce)
{
    PillInStack s;
    s.f.editor->goToPage(3);
    at(s.pill->resizing()->animation(), 1000);
    // Same number of digits: the number rolls, the pill keeps its size.
    s.f.editor->goToPage(4);
    EXPECT_TRUE(s.pill->pageLabel()->isRolling());
    EXPECT_FALSE(s.pill->resizing()->isRunning());
    // Mid-way through a resize, the field opens: the morph ends and the layout is in charge again.
    s.f.editor->goToPage(12);
    EXPECT_TRUE(s.pill->resizing()->isRunning());
    at(s.pill->resizing()->animation(), 100);
    s.pill->beginEditing();
    EXPECT_FALSE(s.pill->resizing()->isRunning());
    layOut();
    EXPECT_TRUE(s.pill->field()->isVisibleTo(s.pill));
    EXPECT_EQ(s.pill->width(), s.pill->sizeHint().width());
    EXPECT_TRUE(s.pill->rect().contains(s.pill->field()->geometry()));
    EXPECT_TRUE(s.pill->rect().contains(s.pill->nextButton()->geometry()));
}

TEST(PillMotion, ANewProgressTitleWidensThePillOnASpringThatNeverOvershootsAndCarriesTheBarAndButton)
{
    TaskProgress progress;
    progress.title = QStringLiteral("Reading page 9 of 12…");
    ProgressPill pill(progress);
    bool reduce = false;
    pill.setReduceMotionProvider([&] { return reduce; });
    pill.show();
    const int before = pill.sizeHint().width();

    progress.title = QStringLiteral("Reading page 10 of 12…");
    pill.setProgress(progress);
    const QVariantAnimation& clock = pill.resizing()->animation();
    EXPECT_EQ(clock.duration(), settlingSpringMotion().durationMs);
    EXPECT_EQ(pill.titleLabel()->leavingText(), QStringLiteral("Reading page 9 of 12…"));
    const int after = pill.resizing()->targetSize().width();
    ASSERT_GT(after, before);
    int previous = before;
    bool between = false;
    for (int ms = 0; ms <= clock.duration(); ms += 10) {
        at(clock, ms);
        const int w = pill.sizeHint().width();
        EXPECT_GE(w, previous) << ms; // steadily wider,
        EXPECT_LE(w, after) << ms;    // never past the new width
        between = between || (w > before && w < after);
        previous = w;
    }
    EXPECT_TRUE(between);
    at(clock, clock.duration());
    EXPECT_EQ(pill.sizeHint().width(), after);

    // The bar and the Stop button come with the next title: the title slides right to make room for the
    // bar while the pill grows, and everything ends where the layout puts it.
    pill.resize(pill.sizeHint());
    const int titleX = pill.titleLabel()->x();
    progress.title = QStringLiteral("Reading page 11 of 12…");
    progress.fraction = 0.5;
    progress.cancel = [] {};
    pill.setProgress(progress);
    ASSERT_TRUE(pill.resizing()->isRunning());
    EXPECT_TRUE(pill.bar()->isVisibleTo(&pill));
    EXPECT_TRUE(pill.stopButton()->isVisibleTo(&pill));
    const int barWidth = pill.bar()->width();
    at(pill.resizing()->animation(), 0);
    EXPECT_EQ(pill.titleLabel()->x(), titleX);
    // The bar opens from nothing as the title makes room for it, never running into the title.
    const auto barShows = [&] { return pill.bar()->x() + pill.bar()->mask().boundingRect().right(); };
    EXPECT_LT(barShows(), pill.bar()->x());
    const int span = pill.resizing()->animation().duration();
    for (int ms = 0; ms < span; ms += 20) {
        at(pill.resizing()->animation(), ms);
        EXPECT_LT(barShows(), pill.titleLabel()->x()) << ms;
        // Stop comes in behind the title and stays on the growing capsule.
        EXPECT_GT(pill.stopButton()->x(), pill.titleLabel()->geometry().right()) << ms;
        EXPECT_LE(pill.stopButton()->x() + pill.stopButton()->mask().boundingRect().right(),
                  pill.sizeHint().width() - glassShadowMargin()) << ms;
    }
    at(pill.resizing()->animation(), 150);
    EXPECT_GT(pill.titleLabel()->x(), titleX);
    EXPECT_LT(pill.titleLabel()->x(), titleX + barWidth + 12);
    EXPECT_GT(barShows(), pill.bar()->x());
    EXPECT_LT(barShows(), pill.bar()->geometry().right());
    at(pill.resizing()->animation(), pill.resizing()->animation().duration());
    pill.resize(pill.sizeHint());
    EXPECT_TRUE(pill.bar()->mask().isEmpty()); // whole again
    EXPECT_EQ(pill.titleLabel()->x(), titleX + barWidth + 12);
    EXPECT_GT(pill.stopButton()->x(), pill.titleLabel()->geometry().right());

    // Overtaken while the bar is still opening: the bar shows whole from then on.
    progress.title = QStringLiteral("Reading page 11 of 12… ");
    progress.fraction.reset();
    pill.setProgress(progress);
    progress.title = QStringLiteral("Reading page 11 of 12…");
    progress.fraction = 0.5;
    pill.setProgress(progress);
    at(pill.resizing()->animation(), 100);
    EXPECT_FALSE(pill.bar()->mask().isEmpty());
    progress.title = QStringLiteral("Reading page 11 of 12 …");
    pill.setProgress(progress);
    EXPECT_TRUE(pill.bar()->mask().isEmpty());
    at(pill.resizing()->animation(), pill.resizing()->animation().duration());

    // Reduced motion calms curves, not this spring: the same spring runs.
    reduce = true;
    progress.title = QStringLiteral("Reading page 12 of 12…");
    pill.setProgress(progress);
    EXPECT_EQ(pill.titleLabel()->rollAnimation().duration(), settlingSpringMotion().durationMs);
    // New progress under the same title (the bar moves on) resizes nothing.
    at(pill.resizing()->animation(), pill.resizing()->animation().duration());
    progress.fraction = 0.75;
    pill.setProgress(progress);
    EXPECT_FALSE(pill.resizing()->isRunning());
}

TEST(PillMotion, TheMorphPlacesChildrenBetweenTheirTwoPlacesAndLeavesTheLayoutInChargeAtRest)
{
    EXPECT_EQ(SizeMorph::between(QRect(0, 0, 10, 10), QRect(100, 20, 30, 10), 0.5), QRect(50, 10, 20, 10));
    EXPECT_EQ(SizeMorph::between(QRect(0, 0, 10, 10), QRect(100, 0, 10, 10), 1.1), QRect(110, 0, 10, 10));
    EXPECT_EQ(SizeMorph::between(QRect(0, 0, 10, 10), QRect(0, 0, 0, 10), 1.5).width(), 0); // never negative

    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    auto* left = new QLabel(QStringLiteral("a"), &row);
    auto* right = new QLabel(QStringLiteral("b"), &row);
    layout->addWidget(left);
    layout->addWidget(right);
    auto* morph = new SizeMorph(&row);
    row.show();
    row.resize(row.sizeHint());
    // Not on screen or no motion: at once.
    morph->capture();
    left->setText(QStringLiteral("a much longer text"));
    morph->run(MotionSpec{});
    EXPECT_FALSE(morph->isRunning());
    EXPECT_EQ(morph->sizeHint(QSize(1, 1)), QSize(1, 1));
    row.resize(row.sizeHint());
    QCoreApplication::processEvents();
    const QRect rightAtRest = right->geometry();

    morph->capture();
    left->setText(QStringLiteral("a"));
    morph->run(curveMotion(smoothCurve, 0.3, false));
    ASSERT_TRUE(morph->isRunning());
    // A resize from outside while it runs does not undo the glide.
    at(morph->animation(), 150);
    const QRect mid = right->geometry();
    row.resize(row.width() + 40, row.height());
    EXPECT_EQ(right->geometry(), mid);
    EXPECT_LT(mid.x(), rightAtRest.x());
    at(morph->animation(), 300);
    EXPECT_FALSE(morph->isRunning());
    EXPECT_TRUE(layout->isEnabled());
    row.resize(row.sizeHint());
    QCoreApplication::processEvents();
    EXPECT_LT(right->x(), mid.x());
}
