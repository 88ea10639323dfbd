#include "OverlayTestSupport.h"

#include "chrome/PagePill.h"
#include "chrome/ProgressPill.h"
#include "chrome/RollingLabel.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::chrome;
using vmk::test::OverlayFixture;

namespace {

const MotionSpec kRoll = curveMotion(smoothCurve, 0.3, false);

void at(const RollingLabel& label, int ms)
{
    auto& clock = const_cast<QVariantAnimation&>(label.rollAnimation());
    if (clock.state() == QAbstractAnimation::Running)
        clock.pause();
    clock.setCurrentTime(ms);
}

// Pixels that differ between two pictures of the same size.
int difference(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += qGray(a.pixel(x, y)) / 40 != qGray(b.pixel(x, y)) / 40;
    return count;
}

struct Shown {
    QWidget window;
    RollingLabel* label;
    Shown()
    {
        window.resize(120, 40);
        window.setAutoFillBackground(true);
        window.setPalette(QPalette(Qt::white));
        label = new RollingLabel(&window);
        QPalette ink = label->palette();
        ink.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(ink);
        QFont big = label->font();
        big.setPixelSize(20);
        label->setFont(big);
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(0, 0, 120, 40);
        window.show();
    }
};

} // namespace

TEST(RollingLabel, OnlyTheChangedPartRolls)
{
    using C = RollingLabel::Change;
    auto same = [](C a, C b) { return a.start == b.start && a.fromLength == b.fromLength && a.toLength == b.toLength; };
    EXPECT_TRUE(same(RollingLabel::changeBetween("12", "13"), C{1, 1, 1}));
    EXPECT_TRUE(same(RollingLabel::changeBetween("9", "10"), C{0, 1, 2}));
    EXPECT_TRUE(same(RollingLabel::changeBetween("Reading page 9 of 12…", "Reading page 10 of 12…"), C{13, 1, 2}));
    EXPECT_TRUE(same(RollingLabel::changeBetween("page 11 of 12", "page 12 of 12"), C{6, 1, 1}));
    EXPECT_TRUE(same(RollingLabel::changeBetween("", "7"), C{0, 0, 1}));
    EXPECT_TRUE(same(RollingLabel::changeBetween("aa", "aaa"), C{2, 0, 1}));
}

TEST(RollingLabel, StartsAsTheOldTextEndsAsTheNewAndLeavesNothingRunning)
{
    Shown s;
    s.label->setText(QStringLiteral("18"));
    const QImage eighteen = s.window.grab().toImage();
    s.label->setText(QStringLiteral("19"));
    const QImage nineteen = s.window.grab().toImage();
    s.label->setText(QStringLiteral("18"));

    s.label->rollTo(QStringLiteral("19"), true, kRoll);
    EXPECT_EQ(s.label->text(), QStringLiteral("19")); // the text is the new one at once
    EXPECT_TRUE(s.label->isRolling());
    EXPECT_EQ(s.label->leavingText(), QStringLiteral("18"));
    at(*s.label, 0);
    EXPECT_LT(difference(s.window.grab().toImage(), eighteen), 12);
    at(*s.label, 150);
    const QImage midway = s.window.grab().toImage();
    EXPECT_GT(difference(midway, eighteen), 12);
    EXPECT_GT(difference(midway, nineteen), 12);
    at(*s.label, 300);
    EXPECT_FALSE(s.label->isRolling());
    EXPECT_EQ(s.label->leavingText(), QString());
    EXPECT_EQ(difference(s.window.grab().toImage(), nineteen), 0);

    // Overtaken half-way: the newest text rolls in and is what rests.
    s.label->rollTo(QStringLiteral("20"), true, kRoll);
    at(*s.label, 100);
    s.label->rollTo(QStringLiteral("21"), true, kRoll);
    EXPECT_EQ(s.label->leavingText(), QStringLiteral("20"));
    at(*s.label, 300);
    EXPECT_EQ(s.label->text(), QStringLiteral("21"));
    EXPECT_FALSE(s.label->isRolling());

    // No motion, or a label not on screen, shows the text at once.
    s.label->rollTo(QStringLiteral("22"), true, MotionSpec{});
    EXPECT_FALSE(s.label->isRolling());
    s.label->hide();
    s.label->rollTo(QStringLiteral("23"), true, kRoll);
    EXPECT_FALSE(s.label->isRolling());
    EXPECT_EQ(s.label->text(), QStringLiteral("23"));
    // Nor does one whose page or window is not showing, though it was never hidden itself.
    s.label->show();
    s.window.hide();
    s.label->rollTo(QStringLiteral("24"), true, kRoll);
    EXPECT_FALSE(s.label->isRolling());

    // Counting on: a rolling label rolls upward, even to a smaller number; a plain label just shows.
    s.window.show();
    countTo(s.label, QStringLiteral("12"), kRoll);
    EXPECT_TRUE(s.label->isRolling());
    at(*s.label, 150);
    const QImage counting = s.window.grab().toImage();
    s.label->rollTo(QStringLiteral("12"), false, kRoll); // the same text: nothing to do
    s.label->rollTo(QStringLiteral("24"), true, MotionSpec{});
    s.label->rollTo(QStringLiteral("12"), false, kRoll);
    at(*s.label, 150);
    EXPECT_GT(difference(s.window.grab().toImage(), counting), 12) << "down is not up";
    QLabel plain;
    countTo(&plain, QStringLiteral("7"), kRoll);
    EXPECT_EQ(plain.text(), QStringLiteral("7"));
}

TEST(RollingLabel, ThePagePillRollsItsNumberAndTheProgressPillItsTitle)
{
    OverlayFixture f(40);
    bool reduce = false;
    PagePill pill(f.editor.get());
    pill.setReduceMotionProvider([&] { return reduce; });
    pill.show();
    EXPECT_FALSE(pill.pageLabel()->isRolling()); // the first page number is simply there
    f.editor->goToPage(4);
    EXPECT_EQ(pill.pageLabel()->text(), QStringLiteral("5"));
    EXPECT_TRUE(pill.pageLabel()->isRolling());
    EXPECT_EQ(pill.pageLabel()->rollAnimation().duration(), 480);
    reduce = true; // a short ease instead of the overshoot
    f.editor->goToPage(2);
    EXPECT_EQ(pill.pageLabel()->text(), QStringLiteral("3"));
    EXPECT_EQ(pill.pageLabel()->rollAnimation().duration(), 200);

    TaskProgress progress;
    progress.title = QStringLiteral("Reading page 9 of 12…");
    ProgressPill task(progress);
    task.setReduceMotionProvider([] { return false; });
    task.show();
    progress.title = QStringLiteral("Reading page 10 of 12…");
    task.setProgress(progress);
    EXPECT_TRUE(task.titleLabel()->isRolling());
    EXPECT_EQ(task.titleLabel()->leavingText(), QStringLiteral("Reading page 9 of 12…"));
    EXPECT_EQ(task.titleLabel()->rollAnimation().duration(), settlingSpringMotion().durationMs);
    const double span = settlingSpringMotion().durationMs / 1000.0;
    EXPECT_NEAR(settlingSpringMotion().easing.valueForProgress(0.5), springValue(0.5, 1.0, span / 2), 1e-3);
    EXPECT_NEAR(settlingSpringMotion().easing.valueForProgress(0.999), 1.0, 0.02); // settled by its end
    double peak = 0;
    for (double t = 0; t <= 1.0; t += 0.02)
        peak = std::max(peak, settlingSpringMotion().easing.valueForProgress(t));
    EXPECT_LE(peak, 1.0);
}
