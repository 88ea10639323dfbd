#include "app/Appearance.h"

#include "platform/services/DesktopColorScheme.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include <optional>

namespace vmk::app {

QPalette darkPalette()
{
    QPalette p;
    const QColor window(38, 38, 40), base(30, 30, 32), text(235, 235, 238);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(46, 46, 49));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(52, 52, 56));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 156));
    p.setColor(QPalette::Highlight, QColor(10, 132, 255));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Dark, QColor(22, 22, 24));
    p.setColor(QPalette::Mid, QColor(70, 70, 74));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 126));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 126));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 126));
    // The style etches disabled text with the light colour one pixel down and right; left at its light
    // default that bright copy reads as ordinary text on a dark menu. Here it sinks into the background.
    p.setColor(QPalette::Disabled, QPalette::Light, window);
    return p;
}

QPalette lightPalette()
{
    QPalette p;
    const QColor window(246, 246, 247), text(28, 28, 30);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(238, 238, 240));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(240, 240, 242));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::PlaceholderText, QColor(120, 120, 126));
    p.setColor(QPalette::Highlight, QColor(0, 122, 255));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Dark, QColor(200, 200, 204));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(160, 160, 166));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(160, 160, 166));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(160, 160, 166));
    return p;
}

namespace {

// The platform's palette, kept from before the first fixed one so that a withdrawn preference can go back
// to it.
std::optional<QPalette>& platformPalette()
{
    static std::optional<QPalette> palette;
    return palette;
}

void usePalette(bool dark)
{
    if (!platformPalette())
        platformPalette() = QApplication::palette();
    if (!QApplication::style() || QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark ? darkPalette() : lightPalette());
}

} // namespace

void applyAppearance(const QString& setting)
{
    auto& desktop = platform::DesktopColorScheme::shared();
    static QMetaObject::Connection following;
    QObject::disconnect(following);
    if (setting == QLatin1String("light") || setting == QLatin1String("dark")) {
        usePalette(setting == QLatin1String("dark"));
        return;
    }
    following = QObject::connect(&desktop, &platform::DesktopColorScheme::schemeChanged, qApp,
                                 [](platform::ColorScheme scheme) {
                                     if (scheme != platform::ColorScheme::noPreference)
                                         usePalette(scheme == platform::ColorScheme::dark);
                                     else if (platformPalette())
                                         QApplication::setPalette(*platformPalette()); // as at a launch without one
                                 });
    desktop.start();
    if (desktop.scheme() != platform::ColorScheme::noPreference)
        usePalette(desktop.scheme() == platform::ColorScheme::dark);
}

bool isDarkAppearance()
{
    return QApplication::palette().color(QPalette::Window).lightnessF() < 0.5;
}

} // namespace vmk::app
