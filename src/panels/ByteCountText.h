#pragma once

#include <QString>

namespace vmk::panels {

// A byte count as file sizes are usually shown to people: decimal units (1 KB = 1,000 bytes), whole
// kilobytes, one decimal for megabytes and two from gigabytes on, in the user's locale ("Zero KB",
// "1 byte", "999 bytes", "412 KB", "1.2 MB", "3.05 GB").
QString fileSizeText(qint64 bytes);

} // namespace vmk::panels
