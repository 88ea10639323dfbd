#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

#include <functional>

namespace vmk::test {

// Runs the event loop until `condition` holds or the time is up, and says which. Qt's QTRY_ macros only
// return from the function on failure, which a gtest case takes for a pass; wrap this in ASSERT_TRUE.
[[nodiscard]] inline bool eventually(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

} // namespace vmk::test
