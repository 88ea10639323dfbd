#include "platform/services/DesktopAnimations.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace vmk::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.gnome.desktop.interface");
const QString kKey = QStringLiteral("enable-animations");

// The portal wraps its answer in variants, one level for ReadOne and two for the older Read.
QVariant unwrap(QVariant value)
{
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

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

void DesktopAnimations::readValue(const QVariant& reply)
{
    const QVariant value = unwrap(reply);
    if (value.typeId() == QMetaType::Bool)
        setEnabled(value.toBool());
}

void DesktopAnimations::portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group == kGroup && key == kKey)
        readValue(value.variant());
}

void DesktopAnimations::start()
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

void DesktopAnimations::ask(const QString& method, bool thenOlder)
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
