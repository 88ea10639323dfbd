#include "platform/services/DesktopAnimations.h"

#include "platform/services/PortalSetting.h"

#include <QVariant>

namespace vmk::platform {

DesktopAnimations& DesktopAnimations::shared()
{
    static DesktopAnimations* instance = new DesktopAnimations;
    return *instance;
}

void DesktopAnimations::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit enabledChanged(enabled);
}

void DesktopAnimations::readValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        setEnabled(value.toBool());
}

void DesktopAnimations::start()
{
    if (m_started)
        return;
    m_started = true;
    auto* portal = new PortalSetting(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations"),
                                     [this](const QVariant& value) { readValue(value); }, this);
    portal->start();
}

} // namespace vmk::platform
