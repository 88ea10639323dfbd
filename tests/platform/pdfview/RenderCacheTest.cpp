#include "platform/pdfview/NavigationHistory.h"
#include "platform/pdfview/RenderScheduler.h"
#include "platform/pdfview/TileCache.h"
#include "platform/pdfview/WorkerPool.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace vmk;
using namespace vmk::pdfview;

namespace {
QImage tileImage(int side = kTileSize)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}
const std::size_t kTileBytes = std::size_t(kTileSize) * kTileSize * 4;
} // namespace

TEST(TileCache, EvictsLeastRecentlyUsedUnwantedTilesDownToItsBudget)
{
    TileCache cache(3 * kTileBytes);
    for (int row = 0; row < 5; ++row)
        cache.insert(TileKey{0, 1000, 0, row, 0}, tileImage());
    EXPECT_EQ(cache.size(), 5u);
    EXPECT_EQ(cache.bytes(), 5 * kTileBytes);
    cache.find(TileKey{0, 1000, 0, 0, 0}); // recently used now

    // Row 1 is wanted; of the rest, rows 2 and 3 are the least recently used.
    cache.retain(TileKeySet{TileKey{0, 1000, 0, 1, 0}});
    EXPECT_EQ(cache.size(), 3u);
    EXPECT_TRUE(cache.contains(TileKey{0, 1000, 0, 0, 0}));
    EXPECT_TRUE(cache.contains(TileKey{0, 1000, 0, 1, 0}));
    EXPECT_TRUE(cache.contains(TileKey{0, 1000, 0, 4, 0}));
    EXPECT_EQ(cache.bytes(), 3 * kTileBytes);

    // Wanted tiles are kept even over budget: what is on screen is never thrown away.
    cache.setBudget(0);
    cache.retain(TileKeySet{TileKey{0, 1000, 0, 4, 0}});
    EXPECT_EQ(cache.keys(), std::vector<TileKey>{(TileKey{0, 1000, 0, 4, 0})});

    // Replacing a tile does not count it twice.
    cache.insert(TileKey{0, 1000, 0, 4, 0}, tileImage(10));
    EXPECT_EQ(cache.bytes(), std::size_t(10 * 10 * 4));
}

TEST(TileCache, StandInsAreOtherScalesOrOlderGenerationsOfThePage)
{
    TileCache cache;
    cache.insert(TileKey{1, 500, 0, 0, 0}, tileImage());
    cache.insert(TileKey{1, 1000, 0, 0, 0}, tileImage()); // an older look of the page
    cache.insert(TileKey{1, 1000, 0, 0, 1}, tileImage()); // current
    cache.insert(TileKey{2, 500, 0, 0, 0}, tileImage());  // another page
    std::vector<TileKey> seen;
    cache.forEachStandIn(1, 1000, 1, [&](const TileKey& key, const QImage&) { seen.push_back(key); });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (TileKey{1, 500, 0, 0, 0})); // oldest first, so newer ones paint over it
    EXPECT_EQ(seen[1], (TileKey{1, 1000, 0, 0, 0}));

    cache.removeStandIns(1, 1000, 1);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_TRUE(cache.contains(TileKey{2, 500, 0, 0, 0}));
    cache.removePage(2);
    cache.removeOtherScales(1000);
    EXPECT_EQ(cache.keys(), std::vector<TileKey>{(TileKey{1, 1000, 0, 0, 1})});
    cache.clear();
    EXPECT_EQ(cache.bytes(), 0u);
}

