#include "EditorTestSupport.h"
#include "editor/CostOrderedLoop.h"

#include <gtest/gtest.h>

#include <map>

using namespace vmk;
using namespace vmk::test;

namespace {

// Holds each item's preparation and reading until the test hands it back, and records what the loop did.
struct Recorder {
    std::map<int, std::function<void(std::optional<double>)>> preparing;
    std::map<int, std::function<void()>> reading;
    QList<int> prepared, read, completed;
    QList<int> skipped; // prepare answers false for these
    int finished = 0;
    int mostInFlight = 0;

    CostOrderedLoop loop()
    {
        CostOrderedLoop loop;
        loop.prepare = [this](int i, std::function<void(std::optional<double>)> done) {
            if (skipped.contains(i))
                return false;
            prepared << i;
            preparing[i] = std::move(done);
            noteInFlight();
            return true;
        };
        loop.read = [this](int i, std::function<void()> done) {
            read << i;
            reading[i] = std::move(done);
            noteInFlight();
        };
        loop.completed = [this](int i) { completed << i; };
        loop.finish = [this] { ++finished; };
        return loop;
    }
    void noteInFlight() { mostInFlight = std::max(mostInFlight, int(preparing.size() + reading.size())); }
    // Hands item i's work back, as the runner does on the main thread.
    void prepare(int i, std::optional<double> cost)
    {
        auto done = std::move(preparing.at(i));
        preparing.erase(i);
        done(cost);
    }
    void finishReading(int i)
    {
        auto done = std::move(reading.at(i));
        reading.erase(i);
        done();
    }
};

} // namespace

TEST(CostOrderedLoop, ReadsTheCostliestPreparedItemFirstWithinTheWidth)
{
    EditorFixture f;
    Recorder r;
    CostOrderedLoop::run(f.editor.get(), nullptr, 6, 2, false, r.loop());
    EXPECT_EQ(r.prepared, (QList<int>{0, 1}));

    // Two workers keep up to four prepared items waiting: preparing goes on until four wait or are on the way.
    r.prepare(0, 1);
    r.prepare(1, 5);
    EXPECT_EQ(r.prepared, (QList<int>{0, 1, 2, 3}));
    EXPECT_TRUE(r.read.isEmpty());
    r.prepare(2, 3); // 0, 1 and 2 wait and 3 is on the way: the costliest waiting is read
    EXPECT_EQ(r.read, (QList<int>{1}));
    r.prepare(3, 9);
    EXPECT_EQ(r.prepared, (QList<int>{0, 1, 2, 3, 4}));
    r.finishReading(1);
    EXPECT_EQ(r.read, (QList<int>{1, 3}));

    // Nothing to read completes the item at once; of equal costs the earlier item goes first.
    r.prepare(4, std::nullopt);
    EXPECT_EQ(r.prepared, (QList<int>{0, 1, 2, 3, 4, 5}));
    r.prepare(5, 3);
    EXPECT_EQ(r.read, (QList<int>{1, 3, 2}));
    r.finishReading(3);
    EXPECT_EQ(r.read, (QList<int>{1, 3, 2, 5}));
    r.finishReading(5);
    r.finishReading(2);
    EXPECT_EQ(r.finished, 0);
    r.finishReading(0);

    EXPECT_EQ(r.read, (QList<int>{1, 3, 2, 5, 0}));
    EXPECT_EQ(r.completed, (QList<int>{1, 4, 3, 5, 2, 0}));
    EXPECT_EQ(r.finished, 1);
    EXPECT_EQ(r.mostInFlight, 2);
}

TEST(CostOrderedLoop, StopLetsStartedReadsEndAndDropsWhatWaits)
{
    EditorFixture f;
    Recorder r;
    r.skipped = {1};
    auto task = std::make_shared<RunningTask>();
    CostOrderedLoop::run(f.editor.get(), task, 5, 2, true, r.loop());
    // A skipped item completes at once and the next one is prepared in its place.
    EXPECT_EQ(r.prepared, (QList<int>{0, 2}));
    EXPECT_EQ(r.completed, (QList<int>{1}));
    r.prepare(0, 2);
    r.prepare(2, 4);
    r.prepare(3, 1); // 0, 2 and 3 wait, 4 is on the way
    EXPECT_EQ(r.read, (QList<int>{2}));

    task->cancel();
    r.prepare(4, 8); // dropped, as are 0 and 3
    EXPECT_EQ(r.finished, 0);
    r.finishReading(2);
    EXPECT_EQ(r.read, (QList<int>{2}));
    EXPECT_EQ(r.completed, (QList<int>{1, 2}));
    EXPECT_EQ(r.finished, 1);
    EXPECT_TRUE(r.preparing.empty());
    EXPECT_TRUE(r.reading.empty());

    // Cancelled before anything started: straight to the end.
    Recorder early;
    CostOrderedLoop::run(f.editor.get(), task, 3, 2, true, early.loop());
    EXPECT_TRUE(early.prepared.isEmpty());
    EXPECT_EQ(early.finished, 1);
    // Nothing at all to do finishes as well.
    Recorder none;
    CostOrderedLoop::run(f.editor.get(), nullptr, 0, 2, false, none.loop());
    EXPECT_EQ(none.finished, 1);
}

TEST(CostOrderedLoop, AnEditorThatGoesAwayEndsTheLoopWithoutAWord)
{
    auto f = std::make_unique<EditorFixture>();
    Recorder r;
    CostOrderedLoop::run(f->editor.get(), nullptr, 4, 1, false, r.loop());
    r.prepare(0, 1);
    r.prepare(1, 1);
    ASSERT_EQ(r.read, (QList<int>{0}));
    f->editor.reset();
    r.finishReading(0);
    EXPECT_TRUE(r.completed.isEmpty());
    EXPECT_EQ(r.prepared, (QList<int>{0, 1}));
    EXPECT_EQ(r.finished, 0);
}
