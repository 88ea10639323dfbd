#include "platform/services/PortalSetting.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace vmk::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");

// The portal wraps its answer in variants, one level for ReadOne and two for the older Read.
QVariant unwrap(QVariant value)
{
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

PortalSetting::PortalSetting(QString group, QString key, std::function<void(const QVariant&)> onValue,
                             QObject* parent)
    : QObject(parent), m_group(std::move(group)), m_key(std::move(key)), m_onValue(std::move(onValue))
{
}

void PortalSetting::start()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                     SLOT(settingChanged(QDBusMessage))))
        qWarning("The desktop's changes to %s won't be followed", qPrintable(m_key));
    // ReadOne where the portal has it, else the older Read.
    ask(QStringLiteral("ReadOne"), true);
}

void PortalSetting::settingChanged(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() == 3 && args[0].toString() == m_group && args[1].toString() == m_key)
        m_onValue(unwrap(args[2]));
}

void PortalSetting::ask(const QString& method, bool thenOlder)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call << m_group << m_key;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, thenOlder](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusMessage reply = done->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            m_onValue(unwrap(reply.arguments().constFirst()));
        else if (thenOlder)
            ask(QStringLiteral("Read"), false);
    });
}

} // namespace vmk::platform
