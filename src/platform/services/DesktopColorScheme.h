#pragma once

#include <QObject>

namespace vmk::platform {

// The desktop's light or dark preference, as the freedesktop settings portal publishes it
// (org.freedesktop.appearance color-scheme), followed while the application runs.
enum class ColorScheme { noPreference, dark, light };

// The portal's number for the preference: 1 prefers dark, 2 prefers light, anything else none.
ColorScheme colorSchemeFromPortal(uint value);

class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    static DesktopColorScheme& shared();

    ColorScheme scheme() const { return m_scheme; }
    // Asks the portal once (without waiting for it) and listens for changes; later calls do nothing.
    // Without a session bus or a portal the preference stays noPreference.
    void start();
    // What a change from the portal does; also the way tests change the preference.
    void setScheme(ColorScheme scheme);

signals:
    void schemeChanged(vmk::platform::ColorScheme scheme);

private:
    DesktopColorScheme() = default;
    void readValue(const QVariant& value);

    ColorScheme m_scheme = ColorScheme::noPreference;
    bool m_started = false;
};

} // namespace vmk::platform
