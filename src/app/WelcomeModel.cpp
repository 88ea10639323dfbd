#include "app/WelcomeModel.h"

#include <QFileInfo>

namespace vmk::app {

bool WelcomeModel::handleOpenFailed(const QVariantMap& userInfo, bool reduceMotion)
{
    const QVariant name = userInfo.value(QStringLiteral("name"));
    const QVariant message = userInfo.value(QStringLiteral("message"));
    WelcomeFailure f;
    f.name = name.typeId() == QMetaType::QString ? name.toString() : QStringLiteral("This file");
    f.message = message.typeId() == QMetaType::QString ? message.toString() : QStringLiteral("It couldn’t be opened.");
    m_badgeIn = false;
    m_failure = f;
    if (reduceMotion) {
        m_badgeIn = true;
        return false;
    }
    m_shakes += 1;
    return true;
}

void WelcomeModel::setTargeted(bool targeted)
{
    m_targeted = targeted;
    if (targeted)
        m_failure.reset();
}

QString WelcomeModel::promptSymbol() const
{
    return m_targeted ? QStringLiteral("arrow.down.doc.fill") : QStringLiteral("doc.viewfinder");
}

QString WelcomeModel::promptTitle() const
{
    return m_targeted ? QStringLiteral("Let go. We’ve got it.") : QStringLiteral("Drop a PDF. Any PDF.");
}

QString WelcomeModel::promptDetail() const
{
    return m_targeted ? QStringLiteral(" ") : QStringLiteral("We’ll take it from here.");
}

QString recentFolderText(const QString& filePath, const QString& homePath)
{
    QString folder = QFileInfo(filePath).path();
    if (!homePath.isEmpty())
        folder.replace(homePath, QStringLiteral("~"));
    return folder;
}

QString recentNameText(const QString& filePath)
{
    return QFileInfo(filePath).completeBaseName();
}

} // namespace vmk::app
