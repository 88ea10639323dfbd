#pragma once

namespace vmk::platform {

// Milliseconds since this process started, on the boot-time monotonic clock; -1 when the start time
// can't be read.
double millisecondsSinceLaunch();

} // namespace vmk::platform
