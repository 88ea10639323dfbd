#pragma once

#include "signatures/InkPoint.h"

#include <QColor>
#include <QObject>
#include <QPointF>

#include <optional>

namespace vmk::signatures {

// Widths of drawn ink, in points.
inline constexpr double padMaxWidth = 4.2;
inline constexpr double padMinWidth = 1.3;

// The width an input sample asks for: the pen's pressure when a tablet reports one above 0, otherwise the
// speed in points per second (slow is wide, 1600 pt/s and faster is thinnest).
double targetWidth(double speed, std::optional<double> pressure);

// The ink captured on the drawing pad and how it is recorded, without any widget: the pad view converts
// its events into begin/extend/end calls (locations in points, y up; times in seconds; pressure when a
// tablet gives it) and draws `strokes()` in `inkColor()`.
class SignaturePadModel : public QObject {
    Q_OBJECT
public:
    explicit SignaturePadModel(QObject* parent = nullptr);

    const InkStrokes& strokes() const { return m_strokes; }
    // Replaces every stroke (an empty list clears the pad).
    void setStrokes(const InkStrokes& strokes);
    void clear() { setStrokes({}); }

    bool hasInk() const { return m_hasInk; }

    QColor inkColor() const { return m_inkColor; }
    void setInkColor(const QColor& color);

    // A press starts a new stroke with one sample.
    void beginStroke(QPointF location, double time, std::optional<double> pressure = std::nullopt);
    // A drag extends the last stroke; jitter of 0.6 point or less is ignored, and so is a drag when no
    // stroke was started.
    void extendStroke(QPointF location, double time, std::optional<double> pressure = std::nullopt);
    // A release tapers the end of the last stroke when it has at least four samples.
    void endStroke();

signals:
    // Every change to the strokes, with whether any stroke is left.
    void strokesChanged(bool hasInk);
    void hasInkChanged(bool hasInk);
    // The strokes or the colour changed: the view repaints.
    void needsDisplay();

private:
    void strokesDidChange();

    InkStrokes m_strokes;
    QColor m_inkColor;
    bool m_hasInk = false;
    bool m_strokeOpen = false; // a press started the last stroke and no release or clear has ended it
    double m_lastTime = 0.0;
    QPointF m_lastPoint;
    double m_lastWidth = 3.0;
};

} // namespace vmk::signatures
