#include "platform/pdfview/PDFViewPrivate.h"

#include <algorithm>
#include <cmath>

namespace vmk::pdfview {

bool PDFView::scrollToY(double y, int durationMs, const QEasingCurve& curve, double maxDistance)
{
    const double from = d->layout.scroll().y();
    const double target = std::clamp(y, 0.0, d->layout.maxScroll().y());
    // Far jumps are not animated: a long blur of pages helps nobody.
    if (std::abs(target - from) >= maxDistance)
        return false;
    if (d->scrollAnimation)
        d->scrollAnimation->stop();
    if (d->reduceMotion() || !isVisible() || durationMs <= 0) {
        d->setScroll(QPointF(d->layout.scroll().x(), target));
        return true;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(from);
    animation->setEndValue(target);
    animation->setDuration(durationMs);
    animation->setEasingCurve(curve);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        // A curve that overshoots may ask for a little beyond either end.
        const double clamped = std::clamp(v.toDouble(), 0.0, d->layout.maxScroll().y());
        d->setScroll(QPointF(d->layout.scroll().x(), clamped));
    });
    d->scrollAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return true;
}

} // namespace vmk::pdfview
