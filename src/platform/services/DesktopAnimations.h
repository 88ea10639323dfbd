#pragma once

#include <QObject>

namespace vmk::platform {

// Whether the desktop wants animations at all, as the freedesktop settings portal publishes it
// (org.gnome.desktop.interface enable-animations), followed while the application runs. Without a
// session bus, a portal or that setting, animations stay on.
class DesktopAnimations : public QObject {
    Q_OBJECT
public:
    static DesktopAnimations& shared();

    bool enabled() const { return m_enabled; }
    // Asks the portal once (without waiting for it) and listens for changes; later calls do nothing.
    void start();
    // What a change from the portal does; also the way tests change the preference.
    void setEnabled(bool enabled);

signals:
    void enabledChanged(bool enabled);

private:
    DesktopAnimations() = default;
    void readValue(const QVariant& value);

    bool m_enabled = true;
    bool m_started = false;
};

} // namespace vmk::platform
