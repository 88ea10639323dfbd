#include "chrome/OverlayMotion.h"

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
