#include "platform/services/HeapTrim.h"

#include "support/ProcessMemory.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QThread>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

using namespace vmk::platform;

// A trim that starts while a large release is still freeing misses what is freed after it: asked for
// during releases, it runs once, after the last of them, wherever that one ends.
TEST(HeapTrim, RunsOnceAfterTheLastReleaseUnderWay)
{
    struct Case {
        const char* name;
        int releases;     // begun before the trim is asked for
        bool endOnWorker; // the last one ends on another thread
    };
    const Case cases[] = {{"no release", 0, false}, {"one release", 1, false}, {"two, last on a worker", 2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(vmk::test::eventually([] { return !isHeapTrimUnderWay(); }));
        const int before = heapTrimsDone();
        for (int i = 0; i < c.releases; ++i)
            heapReleaseBegins();
        trimHeapSoon();
        for (int i = 1; i < c.releases; ++i) {
            heapReleaseEnds();
            QThread::msleep(20);
            EXPECT_EQ(heapTrimsDone(), before) << "trimmed while a release was still under way";
        }
        if (c.releases > 0) {
            QThread::msleep(20);
            EXPECT_EQ(heapTrimsDone(), before);
            EXPECT_TRUE(isHeapTrimUnderWay());
            std::unique_ptr<QThread> worker(QThread::create([] { heapReleaseEnds(); }));
            if (c.endOnWorker) {
                worker->start();
                worker->wait();
            } else {
                heapReleaseEnds();
            }
        }
        // Never seen at rest before the trim it owes is over.
        EXPECT_TRUE(heapTrimsDone() > before || isHeapTrimUnderWay());
        ASSERT_TRUE(vmk::test::eventually([] { return !isHeapTrimUnderWay(); }));
        EXPECT_EQ(heapTrimsDone(), before + 1);
    }
}

// Page text a worker read in its own heap is freed by other threads once its document closes, some of it
// after the trim that follows the close has run: those tens of MiB go back to the system as they are
// freed, not at the next trim, which may be a whole document away.
TEST(HeapTrim, SmallBlocksAWorkerMadeGoBackAsTheyAreFreed)
{
    std::vector<void*> blocks(600000); // not in the worker's heap
    const long before = vmk::test::processStatusKiB("RssAnon");
    std::thread([&blocks] {
        for (void*& block : blocks)
            std::memset(block = std::malloc(48), 1, 48);
    }).join();
    for (void* block : blocks)
        std::free(block);
    EXPECT_LT(vmk::test::processStatusKiB("RssAnon") - before, 8 * 1024) << "of about 38 MiB freed";
}
