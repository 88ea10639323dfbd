#include "platform/icons/SymbolIcons.h"

#include "platform/icons/SymbolIconEngine.h"
#include "platform/icons/SymbolRenderer.h"
#include "platform/icons/SymbolTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmapCache>

#include <cmath>

namespace vmk::platform {

QString applicationDataDirectory()
{
    const QString overridden = qEnvironmentVariable("VMK_DATA_DIR");
    if (!overridden.isEmpty())
        return QDir::cleanPath(overridden);
    // The build tree and an installation both put executables in bin/ next to share/vellumark/.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/vellumark"));
}

QString symbolIconsDirectory() { return applicationDataDirectory() + QStringLiteral("/icons"); }

bool isKnownSymbol(const QString& name) { return !symbols::iconFileFor(name).isEmpty(); }

QStringList knownSymbolNames() { return symbols::names(); }

QString symbolIconFileName(const QString& name) { return symbols::iconFileFor(name); }

QString symbolIconPath(const QString& name)
{
    const QString file = symbols::iconFileFor(name);
    if (file.isEmpty())
        return {};
    const QString path = symbolIconsDirectory() + QLatin1Char('/') + file;
    return QFileInfo(path).isFile() ? path : QString();
}

QPixmap symbolPixmap(const QString& name, const QSize& logicalSize, const QColor& tint, qreal devicePixelRatio)
{
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QSize logical = logicalSize.expandedTo(QSize(1, 1));
    const QSize pixels(int(std::lround(logical.width() * dpr)), int(std::lround(logical.height() * dpr)));
    // Keyed by the file drawn, not the name: names sharing an icon share pixmaps, and a changed data
    // folder (or a missing file) never serves a stale picture.
    const QString path = symbolIconPath(name);
    const QString key = QStringLiteral("vmk-symbol:%1:%2x%3:%4").arg(path.isEmpty() ? QStringLiteral("?") : path).arg(pixels.width()).arg(pixels.height())
                            .arg(tint.name(QColor::HexArgb))
                        + QStringLiteral(":%1").arg(dpr);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap::fromImage(symbols::render(name, pixels, tint));
    pixmap.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QPixmap symbolPixmap(const QString& name, int logicalSize, const QColor& tint, qreal devicePixelRatio)
{
    return symbolPixmap(name, QSize(logicalSize, logicalSize), tint, devicePixelRatio);
}

QIcon symbolIcon(const QString& name, const QColor& tint, const QSize& logicalSize)
{
    return QIcon(new symbols::SymbolIconEngine(name, tint, logicalSize));
}

} // namespace vmk::platform
