#include "chrome/FeedbackMarks.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace vmk::chrome {

namespace {

QColor faded(QColor c, double alpha)
{
    c.setAlphaF(c.alphaF() * alpha);
    return c;
}

constexpr int kLoopMs = 1800;

} // namespace

FeedbackMark::FeedbackMark(bool reduceMotion, QWidget* parent) : QWidget(parent), m_reduceMotion(reduceMotion)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_clock.setStartValue(0.0);
    m_clock.setEndValue(1.0);
    connect(&m_clock, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        if (duration() > 0)
            setElapsed(v.toDouble() * duration());
        else // a loop keeps counting its rounds so the stroke runs on without a jump
            setElapsed((double(m_clock.currentLoop()) * kLoopMs + m_clock.currentLoopTime()) / 1000.0);
    });
}

void FeedbackMark::start()
{
    if (m_started)
        return;
    m_started = true;
    if (duration() > 0) {
        m_clock.setDuration(int(std::lround(duration() * 1000)));
        m_clock.setLoopCount(1);
    } else {
        if (m_reduceMotion)
            return; // nothing moves
        m_clock.setDuration(kLoopMs);
        m_clock.setLoopCount(-1);
    }
    m_clock.start();
}

void FeedbackMark::setElapsed(double seconds)
{
    m_elapsed = std::max(seconds, m_elapsed); // the states only move forward
    update();
}

void FeedbackMark::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    start();
}

SuccessMark::SuccessMark(double size, bool reduceMotion, QWidget* parent) : FeedbackMark(reduceMotion, parent), m_size(size)
{
    setFixedSize(int(std::ceil(size)), int(std::ceil(size)));
}

void SuccessMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const SuccessMarkState s = state();
    const QColor accent = palette().color(QPalette::Highlight);
    const QColor primary = palette().color(QPalette::WindowText);
    const QRectF mark(0, 0, m_size, m_size);
    const QRectF circle = mark.adjusted(1, 1, -1, -1);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(faded(primary, 0.12), 2));
    painter.drawEllipse(circle);
    if (s.ring > 0) {
        QPen pen(accent, 2);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        // From the top, clockwise.
        painter.drawArc(circle, 90 * 16, -int(std::lround(std::min(s.ring, 1.0) * 360 * 16)));
    }
    if (s.disc > 0) {
        const double scale = 0.2 + 0.8 * s.disc;
        painter.save();
        painter.setOpacity(std::clamp(s.disc, 0.0, 1.0));
        painter.translate(mark.center());
        painter.scale(scale, scale);
        painter.translate(-mark.center());
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawEllipse(mark);
        painter.restore();
    }
    if (s.check > 0) {
        QPen pen(Qt::white, 2.2);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(trimmedPath(checkShapePath(successCheckRect(mark)), s.check));
    }
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 8; ++i) {
        const BurstDot dot = successBurstDot(i, m_size, s);
        if (dot.opacity <= 0)
            continue;
        painter.setBrush(faded(accent, 0.6 * dot.opacity));
        painter.drawEllipse(mark.center() + dot.centre, 1.5, 1.5);
    }
}

MergeMark::MergeMark(bool split, bool reduceMotion, QWidget* parent) : FeedbackMark(reduceMotion, parent), m_split(split)
{
    setFixedSize(30, 18);
}

void MergeMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    const double t = together();
    const QPointF centre = QRectF(rect()).center();
    for (int i = 0; i < 5; ++i) {
        const MergePage page = mergeMarkPage(i, t);
        painter.save();
        painter.translate(centre + page.offset);
        painter.rotate(page.rotation);
        const QRectF sheet(-4.5, -6, 9, 12);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 51));
        painter.drawRoundedRect(sheet.translated(0, 0.5).adjusted(-0.5, -0.5, 0.5, 0.5), 1.5, 1.5);
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(sheet, 1.5, 1.5);
        painter.setBrush(page.accentHeader ? accent : QColor(Qt::gray));
        painter.drawRoundedRect(QRectF(sheet.left() + 2, sheet.top() + 2, sheet.width() - 4, 2), 1, 1);
        painter.restore();
    }
}

ProcessingStroke::ProcessingStroke(bool reduceMotion, QWidget* parent) : FeedbackMark(reduceMotion, parent)
{
    setFixedSize(36, 16);
}

void ProcessingStroke::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath stroke = signatureStrokePath(QRectF(rect()));
    QPen track(faded(palette().color(QPalette::WindowText), 0.12), 2.4);
    track.setCapStyle(Qt::RoundCap);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(track);
    painter.drawPath(stroke);
    if (penOpacity() <= 0 || trim() <= 0)
        return;
    QPen pen(palette().color(QPalette::Highlight), 2.4);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.drawPath(trimmedPath(stroke, trim()));
}

} // namespace vmk::chrome
