#include "chrome/FeedbackMarkGeometry.h"

#include "chrome/Motion.h"

#include <QEasingCurve>

#include <algorithm>
#include <cmath>

namespace vmk::chrome {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A change that starts after `delay` and runs `duration` along a curve; 0 before, 1 after.
double phase(double t, double delay, double duration, const TimingCurve& curve)
{
    if (t <= delay)
        return 0.0;
    if (t >= delay + duration)
        return 1.0;
    return curve.valueAt((t - delay) / duration);
}

double easeInOut(double t, double duration)
{
    static const QEasingCurve curve(QEasingCurve::InOutQuad);
    return curve.valueForProgress(std::clamp(t / duration, 0.0, 1.0));
}

} // namespace

QPainterPath checkShapePath(const QRectF& r)
{
    QPainterPath path;
    const double w = r.width();
    const double h = r.height();
    path.moveTo(r.left(), r.center().y() + 0.02 * h);
    path.lineTo(r.left() + 0.36 * w, r.bottom() - 0.12 * h);
    path.lineTo(r.right(), r.top() + 0.1 * h);
    return path;
}

QPainterPath signatureStrokePath(const QRectF& r)
{
    auto p = [&r](double x, double y) { return QPointF(r.left() + x * r.width() / 140.0, r.top() + y * r.height() / 60.0); };
    QPainterPath path;
    path.moveTo(p(8, 40));
    path.cubicTo(p(20, 12), p(34, 12), p(31, 36));
    path.cubicTo(p(28, 60), p(48, 53), p(59, 31));
    path.cubicTo(p(70, 9), p(78, 17), p(81, 36));
    path.cubicTo(p(84, 55), p(101, 48), p(132, 26));
    return path;
}

QPainterPath trimmedPath(const QPainterPath& path, double fraction)
{
    QPainterPath out;
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction <= 0.0 || path.isEmpty())
        return out;
    const int steps = 64;
    out.moveTo(path.pointAtPercent(0));
    for (int i = 1; i <= steps; ++i)
        out.lineTo(path.pointAtPercent(fraction * i / steps));
    return out;
}

SuccessMarkState successMarkStateAt(double t, bool reduceMotion)
{
    SuccessMarkState s;
    if (reduceMotion) {
        // The final form within a short ease; the dots never fly.
        const double v = easeInOut(t, 0.2);
        s.ring = s.disc = s.check = v;
        return s;
    }
    s.ring = phase(t, 0.0, 0.45, smoothCurve);
    s.disc = phase(t, 0.42, 0.3, overshootCurve);
    s.check = phase(t, 0.55, 0.35, glideCurve);
    s.burst = phase(t, 0.6, 0.5, glideCurve);
    return s;
}

double successMarkDuration(bool reduceMotion)
{
    return reduceMotion ? 0.2 : 1.1;
}

QRectF successCheckRect(const QRectF& mark)
{
    const double inset = 0.26 * mark.width();
    return mark.adjusted(inset, inset, -inset, -inset);
}

BurstDot successBurstDot(int index, double size, const SuccessMarkState& s)
{
    const double distance = size * (0.5 + 0.45 * s.burst);
    const double angle = (45.0 * index + 22.0) * kPi / 180.0;
    BurstDot dot;
    // Up from the centre, then turned clockwise about it.
    dot.centre = QPointF(distance * std::sin(angle), -distance * std::cos(angle));
    dot.opacity = s.check > 0 ? std::clamp(1.0 - s.burst, 0.0, 1.0) : 0.0;
    return dot;
}

double mergeMarkProgressAt(double t, bool reduceMotion)
{
    if (reduceMotion)
        return easeInOut(t, 0.2);
    return phase(t, 0.0, 0.9, overshootCurve);
}

double mergeMarkDuration(bool reduceMotion)
{
    return reduceMotion ? 0.2 : 0.9;
}

double mergeMarkTogether(bool split, double progress)
{
    return split ? 1.0 - progress : progress;
}

MergePage mergeMarkPage(int index, double together)
{
    const int k = index - 2;
    const QPointF fanned(k * 3.2, std::abs(k) * 0.6);
    const QPointF piled(index % 2 == 0 ? -9.0 : 9.0, 0.0);
    MergePage page;
    page.offset = piled + (fanned - piled) * together;
    page.rotation = together * k * 6.0;
    page.accentHeader = index % 2 == 0;
    return page;
}

double processingStrokeTrimAt(double seconds)
{
    const double cycle = std::fmod(std::max(0.0, seconds), 1.8);
    const double u = cycle < 0.9 ? cycle / 0.9 : 2.0 - cycle / 0.9;
    return smoothCurve.valueAt(u);
}

} // namespace vmk::chrome
