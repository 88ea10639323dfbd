#pragma once

#include <QByteArray>

namespace vmk::core {

// Whether the five bytes "%PDF-" lie wholly within the first 1024 bytes of data. Files with junk before
// the header (mail gateways, some scanners) still open, but a marker straddling byte 1024 does not count.
bool hasPdfMarker(const QByteArray& data);

} // namespace vmk::core
