#include "platform/services/HeapTrim.h"

#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QThread>

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
