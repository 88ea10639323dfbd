#pragma once

#include <QLineF>
#include <QList>
#include <QRectF>
#include <QTransform>

#include <optional>

namespace vmk::core {

// Plain geometry of the two annotations the system draws itself, shared by the on-screen drawing and
// the appearance streams written into saved files, all in page space (y up).

// The 45° hatch lines of a redaction mark, 6 points apart, starting at minX - height and rising by the
// box's height over the same width. Unclipped: callers clip to the box.
QList<QLineF> redactionHatchLines(const QRectF& bounds);

// Maps the artwork's media box into bounds, centred and aspect-fitted. Nothing when the media box is
// empty (nothing is drawn then).
std::optional<QTransform> signatureArtworkTransform(const QRectF& bounds, const QRectF& mediaBox);

} // namespace vmk::core
