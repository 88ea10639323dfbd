#include "signatures/SignaturePadModel.h"

#include "signatures/SignatureStyles.h"

#include <cmath>

namespace vmk::signatures {

namespace {
constexpr double jitterDistance = 0.6;  // points; smaller moves are not samples
constexpr double minTimeStep = 0.001;   // seconds; events with the same timestamp still give a finite speed
constexpr double widthFollow = 0.35;    // share of the gap to the target width closed per sample
constexpr double fullThinSpeed = 1600.0; // points per second
} // namespace

double targetWidth(double speed, std::optional<double> pressure)
{
    if (pressure && *pressure > 0)
        return padMinWidth + (padMaxWidth - padMinWidth) * qMin(*pressure, 1.0);
    return padMaxWidth - (padMaxWidth - padMinWidth) * qMin(qMax(speed, 0.0) / fullThinSpeed, 1.0);
}

SignaturePadModel::SignaturePadModel(QObject* parent)
    : QObject(parent)
    , m_inkColor(signatureInkColors().first().color)
{
}

void SignaturePadModel::setStrokes(const InkStrokes& strokes)
{
    m_strokes = strokes;
    // A drag still arriving from a stroke that was cleared away must not extend a stroke it did not start.
    m_strokeOpen = false;
    strokesDidChange();
}

void SignaturePadModel::setInkColor(const QColor& color)
{
    if (m_inkColor == color)
        return;
    m_inkColor = color;
    emit needsDisplay();
}

void SignaturePadModel::beginStroke(QPointF location, double time, std::optional<double> pressure)
{
    m_lastPoint = location;
    m_lastTime = time;
    m_lastWidth = padMaxWidth * 0.75;
    m_strokeOpen = true;
    m_strokes.append(InkStroke{{location, targetWidth(0.0, pressure)}});
    strokesDidChange();
}

void SignaturePadModel::extendStroke(QPointF location, double time, std::optional<double> pressure)
{
    if (!m_strokeOpen || m_strokes.isEmpty())
        return;
    const double d = std::hypot(location.x() - m_lastPoint.x(), location.y() - m_lastPoint.y());
    if (d <= jitterDistance)
        return;
    const double dt = qMax(time - m_lastTime, minTimeStep);
    const double target = targetWidth(d / dt, pressure);
    m_lastWidth += (target - m_lastWidth) * widthFollow;
    m_lastPoint = location;
    m_lastTime = time;
    m_strokes.last().append({location, m_lastWidth});
    strokesDidChange();
}

void SignaturePadModel::endStroke()
{
    const bool wasOpen = m_strokeOpen;
    m_strokeOpen = false;
    if (!wasOpen || m_strokes.isEmpty() || m_strokes.last().size() < 4)
        return;
    InkStroke& stroke = m_strokes.last();
    const qsizetype n = stroke.size();
    stroke[n - 1].width *= 0.55;
    stroke[n - 2].width *= 0.75;
    stroke[n - 3].width *= 0.9;
    strokesDidChange();
}

void SignaturePadModel::strokesDidChange()
{
    const bool hasInk = !m_strokes.isEmpty();
    emit strokesChanged(hasInk);
    if (hasInk != m_hasInk) {
        m_hasInk = hasInk;
        emit hasInkChanged(hasInk);
    }
    emit needsDisplay();
}

} // namespace vmk::signatures
