#pragma once

#include <QIcon>
#include <QPixmap>

namespace vmk::app {

// The application's icon, drawn in code: a warm rounded square with a page and a folded corner.
QPixmap appIconPixmap(int logicalSize, qreal devicePixelRatio = 1.0);
QIcon appIcon();

} // namespace vmk::app