TEST(RenderScheduler, DeliversOnTheOwnersThreadAndDropsCancelledRequests)
{
    RenderScheduler scheduler(2);
    QSignalSpy spy(&scheduler, &RenderScheduler::tileReady);
    std::atomic_bool release{false};
    std::atomic_int renders{0};
    QThread* mainThread = QThread::currentThread();
    std::atomic_bool deliveredOnMain{true};
    QObject::connect(&scheduler, &RenderScheduler::tileReady, [&] {
        if (QThread::currentThread() != mainThread)
            deliveredOnMain = false;
    });
    auto blocking = [&] {
        while (!release)
            QThread::yieldCurrentThread();
        ++renders;
        return tileImage(4);
    };
    const TileKey kept{0, 1000, 0, 0, 0}, dropped{0, 1000, 0, 1, 0}, other{1, 1000, 0, 0, 0};
    scheduler.request(kept, blocking);
    scheduler.request(kept, blocking); // already queued: ignored
    scheduler.request(dropped, blocking);
    scheduler.request(other, blocking);
    EXPECT_EQ(scheduler.pendingCount(), 3u);

    scheduler.retain(TileKeySet{kept, other});
    scheduler.cancelPage(1);
    EXPECT_EQ(scheduler.pendingCount(), 1u);
    release = true;
    scheduler.waitForWorkers();
    ASSERT_TRUE(vmk::test::eventually([&] { return spy.count() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<TileKey>(), kept);
    EXPECT_TRUE(deliveredOnMain);
    EXPECT_LE(renders.load(), 3); // cancelled work that had started may finish, but is never delivered
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

// Waking the owner's thread costs more than handing over a tile: tiles that finished while it was busy
// come in one wake-up, and a tile cancelled meanwhile is not among them.
TEST(RenderScheduler, TilesFinishedWhileTheOwnerIsBusyArriveOnOneWakeUp)
{
    RenderScheduler scheduler(3);
    struct WakeUps : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::MetaCall)
                ++count;
            return false;
        }
    } wakeUps;
    scheduler.installEventFilter(&wakeUps);
    std::vector<TileKey> delivered;
    QObject::connect(&scheduler, &RenderScheduler::tileReady,
                     [&](const TileKey& key, const QImage& image) {
                         EXPECT_EQ(image.width(), 4 + key.row);
                         delivered.push_back(key);
                     });
    std::atomic_int next{0};
    for (int row = 0; row < 6; ++row)
        scheduler.request(TileKey{0, 1000, 0, row, 0}, [&next, row] {
            // One after another, so that the three workers are seen finishing at different times.
            while (next.load() != row)
                QThread::yieldCurrentThread();
            QImage image = tileImage(4 + row);
            ++next;
            return image;
        });
    scheduler.cancelPage(7); // nothing of that page: everything stays wanted
    scheduler.waitForWorkers(); // the owner is busy until every tile is done
    scheduler.retain(TileKeySet{TileKey{0, 1000, 0, 0, 0}, TileKey{0, 1000, 0, 2, 0}, TileKey{0, 1000, 0, 3, 0},
                                TileKey{0, 1000, 0, 4, 0}, TileKey{0, 1000, 0, 5, 0}}); // row 1 scrolled away
    ASSERT_TRUE(vmk::test::eventually([&] { return delivered.size() == 5u; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(wakeUps.count, 1);
    std::vector<int> rows;
    for (const TileKey& key : delivered)
        rows.push_back(key.row);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<int>{0, 2, 3, 4, 5}));
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    // A tile finishing after the batch was taken wakes the owner again.
    scheduler.request(TileKey{1, 1000, 0, 0, 0}, [] { return tileImage(4); });
    ASSERT_TRUE(vmk::test::eventually([&] { return delivered.size() == 6u; }));
    EXPECT_EQ(wakeUps.count, 2);
}

TEST(RenderScheduler, ReportsAFailedRenderWithItsReason)
{
    RenderScheduler scheduler(1);
    QSignalSpy ready(&scheduler, &RenderScheduler::tileReady);
    QSignalSpy failed(&scheduler, &RenderScheduler::tileFailed);
    scheduler.request(TileKey{0, 1000, 0, 0, 0}, [] { return QImage(); });
    scheduler.request(TileKey{1, 1000, 0, 0, 0}, RenderScheduler::BudgetedRender([](const pdf::RecordCancel&) {
                          return pdf::DrawResult{pdf::RecordOutcome::tooLarge, {}};
                      }),
                      0, 1000);
    ASSERT_TRUE(vmk::test::eventually([&] { return failed.count() == 2; }));
    EXPECT_EQ(ready.count(), 0);
    EXPECT_EQ(failed.at(0).at(0).value<TileKey>().page, 0);
    EXPECT_EQ(failed.at(0).at(1).value<pdf::RecordOutcome>(), pdf::RecordOutcome::failed);
    EXPECT_EQ(failed.at(1).at(1).value<pdf::RecordOutcome>(), pdf::RecordOutcome::tooLarge);
}

namespace {

// A render deaf to its cancel flag, as a decoder deep in one image is, until the gate opens.
RenderScheduler::BudgetedRender deafUntil(const std::atomic_bool& gate, std::atomic_int& started)
{
    return [&gate, &started](const pdf::RecordCancel&) {
        ++started;
        while (!gate.load())
            QThread::msleep(2);
        return pdf::DrawResult{pdf::RecordOutcome::recorded, tileImage(4)};
    };
}

} // namespace

TEST(RenderScheduler, ARenderStuckPastItsBudgetIsGivenUpAndItsWorkerReplaced)
{
    constexpr int kBudget = 100;
    const int writtenOffBefore = WorkerPool::writtenOffCount();
    RenderScheduler scheduler(1);
    QSignalSpy ready(&scheduler, &RenderScheduler::tileReady);
    QSignalSpy failed(&scheduler, &RenderScheduler::tileFailed);
    std::atomic_bool gate{false};
    std::atomic_int started{0};
    const TileKey stuck{0, 1000, 0, 0, 3}, after{1, 1000, 0, 0, 3}, scrolledAway{2, 1000, 0, 0, 3};
    QElapsedTimer clock;
    clock.start();
    scheduler.request(stuck, deafUntil(gate, started), 1, kBudget);
    scheduler.request(after, RenderScheduler::BudgetedRender([](const pdf::RecordCancel&) {
                          return pdf::DrawResult{pdf::RecordOutcome::recorded, tileImage(4)};
                      }),
                      0, kBudget);

    // The only worker is stuck: shortly after the budget the render is reported too slow, and the tile
    // waiting behind it is drawn on the worker put in its place.
    ASSERT_TRUE(vmk::test::eventually([&] { return failed.count() == 1; }, vmk::test::scaledMs(5000)));
    EXPECT_GE(clock.elapsed(), kBudget);
    EXPECT_EQ(failed.at(0).at(0).value<TileKey>(), stuck);
    EXPECT_EQ(failed.at(0).at(1).value<pdf::RecordOutcome>(), pdf::RecordOutcome::tooSlow);
    EXPECT_FALSE(scheduler.isPending(stuck));
    ASSERT_TRUE(vmk::test::eventually([&] { return ready.count() == 1; }, vmk::test::scaledMs(5000)));
    EXPECT_EQ(ready.at(0).at(0).value<TileKey>(), after);
    EXPECT_EQ(WorkerPool::writtenOffCount(), writtenOffBefore + 1);

    // A stuck render whose tile is no longer wanted is given up all the same: its page took too long.
    scheduler.request(scrolledAway, deafUntil(gate, started), 0, kBudget);
    ASSERT_TRUE(vmk::test::eventually([&] { return started.load() == 2; }, vmk::test::scaledMs(5000)));
    scheduler.retain({});
    ASSERT_TRUE(vmk::test::eventually([&] { return failed.count() == 2; }, vmk::test::scaledMs(5000)));
    EXPECT_EQ(failed.at(1).at(0).value<TileKey>(), scrolledAway);
    EXPECT_EQ(WorkerPool::writtenOffCount(), writtenOffBefore + 2);

    // Once the renders end, their threads go back and what they drew is never delivered; nothing is
    // reported twice.
    gate = true;
    ASSERT_TRUE(vmk::test::eventually([&] { return WorkerPool::writtenOffCount() == writtenOffBefore; },
                                      vmk::test::scaledMs(5000)));
    QTest::qWait(50);
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(failed.count(), 2);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(WorkerPool, OnlyAFewStuckPiecesOfWorkGetAThreadInTheirPlace)
{
    // The limit is the whole process's: what earlier tests left running ends first.
    ASSERT_TRUE(vmk::test::eventually([] { return WorkerPool::writtenOffCount() == 0; }, vmk::test::scaledMs(30000)));
    WorkerPool pool(QStringLiteral("test.stuck"), 1);
    std::atomic_bool gate{false};
    std::atomic_int running{0};
    std::vector<std::shared_ptr<WorkerPool::Job>> jobs;
    int replaced = 0;
    for (int i = 0; i < 6; ++i) {
        jobs.push_back(pool.start([&] {
            ++running;
            while (!gate.load())
                QThread::msleep(2);
        }));
        // Each written-off job's thread takes the next one.
        ASSERT_TRUE(vmk::test::eventually([&] { return running.load() == std::min(i + 1, replaced + 1); }));
        EXPECT_TRUE(jobs.back()->hasStarted() || replaced >= 4);
        if (jobs.back()->hasStarted() && pool.writeOff(jobs.back()))
            ++replaced;
    }
    EXPECT_EQ(replaced, 4);
    EXPECT_EQ(WorkerPool::writtenOffCount(), 4);
    EXPECT_EQ(running.load(), 5); // the fifth keeps its worker; the sixth waits for one
    EXPECT_FALSE(pool.writeOff(jobs.back()));
    gate = true;
    EXPECT_TRUE(pool.waitForDone(vmk::test::scaledMs(5000)));
    EXPECT_EQ(WorkerPool::writtenOffCount(), 0);
    EXPECT_EQ(pool.maxThreadCount(), 1);
    EXPECT_TRUE(jobs.front()->hasEnded());
    EXPECT_FALSE(pool.writeOff(jobs.front()));
}

TEST(WorkerPool, AWorkerTakesTheQueuedPlaceNearestItsLastOrStartsFarFromTheOthers)
{
    struct Case {
        std::vector<int> queued;
        std::optional<int> own;
        std::vector<int> others;
        int expected; // the place taken
    };
    const Case cases[] = {
        {{7, 3, 9}, std::nullopt, {}, 7},   // nobody placed yet: the oldest
        {{1, 50, 99}, std::nullopt, {0}, 99}, // as far as it can from the others
        {{1, 30, 60, 99}, std::nullopt, {0, 99}, 60},
        {{4, 6, 20}, 5, {}, 6},             // nearest its last, forward on a tie
        {{4, 20}, 5, {}, 4},
        {{9, 12, 40}, 10, {11}, 9},         // 12 is nearer another worker
        {{14, 15, 40}, 10, {13}, 40},       // nothing of its own left: far from the others
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.queued[pdfview::detail::choosePlace(c.queued, c.own, c.others)], c.expected)
            << "own " << c.own.value_or(-1) << ", first queued " << c.queued.front();
}

TEST(WorkerPool, PlacedWorkRunsByPriorityThenNearTheWorkersLastPlace)
{
    WorkerPool pool(QStringLiteral("test.placed"), 1);
    std::atomic_bool gate{false};
    std::mutex mutex;
    std::vector<int> order;
    auto work = [&](int place) {
        return [&, place] {
            while (!gate.load())
                QThread::msleep(1);
            std::lock_guard lock(mutex);
            order.push_back(place);
        };
    };
    const auto first = pool.start(work(10), 0, 10);
    ASSERT_TRUE(vmk::test::eventually([&] { return first->hasStarted(); }));
    for (const int place : {50, 11, 49, 12})
        pool.start(work(place), 0, place);
    pool.start(work(90), 1, 90);
    gate = true;
    ASSERT_TRUE(pool.waitForDone(vmk::test::scaledMs(5000)));
    EXPECT_EQ(order, (std::vector<int>{10, 90, 50, 49, 12, 11}));
}

TEST(WorkerPool, NeighbouringPlacesQueuedTogetherRunTogether)
{
    // A few visible pages side by side are drawn at once, however near each other they lie.
    WorkerPool pool(QStringLiteral("test.together"), 3);
    std::atomic_int started{0};
    for (const int place : {5, 6, 7})
        pool.start([&] {
            ++started;
            QDeadlineTimer deadline(vmk::test::scaledMs(5000));
            while (started.load() < 3 && !deadline.hasExpired())
                QThread::msleep(1);
        }, 0, place);
    EXPECT_TRUE(vmk::test::eventually([&] { return started.load() == 3; }, vmk::test::scaledMs(5000)));
    EXPECT_TRUE(pool.waitForDone(vmk::test::scaledMs(5000)));
}

TEST(WorkerPool, PlacesQueuedInABatchWaitForItsEndAndAreDividedByRegion)
{
    WorkerPool pool(QStringLiteral("test.batch"), 2);
    std::mutex mutex;
    std::map<std::thread::id, std::vector<int>> taken;
    std::vector<std::shared_ptr<WorkerPool::Job>> jobs;
    {
        const WorkerPool::Batch together(pool);
        for (int place = 0; place < 12; ++place)
            jobs.push_back(pool.start([&, place] {
                std::lock_guard lock(mutex);
                taken[std::this_thread::get_id()].push_back(place);
            }, 0, place));
        // The first is what the caller wants soonest; the rest wait for the whole batch.
        ASSERT_TRUE(vmk::test::eventually([&] { return jobs.front()->hasEnded(); }));
        QThread::msleep(20);
        for (std::size_t i = 1; i < jobs.size(); ++i)
            EXPECT_FALSE(jobs[i]->hasStarted()) << "place " << i;
    }
    ASSERT_TRUE(pool.waitForDone(vmk::test::scaledMs(5000)));
    // However the two workers took turns, each drew one run of neighbouring places.
    for (auto& [thread, places] : taken) {
        std::sort(places.begin(), places.end());
        EXPECT_EQ(places.back() - places.front() + 1, int(places.size()));
    }
}

TEST(NavigationHistory, BackAndForwardLikeABrowser)
{
    NavigationHistory history;
    EXPECT_FALSE(history.canGoBack());
    history.recordJumpFrom({0, {0, 800}});
    history.recordJumpFrom({5, {0, 700}});
    ViewLocation target;
    ASSERT_TRUE(history.goBack({9, {0, 600}}, &target));
    EXPECT_EQ(target.page, 5);
    EXPECT_TRUE(history.canGoForward());
    ASSERT_TRUE(history.goForward({5, {0, 700}}, &target));
    EXPECT_EQ(target.page, 9);
    ASSERT_TRUE(history.goBack({9, {0, 600}}, &target));
    // A new jump drops the way forward.
    history.recordJumpFrom({5, {0, 700}});
    EXPECT_FALSE(history.canGoForward());
    EXPECT_FALSE(history.goForward({1, {}}, &target));

    history.recordJumpFrom({-1, {}}); // nowhere: not recorded
    history.clampToPageCount(3);      // page 5 no longer exists
    ASSERT_TRUE(history.goBack({1, {}}, &target));
    EXPECT_EQ(target.page, 0);
    EXPECT_FALSE(history.canGoBack());

    for (int i = 0; i < int(NavigationHistory::kLimit) + 10; ++i)
        history.recordJumpFrom({i, {}});
    int steps = 0;
    while (history.goBack({0, {}}, &target))
        ++steps;
    EXPECT_EQ(steps, int(NavigationHistory::kLimit));
}
