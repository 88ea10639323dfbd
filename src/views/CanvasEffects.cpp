#include "views/CanvasEffects.h"

#include "platform/services/ReduceMotion.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QPainterPath>
#include <QVariantAnimation>

#include <algorithm>
#include <array>
#include <cmath>

namespace vmk::views {

namespace {

// The window's shared timing curves; views sit below the chrome that names them, so the control points
// are repeated here.
QEasingCurve cubic(double x1, double y1, double x2, double y2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1.0, 1.0));
    return curve;
}
const QEasingCurve& sharpCurve()
{
    static const QEasingCurve curve = cubic(0.7, 0.0, 0.3, 1.0);
    return curve;
}
const QEasingCurve& gentleCurve()
{
    static const QEasingCurve curve = cubic(0.45, 0.05, 0.55, 0.95);
    return curve;
}
const QEasingCurve& smoothCurve()
{
    static const QEasingCurve curve = cubic(0.65, 0.0, 0.35, 1.0);
    return curve;
}

double unit(double v) { return std::clamp(v, 0.0, 1.0); }

constexpr int kPenInMs = 180;
constexpr int kPenOutMs = 250;

} // namespace

const QEasingCurve& CanvasEffects::overshootCurve()
{
    static const QEasingCurve curve = cubic(0.34, 1.56, 0.64, 1.0);
    return curve;
}

CanvasEffects::CanvasEffects(CanvasEffectsHost* host, QObject* parent) : QObject(parent), m_host(host) {}

CanvasEffects::~CanvasEffects()
{
    // The host may be half destroyed by now: stop the clocks without calling back.
    for (auto& e : m_effects)
        e->clock->disconnect(this);
}

bool CanvasEffects::reduceMotion() const
{
    return m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
}

void CanvasEffects::playMarkupSweep(const QList<std::pair<pdf::AnnotationPtr, pdf::PagePtr>>& items,
                                    const QString& subtype, const QColor& color)
{
    if (reduceMotion() || items.isEmpty() || items.size() > kMaxSweepItems)
        return;
    int i = 0;
    for (const auto& [annotation, page] : items) {
        if (!annotation)
            continue;
        auto e = std::make_unique<Effect>();
        e->kind = Kind::sweep;
        e->annotation = annotation;
        e->page = page;
        e->subtype = subtype;
        e->color = color;
        e->delayMs = i * kSweepStaggerMs;
        const int duration = e->delayMs + kSweepMs;
        start(std::move(e), duration);
        ++i;
    }
}

void CanvasEffects::playSignatureWrite(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page,
                                       const QImage& image)
{
    if (reduceMotion() || !annotation || image.isNull())
        return;
    clear();
    auto writing = std::make_unique<Effect>();
    writing->kind = Kind::signatureImage;
    writing->annotation = annotation;
    writing->page = page;
    writing->image = image;
    auto flourish = std::make_unique<Effect>();
    flourish->kind = Kind::signatureFlourish;
    flourish->annotation = annotation;
    flourish->page = page;
    start(std::move(writing), kWriteMs);
    start(std::move(flourish), kFlourishMs);
}

void CanvasEffects::start(std::unique_ptr<Effect> effect, int durationMs)
{
    Effect* e = effect.get();
    e->clock = std::make_unique<QVariantAnimation>();
    e->clock->setStartValue(0.0);
    e->clock->setEndValue(1.0);
    e->clock->setDuration(durationMs);
    connect(e->clock.get(), &QVariantAnimation::valueChanged, this, [this] { m_host->effectsNeedDisplay(); });
    connect(e->clock.get(), &QVariantAnimation::finished, this, [this, e] { finish(e); });
    const bool hides = e->kind != Kind::signatureFlourish;
    m_effects.push_back(std::move(effect));
    if (hides)
        m_host->setEffectHidden(e->annotation, true);
    e->clock->start();
    m_host->effectsNeedDisplay();
}

void CanvasEffects::finish(Effect* effect)
{
    const auto it = std::find_if(m_effects.begin(), m_effects.end(), [effect](const auto& e) { return e.get() == effect; });
    if (it == m_effects.end())
        return;
    std::unique_ptr<Effect> done = std::move(*it);
    m_effects.erase(it);
    done->clock->disconnect(this);
    // The clock may be the one whose signal brought us here; its time stays at its end.
    if (done->kind != Kind::signatureFlourish) {
        m_host->setEffectHidden(done->annotation, false);
        keepAfterimage(std::move(done));
    } else {
        done->clock.release()->deleteLater();
    }
    m_host->effectsNeedDisplay();
}

