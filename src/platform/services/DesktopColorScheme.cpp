#include "platform/services/DesktopColorScheme.h"

#include "platform/services/PortalSetting.h"

#include <QVariant>

namespace vmk::platform {

ColorScheme colorSchemeFromPortal(uint value)
{
    switch (value) {
    case 1:
        return ColorScheme::dark;
    case 2:
        return ColorScheme::light;
    default:
        return ColorScheme::noPreference;
    }
}

DesktopColorScheme& DesktopColorScheme::shared()
{
    static DesktopColorScheme* instance = new DesktopColorScheme;
    return *instance;
}

void DesktopColorScheme::setScheme(ColorScheme scheme)
{
    if (scheme == m_scheme)
        return;
    m_scheme = scheme;
    emit schemeChanged(scheme);
}

void DesktopColorScheme::readValue(const QVariant& value)
{
    bool ok = false;
    const uint preference = value.toUInt(&ok);
    if (ok)
        setScheme(colorSchemeFromPortal(preference));
}

void DesktopColorScheme::start()
{
    if (m_started)
        return;
    m_started = true;
    auto* portal = new PortalSetting(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
                                     [this](const QVariant& value) { readValue(value); }, this);
    portal->start();
}

} // namespace vmk::platform
