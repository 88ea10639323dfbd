#include "platform/icons/SymbolIcons.h"

namespace vmk::platform {

QIcon symbolIcon(const QString&, const QColor&, const QSize&) { return {}; }
QPixmap symbolPixmap(const QString&, const QSize&, const QColor&, qreal) { return {}; }
QPixmap symbolPixmap(const QString& n, int s, const QColor& t, qreal r) { return symbolPixmap(n, QSize(s, s), t, r); }
bool isKnownSymbol(const QString&) { return false; }
QStringList knownSymbolNames() { return {}; }
QString symbolIconFileName(const QString&) { return {}; }
QString symbolIconPath(const QString&) { return {}; }
QString applicationDataDirectory() { return {}; }
QString symbolIconsDirectory() { return {}; }

} // namespace vmk::platform