void CanvasEffects::keepAfterimage(std::unique_ptr<Effect> effect)
{
    Effect* kept = effect.get();
    m_afterimages.push_back(std::move(effect));
    QPointer<CanvasEffects> self(this);
    m_host->afterRendering([self, kept] {
        if (!self)
            return;
        auto& list = self->m_afterimages;
        const auto it = std::find_if(list.begin(), list.end(), [kept](const auto& e) { return e.get() == kept; });
        if (it == list.end())
            return;
        (*it)->clock.release()->deleteLater();
        list.erase(it);
        self->m_host->effectsNeedDisplay();
    });
}

void CanvasEffects::clear()
{
    if (m_effects.empty() && m_afterimages.empty())
        return;
    std::vector<std::unique_ptr<Effect>> running = std::move(m_effects);
    m_effects.clear();
    for (auto& e : running) {
        e->clock->disconnect(this);
        e->clock->stop();
        if (e->kind == Kind::signatureFlourish)
            continue;
        // The finished mark stands in until its page is drawn with it.
        e->clock->setCurrentTime(e->clock->duration());
        m_host->setEffectHidden(e->annotation, false);
        keepAfterimage(std::move(e));
    }
    m_host->effectsNeedDisplay();
}

bool CanvasEffects::isHidden(const pdf::AnnotationPtr& annotation) const
{
    return std::any_of(m_effects.begin(), m_effects.end(), [&](const auto& e) {
        return e->kind != Kind::signatureFlourish && e->annotation == annotation;
    });
}

void CanvasEffects::setElapsed(int ms)
{
    std::vector<QVariantAnimation*> clocks;
    for (const auto& e : m_effects)
        clocks.push_back(e->clock.get());
    for (QVariantAnimation* clock : clocks) {
        // An effect ended by an earlier clock of this loop has released its own.
        const bool alive = std::any_of(m_effects.begin(), m_effects.end(), [clock](const auto& e) { return e->clock.get() == clock; });
        if (alive)
            clock->setCurrentTime(std::min(ms, clock->duration()));
    }
}

// --- Geometry ---------------------------------------------------------------------------------------

QRectF CanvasEffects::sweepBar(const QString& subtype, const QRectF& r)
{
    const double h = std::max(0.08 * r.height(), 1.5);
    if (subtype == QLatin1String("Underline"))
        return QRectF(r.left(), r.bottom() - 2, r.width(), h);
    if (subtype == QLatin1String("StrikeOut"))
        return QRectF(r.left(), r.center().y() - 0.75, r.width(), h);
    return r;
}

double CanvasEffects::penSize(const QRectF& r)
{
    return std::clamp(1.1 * r.height(), 36.0, 64.0);
}

QPointF CanvasEffects::penPosition(const QRectF& r, double progress)
{
    const double H = r.height();
    const std::array<double, 6> d{0, -0.18 * H, 0.18 * H, -0.108 * H, 0.09 * H, 0};
    std::array<QPointF, 6> p;
    for (int k = 0; k < 6; ++k)
        p[size_t(k)] = QPointF(r.left() + r.width() * k / 5.0, r.center().y() + d[size_t(k)]);
    // A smooth (Catmull-Rom) curve through the six points.
    const double s = unit(progress) * 5.0;
    const int k = std::min(int(s), 4);
    const double t = s - k;
    const QPointF p0 = p[size_t(std::max(k - 1, 0))], p1 = p[size_t(k)], p2 = p[size_t(k + 1)],
                  p3 = p[size_t(std::min(k + 2, 5))];
    const double t2 = t * t, t3 = t2 * t;
    return 0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 + (-p0 + 3 * p1 - 3 * p2 + p3) * t3);
}

double CanvasEffects::badgeScale(int ms)
{
    if (ms <= 0)
        return 0.4;
    // Mass 1, stiffness 220, damping 10, starting at rest.
    const double w0 = std::sqrt(220.0);
    const double zeta = 10.0 / (2.0 * w0);
    const double wd = w0 * std::sqrt(1.0 - zeta * zeta);
    const double t = ms / 1000.0;
    const double x = 1.0 - std::exp(-zeta * w0 * t) * (std::cos(wd * t) + zeta * w0 / wd * std::sin(wd * t));
    return 0.4 + 0.6 * x;
}

double CanvasEffects::badgeOpacity(int ms)
{
    const double f = double(ms) / kBadgeMs;
    if (f <= 0 || f >= 1)
        return 0;
    if (f < 0.08)
        return f / 0.08;
    if (f < 0.82)
        return 1;
    return (1 - f) / 0.18;
}

// --- Painting ---------------------------------------------------------------------------------------

