// Work the main thread must wait for, run while its event loop keeps turning and the user is answered.

#include "platform/pdf/engine/WaitRunner.h"
#include "platform/pdf/engine/InputDuringWait.h"
#include "support/MainThreadStall.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using vmk::pdf::detail::runWhileAnswering;

TEST(AnsweringWait, LongWorkRunsOnAWorkerWhileTimersGoOn)
{
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(5);
    std::atomic_bool ended{false};
    QThread* ranOn = nullptr;
    runWhileAnswering([&] {
        ranOn = QThread::currentThread();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ended = true;
    });
    EXPECT_TRUE(ended.load());
    EXPECT_NE(ranOn, QThread::currentThread());
    EXPECT_GE(ticks, 5);
}

TEST(AnsweringWait, ShortWorkIsSimplyWaitedForAndWorkersRunItInPlace)
{
    bool posted = false;
    QTimer::singleShot(0, [&] { posted = true; });
    runWhileAnswering([] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }, 5000);
    EXPECT_FALSE(posted); // nothing else ran meanwhile
    QCoreApplication::processEvents();
    EXPECT_TRUE(posted);

    QThread* ranOn = nullptr;
    QThread* caller = QThread::create([&] { runWhileAnswering([&] { ranOn = QThread::currentThread(); }); });
    caller->start();
    ASSERT_TRUE(caller->wait(10000));
    EXPECT_EQ(ranOn, caller);
    delete caller;
}

namespace {

using vmk::pdf::OnCancel;
using vmk::pdf::WaitOutcome;
using vmk::pdf::detail::runningWaitWorkers;
using vmk::pdf::waitCancelled;
using vmk::test::scaledMs;

// A shown window of widgets: what the user's keys and clicks reach.
struct ShownWindow {
    QWidget window;
    QLineEdit* field = new QLineEdit(&window);
    QPushButton* before = new QPushButton(QStringLiteral("Before"), &window);
    QPushButton* during = new QPushButton(QStringLiteral("During"), &window);
    int closes = 0;

    ShownWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(before);
        layout->addWidget(during);
        window.resize(240, 160);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        field->setFocus();
    }
    QWindow* handle() const { return window.windowHandle(); }
    QPoint centre(QWidget* w) const { return w->mapTo(&window, w->rect().center()); }
};

// Types as the window system would: each key through the window, shortcuts first.
void type(QWindow* window, const char* text)
{
    for (const char* c = text; *c; ++c)
        QTest::keyClick(window, *c);
}

// Work that goes on until it is told to stop or ten seconds pass, then takes `tail` more to end.
std::function<void()> untilCalledOff(std::shared_ptr<std::atomic<bool>> ended, int tailMs)
{
    return [ended, tailMs] {
        for (int i = 0; i < 2000 && !waitCancelled(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(tailMs));
        ended->store(true);
    };
}

} // namespace

TEST(AnsweringWait, EscCallsOffWorkThatMayBeLeftAtOnceAndTheWorkEndsOnItsOwn)
{
    ShownWindow shown;
    const int workersBefore = runningWaitWorkers();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    QTimer::singleShot(100, [&] { QTest::keyClick(shown.handle(), Qt::Key_Escape); });
    vmk::test::ThreadTimer clock;
    clock.start();
    EXPECT_EQ(runWhileAnswering(untilCalledOff(ended, 400), OnCancel::Abandon), WaitOutcome::Cancelled);
    EXPECT_LT(clock.elapsed(), scaledMs(450));
    EXPECT_FALSE(ended->load()); // the caller went on without it
    EXPECT_TRUE(vmk::test::eventually([&] { return runningWaitWorkers() == workersBefore; }, scaledMs(5000)));
    EXPECT_TRUE(ended->load());
    // The window takes keys again.
    type(shown.handle(), "ok");
    EXPECT_EQ(shown.field->text(), QStringLiteral("ok"));
}

TEST(AnsweringWait, ClosingAWindowStopsWorkThatMustEndThenClosesItAndQuitRunsTheQuitCommandAfter)
{
    ShownWindow shown;
    auto ended = std::make_shared<std::atomic<bool>>(false);
    QTimer::singleShot(100, [&] { shown.handle()->close(); });
    EXPECT_EQ(runWhileAnswering(untilCalledOff(ended, 100), OnCancel::Finish), WaitOutcome::Cancelled);
    EXPECT_TRUE(ended->load()); // waited for to its end
    EXPECT_TRUE(shown.window.isVisible()); // the close comes once the caller has gone on
    EXPECT_TRUE(vmk::test::eventually([&] { return !shown.window.isVisible(); }, scaledMs(2000)));

    ShownWindow other;
    QMenu menu;
    QAction* quit = menu.addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    int quits = 0;
    QObject::connect(quit, &QAction::triggered, [&] { ++quits; });
    ended->store(false);
    QTimer::singleShot(100, [&] { QTest::keyClick(other.handle(), Qt::Key_Q, Qt::ControlModifier); });
    EXPECT_EQ(runWhileAnswering(untilCalledOff(ended, 0), OnCancel::Finish), WaitOutcome::Cancelled);
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(vmk::test::eventually([&] { return quits == 1; }, scaledMs(2000)));
}

TEST(AnsweringWait, OtherInputIsRefusedWithAHintAndAPressMadeBeforeTheWaitIsReleasedAfterIt)
{
    ShownWindow shown;
    QAction save(QStringLiteral("Save"));
    save.setShortcut(QKeySequence::Save);
    shown.window.addAction(&save);
    int saves = 0, beforeClicks = 0, duringClicks = 0;
    QObject::connect(&save, &QAction::triggered, [&] { ++saves; });
    QObject::connect(shown.before, &QPushButton::clicked, [&] { ++beforeClicks; });
    QObject::connect(shown.during, &QPushButton::clicked, [&] { ++duringClicks; });
    QTest::mousePress(shown.handle(), Qt::LeftButton, {}, shown.centre(shown.before));
    ASSERT_TRUE(shown.before->isDown());

    bool hinted = false, waitShown = false;
    QString typed = QStringLiteral("-");
    QTimer::singleShot(100, [&] {
        type(shown.handle(), "lost");
        QTest::keyClick(shown.handle(), Qt::Key_S, Qt::ControlModifier);
        hinted = QToolTip::isVisible() && QToolTip::text() == vmk::pdf::detail::InputDuringWait::hintText();
        QTest::mouseRelease(shown.handle(), Qt::LeftButton, {}, shown.centre(shown.before));
        QTest::mouseClick(shown.handle(), Qt::LeftButton, {}, shown.centre(shown.during));
        typed = shown.field->text();
        waitShown = QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    const auto outcome = runWhileAnswering([] { std::this_thread::sleep_for(std::chrono::milliseconds(500)); },
                                           OnCancel::Finish);
    EXPECT_EQ(outcome, WaitOutcome::Finished);
    EXPECT_TRUE(typed.isEmpty());
    EXPECT_TRUE(hinted);
    EXPECT_TRUE(waitShown);
    EXPECT_EQ(beforeClicks + duringClicks + saves, 0); // nothing ran in the middle of the wait
    EXPECT_FALSE(QGuiApplication::overrideCursor());
    // The press made before the wait is let go after it: that button is clicked, nothing refused comes back.
    EXPECT_TRUE(vmk::test::eventually([&] { return beforeClicks == 1; }, scaledMs(2000)));
    QTest::qWait(50);
    EXPECT_EQ(duringClicks + saves, 0);
    EXPECT_TRUE(shown.field->text().isEmpty());
    EXPECT_FALSE(shown.before->isDown());
}
