#include "platform/services/Logger.h"
#include "platform/services/ProcessInfo.h"

#include <gtest/gtest.h>

using namespace vmk::platform;

TEST(Logger, LinesCanBeCapturedAndParsed)
{
    Logger& logger = Logger::shared();
    double clock = 100;
    logger.setClock([&] { return clock; });
    LogCapture capture;
    logger.log(kPerfCategory, QStringLiteral("launch-to-first-window ms=%1 window=welcome").arg(412.0, 0, 'f', 1));
    quint64 id = 0;
    {
        SignpostInterval interval("Open Document");
        id = interval.id();
        clock += 12.5;
    }
    logger.event("First window");
    logger.setClock(nullptr);

    ASSERT_EQ(capture.lines().size(), 4);
    EXPECT_EQ(capture.lines()[0], "perf: launch-to-first-window ms=412.0 window=welcome");
    const auto perf = parseLogLine(capture.lines()[0]);
    ASSERT_TRUE(perf);
    EXPECT_EQ(perf->head, "perf");
    EXPECT_EQ(perf->message, "launch-to-first-window");
    EXPECT_EQ(perf->fields.value("window"), "welcome");

    const auto begin = parseLogLine(capture.lines()[1]);
    const auto end = parseLogLine(capture.lines()[2]);
    ASSERT_TRUE(begin && end);
    EXPECT_EQ(begin->head, "signpost begin");
    EXPECT_EQ(begin->name, "Open Document");
    EXPECT_EQ(end->head, "signpost end");
    EXPECT_EQ(end->fields.value("id"), QString::number(id));
    EXPECT_EQ(begin->fields.value("id"), end->fields.value("id"));
    EXPECT_EQ(end->fields.value("ms"), "12.5");
    const auto event = parseLogLine(capture.lines()[3]);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->head, "signpost event");
    EXPECT_EQ(event->name, "First window");

    EXPECT_FALSE(parseLogLine("no category here"));
}

TEST(ProcessInfo, MillisecondsSinceLaunchIsPositiveAndGrows)
{
    const double a = millisecondsSinceLaunch();
    ASSERT_GT(a, 0);
    const double b = millisecondsSinceLaunch();
    EXPECT_GE(b, a);
    EXPECT_LT(a, 24.0 * 3600 * 1000);
}
