#pragma once

#include <QString>

#include <functional>

namespace vmk::app {

// Records the first window of the launch, "welcome" or "document": one "First window" signpost event
// and one "perf" line "launch-to-first-window ms=… window=…" per process. Later calls do nothing.
void firstWindowMetric(const QString& window);

// Whether the first window has been recorded.
bool firstWindowRecorded();

// For tests: forget the record and measure with the given clock (milliseconds since launch; null
// restores the process clock).
void resetFirstWindowMetricForTesting(std::function<double()> millisecondsSinceLaunch = {});

// The message logged for a launch, with exactly one decimal.
QString launchTimeMessage(double milliseconds, const QString& window);

} // namespace vmk::app
