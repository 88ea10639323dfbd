#pragma once

#include "platform/services/Scheduler.h"

#include <functional>

class QWidget;

namespace vmk::chrome {

// Runs `step` through `scheduler` once the window system has exposed `window` (its first frame is then
// painted and sent), or after `fallbackSeconds` when it never does (a window shown on another desktop).
// Work that holds the main thread and starts before the first frame leaves a mapped window unpainted,
// which the screen shows as black for as long as the work takes. A window already on screen runs the
// step at the scheduler's next turn.
void afterFirstFrame(QWidget* window, platform::Scheduler& scheduler, std::function<void()> step,
                     double fallbackSeconds = 1.0);

} // namespace vmk::chrome
