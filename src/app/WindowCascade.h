#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

namespace vmk::app {

// Where a new window goes when others are open: where it wanted to be, or, while another window's
// top-left is within a few pixels of that, 28 pixels further down and to the right; a step that would
// leave the screen's free area starts again near its top-left corner.
QPoint cascadedOrigin(QPoint wanted, const QList<QPoint>& taken, const QRect& area, const QSize& size);

// A document window's place as the next launch brings it back: the rectangle of its content (inside the
// window manager's border) and whether it was maximized, in which case the rectangle is the one it
// returns to. Kept as text, "x y width height" with " maximized" after it when it was.
struct SavedFrame {
    QRect content;
    bool maximized = false;
};
QString savedFrameText(const SavedFrame& frame);
// Nothing for text of another form (a frame saved by an earlier version) or an empty rectangle.
std::optional<SavedFrame> parseSavedFrame(const QString& text);
// The saved rectangle, no smaller than the window allows, moved back within reach when it lies off the
// screen's free area (a screen since made smaller or removed).
QRect frameOnScreen(const QRect& content, const QRect& area, const QSize& minimum);

} // namespace vmk::app
