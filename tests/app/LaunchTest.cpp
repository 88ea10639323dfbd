#include "app/LaunchSwitches.h"
#include "app/LaunchTiming.h"

#include "platform/services/Logger.h"
#include "platform/services/UserDefaults.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vmk::app;
using vmk::platform::UserDefaults;

namespace {

struct Defaults {
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("defaults.ini")};
    void args(const QStringList& list) { defaults.setArguments(QStringList{"vellumark"} + list); }
};

} // namespace

TEST(LaunchSwitches, IntegersParseStrictly)
{
    EXPECT_EQ(parseWholeInteger("4"), 4);
    EXPECT_EQ(parseWholeInteger("+4"), 4);
    EXPECT_EQ(parseWholeInteger("-5"), -5);
    for (const char* bad : {"", "+", "-", " 4", "4 ", "abc", "4a", "0x4", "4.0", "++4", "9223372036854775808"})
        EXPECT_FALSE(parseWholeInteger(QString::fromLatin1(bad)).has_value()) << bad;
    EXPECT_EQ(parseWholeInteger("9223372036854775807"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(parseWholeInteger("-9223372036854775808"), std::numeric_limits<qint64>::min());
}

TEST(LaunchSwitches, ReadFromTheArgumentDomain)
{
    Defaults d;
    d.args({"-VMKInitialMode", "4", "-VMKInitialTool", "4", "-VMKInitialPage", "3", "-VMKShowSidebar", "NO",
            "-VMKShowInspector", "YES", "-VMKSearch", "invoice"});
    const LaunchSwitches s = readLaunchSwitches(d.defaults);
    EXPECT_EQ(s.mode, 4);
    EXPECT_EQ(s.tool, 4);
    EXPECT_EQ(s.page, 3);
    EXPECT_EQ(s.showSidebar, false);
    EXPECT_EQ(s.showInspector, true);
    EXPECT_EQ(s.search, QString("invoice"));

    // Out of range or unparsable switches are skipped; the others still apply.
    Defaults bad;
    bad.args({"-VMKInitialMode", "6", "-VMKInitialTool", "12", "-VMKInitialPage", "-5"});
    const LaunchSwitches b = readLaunchSwitches(bad.defaults);
    EXPECT_FALSE(b.mode);
    EXPECT_FALSE(b.tool);
    EXPECT_EQ(b.page, -5); // clamped to the first page by the window
    EXPECT_FALSE(b.showSidebar);
    EXPECT_FALSE(b.search);

    Defaults none;
    none.args({"-VMKInitialMode", "abc", "-VMKInitialTool", "-1", "-VMKSearch", ""});
    const LaunchSwitches n = readLaunchSwitches(none.defaults);
    EXPECT_FALSE(n.mode);
    EXPECT_FALSE(n.tool);
    EXPECT_EQ(n.search, QString("")); // an empty search still counts

    // A stored number counts by its decimal text.
    Defaults stored;
    stored.defaults.set("VMKInitialMode", 2);
    EXPECT_EQ(readLaunchSwitches(stored.defaults).mode, 2);
}

TEST(LaunchSwitches, Subtitles)
{
    EXPECT_EQ(documentSubtitle(2, 10, false), "Page 3 of 10");
    EXPECT_EQ(documentSubtitle(0, 1, false), "1 page");
    EXPECT_EQ(documentSubtitle(0, 10, true), "");
    EXPECT_EQ(documentSubtitle(0, 0, false), "");
}

TEST(LaunchTiming, OneLinePerLaunchWithOneDecimal)
{
    vmk::platform::LogCapture capture;
    resetFirstWindowMetricForTesting([] { return 412.0; });
    firstWindowMetric("welcome");
    firstWindowMetric("document");
    const QStringList perf = capture.linesWithPrefix("perf:");
    ASSERT_EQ(perf.size(), 1);
    EXPECT_EQ(perf[0], "perf: launch-to-first-window ms=412.0 window=welcome");
    EXPECT_EQ(capture.linesWithPrefix("signpost event \"First window\"").size(), 1);
    EXPECT_TRUE(firstWindowRecorded());

    EXPECT_EQ(launchTimeMessage(-1, "document"), "launch-to-first-window ms=-1.0 window=document");
    EXPECT_EQ(launchTimeMessage(12.345, "document"), "launch-to-first-window ms=12.3 window=document");

    // The process clock: a small positive span from this process's start.
    capture.clear();
    resetFirstWindowMetricForTesting();
    firstWindowMetric("document");
    const auto line = vmk::platform::parseLogLine(capture.linesWithPrefix("perf:").value(0));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->fields.value("window"), "document");
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d$").match(line->fields.value("ms")).hasMatch());
    resetFirstWindowMetricForTesting();
}
