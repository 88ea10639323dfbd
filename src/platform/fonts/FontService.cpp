#include "platform/fonts/FontService.h"

namespace vmk::platform {

Font FontService::fontNamed(const QString&, qreal) { return {}; }
Font FontService::fontForFamily(const QString&, bool, bool, qreal) { return {}; }
Font FontService::substituteForFamily(const QString&, bool, bool, qreal) { return {}; }
Font FontService::systemFont(qreal, bool, bool) { return {}; }
QStringList FontService::installedFamilies() { return {}; }

} // namespace vmk::platform
