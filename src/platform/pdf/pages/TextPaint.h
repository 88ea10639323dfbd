#pragma once

// Where a page shows text painted with a pattern (a tiling or a shading). The editing engine reads such a
// fill as white and writes only plain colours: text it wrote again there would come out white, and vanish
// on a white page. Found from the content itself, which names the pattern.

#include <QByteArray>
#include <QList>
#include <QPointF>

namespace vmk::pdf {

// The origin, in page space, of each text-showing operator that paints with a pattern. Text shown after it
// without a new position continues along the same baseline, to the right. Empty for content that paints
// no text so; what follows an unreadable token is not looked at.
QList<QPointF> patternTextOrigins(const QByteArray& content);

} // namespace vmk::pdf
