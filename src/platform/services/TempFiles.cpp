#include "platform/services/TempFiles.h"

#include <QDir>
#include <QUuid>

namespace vmk::platform {

QString temporaryPdfPath()
{
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return QDir::temp().filePath(QStringLiteral("vmk-%1.pdf").arg(uuid));
}

} // namespace vmk::platform
