#include "platform/ocr/RecognizerPool.h"

#include <gtest/gtest.h>

using namespace vmk::platform;

TEST(RecognizerPool, EngineLimitFollowsCoresAndHalfTheAvailableMemory)
{
    const qint64 engine = kRecognizerBytes;
    const struct {
        std::optional<qint64> available;
        int cores;
        int expected;
    } cases[] = {
        {std::nullopt, 8, 8},  // memory unknown: the cores decide
        {engine * 100, 8, 8},  // plenty of memory
        {engine * 6 + 1, 8, 3}, // half of it holds three
        {0, 8, 1},             // none to spare still reads, one page at a time
        {engine * 100, 0, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(recognitionEngineLimit(c.available, c.cores), c.expected) << c.available.value_or(-1) << " " << c.cores;
}

TEST(RecognizerPool, LendsIdleEnginesAgainAndEndsThemOnRelease)
{
    if (recognitionEngineLimit() < 2)
        GTEST_SKIP() << "too little memory for two engines";
    releaseIdleRecognizers();
    const int before = recognizersAlive();
    {
        const RecognizerLease lease;
        ASSERT_TRUE(lease->isAvailable());
    }
    { const RecognizerLease again; }
    EXPECT_EQ(recognizersAlive(), before + 1);
    {
        const RecognizerLease one, two;
        EXPECT_EQ(recognizersAlive(), before + 2);
    }
    releaseIdleRecognizers();
    EXPECT_EQ(recognizersAlive(), before);
    // One still reading when the task ends goes as it comes back, not to wait idle for a next task.
    {
        const RecognizerLease reading;
        releaseIdleRecognizers();
        EXPECT_EQ(recognizersAlive(), before + 1);
    }
    EXPECT_EQ(recognizersAlive(), before);
    { const RecognizerLease nextTask; }
    EXPECT_EQ(recognizersAlive(), before + 1); // a new task's engines wait for its pages again
    releaseIdleRecognizers();
}
