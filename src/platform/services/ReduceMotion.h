#pragma once

#include <QProcessEnvironment>

namespace vmk::platform {

class UserDefaults;

// Whether animations should be replaced by short cross-fades. The environment variable
// VMK_REDUCE_MOTION ("1"/"true" on, "0"/"false" off) wins when set; otherwise the user default
// "VMKReduceMotion" decides.
bool reduceMotionEnabled();
bool reduceMotionEnabled(const UserDefaults& defaults, const QProcessEnvironment& environment);

} // namespace vmk::platform
