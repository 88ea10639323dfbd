#pragma once

namespace vmk::chrome {

// Lets assistive technology read the mode switcher as a group of six radio buttons, each named after
// its mode, with the chosen one checked and the ones a locked document refuses disabled. Safe to call
// more than once.
void installModeSwitcherAccessibility();

} // namespace vmk::chrome
