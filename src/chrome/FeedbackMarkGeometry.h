#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>

namespace vmk::chrome {

// The check stroke of the success mark, in proportions of its rectangle.
QPainterPath checkShapePath(const QRectF& rect);
// The handwritten stroke of the busy mark, designed in a 140 × 60 box and stretched to the rectangle.
QPainterPath signatureStrokePath(const QRectF& rect);
// The first `fraction` (0…1) of a path by length, as a polyline fine enough to draw.
QPainterPath trimmedPath(const QPainterPath& path, double fraction);

// The success mark's motion at a moment since it came on screen. ring and check run 0…1; disc and burst
// are the progress of their changes (the disc's overshoot takes it past 1 for a moment).
struct SuccessMarkState {
    double ring = 0;
    double disc = 0;
    double check = 0;
    double burst = 0;
};

SuccessMarkState successMarkStateAt(double seconds, bool reduceMotion);
// How long the motion runs before the mark rests.
double successMarkDuration(bool reduceMotion);
// Where the check is drawn in a mark of the given side: inset by 0.26 of the side.
QRectF successCheckRect(const QRectF& mark);

// One of the eight burst dots: its centre relative to the mark's centre and its opacity.
struct BurstDot {
    QPointF centre;
    double opacity = 0;
};
BurstDot successBurstDot(int index, double size, const SuccessMarkState& state);

// The merge mark's progress (0…1, overshooting a little) at a moment since it came on screen.
double mergeMarkProgressAt(double seconds, bool reduceMotion);
double mergeMarkDuration(bool reduceMotion);

// One of the five page glyphs: offset from the frame's centre and turn in degrees.
struct MergePage {
    QPointF offset;
    double rotation = 0;
    bool accentHeader = false;
};
// together: 1 for the fanned stack, 0 for two piles.
MergePage mergeMarkPage(int index, double together);
// How far the pages stand together for a mark's progress: a merge gathers them, a split parts them.
double mergeMarkTogether(bool split, double progress);

// How much of the busy stroke is written at a moment: writes and unwrites itself for ever, 0.9 s each way.
double processingStrokeTrimAt(double seconds);

} // namespace vmk::chrome