void CanvasEffects::paint(QPainter& painter) const
{
    std::vector<const Effect*> shown;
    for (const auto& e : m_afterimages)
        shown.push_back(e.get());
    for (const auto& e : m_effects)
        shown.push_back(e.get());
    for (const Effect* e : shown) {
        const int ms = e->clock ? e->clock->currentTime() : 0;
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        switch (e->kind) {
        case Kind::sweep: paintSweep(painter, *e, ms); break;
        case Kind::signatureImage: paintSignature(painter, *e, ms); break;
        case Kind::signatureFlourish: paintFlourish(painter, *e, ms); break;
        }
        painter.restore();
    }
}

void CanvasEffects::paintSweep(QPainter& painter, const Effect& e, int ms) const
{
    const QRectF r = m_host->effectViewRect(e.annotation, e.page);
    const int t = ms - e.delayMs;
    if (r.isNull() || t <= 0)
        return; // still collapsed until its turn
    QRectF bar = sweepBar(e.subtype, r);
    bar.setWidth(bar.width() * std::max(sharpCurve().valueForProgress(unit(double(t) / kSweepMs)), 0.001));
    const bool highlight = e.subtype == QLatin1String("Highlight");
    QColor fill = e.color;
    if (highlight) {
        fill.setAlphaF(0.45f);
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(bar, highlight ? 2 : 0, highlight ? 2 : 0);
}

void CanvasEffects::paintSignature(QPainter& painter, const Effect& e, int ms) const
{
    const QRectF r = m_host->effectViewRect(e.annotation, e.page);
    if (r.isNull() || e.image.isNull())
        return;
    const double reveal = gentleCurve().valueForProgress(unit(double(ms) / kWriteMs));
    QSizeF fitted = QSizeF(e.image.size()).scaled(r.size(), Qt::KeepAspectRatio);
    const QRectF target(r.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
    painter.setClipRect(QRectF(r.left(), r.top(), r.width() * std::max(reveal, 0.001), r.height()));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, e.image);
}

void CanvasEffects::paintFlourish(QPainter& painter, const Effect& e, int ms) const
{
    const QRectF r = m_host->effectViewRect(e.annotation, e.page);
    if (r.isNull())
        return;
    // The pen rides while the signature is written, then rests at the stroke's end as it fades.
    double penOpacity = 1.0;
    if (ms < kPenInMs)
        penOpacity = double(ms) / kPenInMs;
    else if (ms > kWriteMs)
        penOpacity = 1.0 - smoothCurve().valueForProgress(unit(double(ms - kWriteMs) / kPenOutMs));
    if (penOpacity > 0) {
        const double s = penSize(r);
        const double w = 0.19 * s;
        painter.save();
        painter.setOpacity(penOpacity);
        painter.translate(penPosition(r, gentleCurve().valueForProgress(unit(double(ms) / kWriteMs))));
        painter.rotate(28); // leaning right, tip on the stroke
        painter.setPen(Qt::NoPen);
        QPainterPath nib;
        nib.moveTo(-w / 2, -0.24 * s);
        nib.lineTo(w / 2, -0.24 * s);
        nib.lineTo(0, 0);
        nib.closeSubpath();
        painter.setBrush(QColor::fromRgbF(0.75f, 0.75f, 0.78f));
        painter.drawPath(nib);
        QLinearGradient barrel(-w / 2, 0, w / 2, 0);
        barrel.setColorAt(0, QColor::fromRgbF(0.28f, 0.28f, 0.29f));
        barrel.setColorAt(0.5, QColor::fromRgbF(0.11f, 0.11f, 0.12f));
        barrel.setColorAt(1, QColor::fromRgbF(0.23f, 0.23f, 0.24f));
        painter.setBrush(barrel);
        painter.drawRoundedRect(QRectF(-w / 2, -s, w, 0.77 * s), w / 2, w / 2);
        const double band = std::max(0.05 * s, 2.0);
        painter.setBrush(QColor::fromRgbF(0.78f, 0.78f, 0.8f));
        painter.drawRect(QRectF(-w / 2, -0.78 * s - band, w, band));
        painter.restore();
    }
    const int badgeMs = ms - kWriteMs;
    const double opacity = badgeOpacity(badgeMs);
    if (opacity <= 0)
        return;
    painter.setOpacity(opacity);
    painter.translate(r.right() - 6, r.top() - 4);
    const double scale = badgeScale(badgeMs);
    painter.scale(scale, scale);
    const QRectF badge(-37, -11, 74, 22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0.91f, 0.36f, 0.0f, 0.25f));
    painter.drawRoundedRect(badge.translated(0, 3), 11, 11);
    painter.setBrush(QColor::fromRgbF(1.0f, 0.48f, 0.0f));
    painter.drawRoundedRect(badge, 11, 11);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, QStringLiteral("✓ Signed"));
}

} // namespace vmk::views
