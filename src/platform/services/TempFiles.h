#pragma once

#include <QString>

namespace vmk::platform {

// Working files in the temporary folder are named "vmk-" + UUID + ".pdf", so that stale ones are
// recognisable and never collide.
QString temporaryPdfPath();

} // namespace vmk::platform
