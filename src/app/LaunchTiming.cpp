#include "app/LaunchTiming.h"

#include "platform/services/Logger.h"
#include "platform/services/ProcessInfo.h"

namespace vmk::app {

namespace {
bool g_recorded = false;
std::function<double()> g_clock;
} // namespace

QString launchTimeMessage(double milliseconds, const QString& window)
{
    return QStringLiteral("launch-to-first-window ms=%1 window=%2").arg(milliseconds, 0, 'f', 1).arg(window);
}

void firstWindowMetric(const QString& window)
{
    if (g_recorded)
        return;
    // Set first, so that nothing below can lead to a second report.
    g_recorded = true;
    // The start time is read on the boot-time monotonic clock, so a wall-clock change during start-up
    // cannot distort (or make negative) the measured span.
    const double ms = g_clock ? g_clock() : platform::millisecondsSinceLaunch();
    auto& logger = platform::Logger::shared();
    logger.event(QStringLiteral("First window"));
    logger.log(platform::kPerfCategory, launchTimeMessage(ms, window));
}

bool firstWindowRecorded()
{
    return g_recorded;
}

void resetFirstWindowMetricForTesting(std::function<double()> millisecondsSinceLaunch)
{
    g_recorded = false;
    g_clock = std::move(millisecondsSinceLaunch);
}

} // namespace vmk::app
