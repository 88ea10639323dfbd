#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QDBusMessage;

namespace vmk::platform {

// One setting of the freedesktop settings portal, read once without waiting and followed while the
// application runs. Each value the portal gives (unwrapped from its variants) goes to `onValue`; without
// a session bus or a portal nothing arrives and the caller keeps its default.
class PortalSetting : public QObject {
    Q_OBJECT
public:
    PortalSetting(QString group, QString key, std::function<void(const QVariant&)> onValue, QObject* parent);

    void start();

private slots:
    // Takes the whole message: a slot with a QDBusVariant parameter fails to connect (silently) while
    // nothing has marshalled a variant in the process yet, which at start-up is always the case.
    void settingChanged(const QDBusMessage& message);

private:
    void ask(const QString& method, bool thenOlder);

    QString m_group;
    QString m_key;
    std::function<void(const QVariant&)> m_onValue;
};

} // namespace vmk::platform
