#pragma once

#include <QApplication>
#include <QColor>
#include <QPalette>

namespace vmk::test {

// The application's palette with the window and text colours of the light or dark appearance, for tests
// below the application layer that draw in both.
inline QPalette appearancePalette(bool dark)
{
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Window, dark ? QColor(38, 38, 40) : QColor(246, 246, 247));
    p.setColor(QPalette::WindowText, dark ? QColor(235, 235, 238) : QColor(28, 28, 30));
    return p;
}

} // namespace vmk::test
