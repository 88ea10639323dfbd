#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

namespace vmk::platform {

// Named symbols ("lock.shield", "chevron.up", "pencil.tip", ...) drawn from the bundled line-icon set,
// tinted at run time. A name without an icon (or whose icon file is absent) gets a neutral fallback glyph
// drawn in code, so callers never get an empty icon. Main (GUI) thread only, like QIcon and QPixmap.

// The icon for a symbol in a colour. `logicalSize` is the size most often asked for (the icon renders
// sharply at any size and device pixel ratio).
QIcon symbolIcon(const QString& name, const QColor& tint, const QSize& logicalSize = QSize(16, 16));

// A pixmap of logicalSize × devicePixelRatio pixels with that device pixel ratio set.
QPixmap symbolPixmap(const QString& name, const QSize& logicalSize, const QColor& tint,
                     qreal devicePixelRatio = 1.0);
QPixmap symbolPixmap(const QString& name, int logicalSize, const QColor& tint, qreal devicePixelRatio = 1.0);

// Whether the name is in the symbol table (the icon file may still be absent).
bool isKnownSymbol(const QString& name);
// Every symbol name in the table, sorted.
QStringList knownSymbolNames();
// The icon file the name maps to ("lock-keyhole.svg"), or empty for an unknown name.
QString symbolIconFileName(const QString& name);
// The full path of that file in the icons folder, or empty when unknown or absent.
QString symbolIconPath(const QString& name);

// The application's data folder: $VMK_DATA_DIR when set, else ../share/vellumark next to the executable's
// folder. It holds "icons/", "LICENSE" and "licenses/".
QString applicationDataDirectory();
QString symbolIconsDirectory();

} // namespace vmk::platform
