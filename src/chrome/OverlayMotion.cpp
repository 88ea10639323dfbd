#include "chrome/OverlayMotion.h"

#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vmk::chrome {

double springSettleSeconds(double response, double dampingFraction)
{
    // The envelope e^(−ζωt) falls to 1 % at t = ln(100) / (ζω), with ω = 2π / response.
    const double zeta = std::clamp(dampingFraction, 0.05, 1.0);
    const double omega = 2 * M_PI / std::max(response, 0.01);
    const double seconds = std::log(100.0) / (zeta * omega);
    // A critically damped spring needs a little longer than its envelope says.
    return zeta >= 1.0 ? seconds * 1.6 : seconds;
}

void fadeInPiece(QWidget* piece, const MotionSpec& motion)
{
    if (!piece || motion.durationMs <= 0)
        return;
    auto* effect = new QGraphicsOpacityEffect(piece);
    effect->setOpacity(0.0);
    piece->setGraphicsEffect(effect);
    auto* fade = new QVariantAnimation(piece);
    fade->setObjectName(QStringLiteral("pieceFade"));
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setDuration(motion.durationMs);
    fade->setEasingCurve(motion.easing);
    QPointer<QGraphicsOpacityEffect> guard(effect);
    QObject::connect(fade, &QVariantAnimation::valueChanged, piece, [guard](const QVariant& v) {
        if (guard)
            guard->setOpacity(std::clamp(v.toDouble(), 0.0, 1.0));
    });
    QPointer<QWidget> target(piece);
    QObject::connect(fade, &QVariantAnimation::finished, piece, [target, guard] {
        if (target && guard && target->graphicsEffect() == guard)
            target->setGraphicsEffect(nullptr);
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void fadeOutAndDelete(QWidget* piece, const MotionSpec& motion)
{
    if (!piece)
        return;
    if (motion.durationMs <= 0 || !piece->isVisible()) {
        piece->hide();
        piece->deleteLater();
        return;
    }
    piece->setAttribute(Qt::WA_TransparentForMouseEvents);
    // A fade-in still under way would take the effect away when it ends, leaving the piece solid.
    for (auto* running : piece->findChildren<QVariantAnimation*>(QStringLiteral("pieceFade"), Qt::FindDirectChildrenOnly)) {
        running->disconnect();
        running->stop();
        running->deleteLater();
    }
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(piece->graphicsEffect());
    const double from = effect ? effect->opacity() : 1.0;
    if (!effect) {
        effect = new QGraphicsOpacityEffect(piece);
        piece->setGraphicsEffect(effect);
    }
    effect->setOpacity(from);
    auto* fade = new QVariantAnimation(piece);
    fade->setStartValue(from);
    fade->setEndValue(0.0);
    fade->setDuration(motion.durationMs);
    fade->setEasingCurve(motion.easing);
    QPointer<QGraphicsOpacityEffect> guard(effect);
    QObject::connect(fade, &QVariantAnimation::valueChanged, piece, [guard](const QVariant& v) {
        if (guard)
            guard->setOpacity(std::clamp(v.toDouble(), 0.0, 1.0));
    });
    QObject::connect(fade, &QVariantAnimation::finished, piece, [piece] {
        piece->hide();
        piece->deleteLater();
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

SpringValue::SpringValue(QObject* parent) : QObject(parent)
{
    m_clock.setStartValue(0.0);
    m_clock.setEndValue(1.0);
    connect(&m_clock, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const double seconds = v.toDouble() * m_clock.duration() / 1000.0;
        const double progress = springValue(m_response, m_damping, seconds);
        m_value = m_from + (m_to - m_from) * progress;
        emit valueChanged(m_value);
    });
    connect(&m_clock, &QVariantAnimation::finished, this, [this] {
        m_value = m_to;
        emit valueChanged(m_value);
    });
}

void SpringValue::set(double value)
{
    m_clock.stop();
    m_from = m_to = m_value = value;
    emit valueChanged(m_value);
}

void SpringValue::animateTo(double target, double response, double dampingFraction)
{
    m_clock.stop();
    m_from = m_value;
    m_to = target;
    m_response = response;
    m_damping = dampingFraction;
    m_clock.setDuration(int(std::lround(springSettleSeconds(response, dampingFraction) * 1000)));
    m_clock.start();
}

} // namespace vmk::chrome
