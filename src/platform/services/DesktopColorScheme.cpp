#include "platform/services/DesktopColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace vmk::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The portal wraps its answer in variants, one level for ReadOne and two for the older Read.
QVariant unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

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

void DesktopColorScheme::readValue(const QVariant& reply)
{
    bool ok = false;
    const uint value = unwrap(reply).toUInt(&ok);
    if (ok)
        setScheme(colorSchemeFromPortal(value));
}

void DesktopColorScheme::portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group == kGroup && key == kKey)
        readValue(value.variant());
}

void DesktopColorScheme::start()
{
    if (m_started)
        return;
    m_started = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
    // ReadOne where the portal has it, else the older Read.
    ask(QStringLiteral("ReadOne"), true);
}

void DesktopColorScheme::ask(const QString& method, bool thenOlder)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call << kGroup << kKey;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, thenOlder](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusMessage reply = done->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            readValue(reply.arguments().constFirst());
        else if (thenOlder)
            ask(QStringLiteral("Read"), false);
    });
}

} // namespace vmk::platform
