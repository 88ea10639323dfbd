#pragma once

#include <QVariantAnimation>

namespace vmk::test {

// Holds a motion's clock at `ms` so a test can look at the frame drawn then: a running clock is paused
// first, and a clock that has stopped (the motion is over or never started) is left alone.
inline void at(const QVariantAnimation& clock, int ms)
{
    auto& c = const_cast<QVariantAnimation&>(clock);
    if (c.state() == QAbstractAnimation::Stopped)
        return;
    if (c.state() == QAbstractAnimation::Running)
        c.pause();
    c.setCurrentTime(ms);
}

} // namespace vmk::test
