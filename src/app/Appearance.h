#pragma once

#include <QPalette>
#include <QString>

namespace vmk::app {

// The application's two palettes.
QPalette lightPalette();
QPalette darkPalette();

// Applies the appearance setting: "light" or "dark" keep that palette; anything else (the "system"
// choice) follows the desktop's colour-scheme preference from the settings portal, now and whenever it
// changes. With no preference published the platform's own palette stays.
void applyAppearance(const QString& setting);

// Whether the palette in use is the dark one.
bool isDarkAppearance();

} // namespace vmk::app
