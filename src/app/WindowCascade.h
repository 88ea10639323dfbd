#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace vmk::app {

// Where a new window goes when others are open: where it wanted to be, or, while another window's
// top-left is within a few pixels of that, 28 pixels further down and to the right; a step that would
// leave the screen's free area starts again near its top-left corner.
QPoint cascadedOrigin(QPoint wanted, const QList<QPoint>& taken, const QRect& area, const QSize& size);

} // namespace vmk::app
