#pragma once

#include <QProcessEnvironment>

namespace vmk::platform {

class UserDefaults;

// Whether the user asked for reduced motion. The environment variable VMK_REDUCE_MOTION ("1"/"true" on,
// "0"/"false" off) wins when set; then the user default "VMKReduceMotion" when it is set; otherwise the
// desktop's own setting (animations turned off there mean reduced motion).
bool reduceMotionEnabled();
bool reduceMotionEnabled(const UserDefaults& defaults, const QProcessEnvironment& environment, bool desktopAnimates = true);

} // namespace vmk::platform
