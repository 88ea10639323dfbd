#include "chrome/Transition.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace vmk::chrome {

TransitionLook TransitionLook::fromEdge(Qt::Edge edge, double distance, double scale)
{
    TransitionLook look{scale, {}};
    switch (edge) {
    case Qt::TopEdge:
        look.offset = {0.0, -distance};
        break;
    case Qt::BottomEdge:
        look.offset = {0.0, distance};
        break;
    case Qt::LeftEdge:
        look.offset = {-distance, 0.0};
        break;
    case Qt::RightEdge:
        look.offset = {distance, 0.0};
        break;
    }
    return look;
}

MotionSpec pieceMotion(const MotionSpec& motion, bool reduceMotion)
{
    // Reduced motion keeps the change visible but calm: a short ease in place of springs and overshoots.
    if (reduceMotion)
        return easeInOutMotion(0.2, motion.delayMs / 1000.0);
    return motion;
}

// --- Effect ------------------------------------------------------------------------------------------

namespace {

// The memory every moving piece is drawn into, one piece at a time on this thread. A fresh window-sized
// picture per motion cost tens of milliseconds of page faults in its first frame; this one stays while
// motions follow one another and goes a few seconds after the last.
uchar* sharedPixels(qsizetype bytes)
{
    static std::unique_ptr<uchar[]> pixels;
    static qsizetype size = 0;
    static QPointer<QTimer> release;
    if (bytes > size) {
        pixels.reset(new uchar[size_t(bytes)]);
        size = bytes;
    }
    if (!release && QCoreApplication::instance()) {
        release = new QTimer(QCoreApplication::instance());
        release->setSingleShot(true);
        release->setInterval(5000);
        QObject::connect(release, &QTimer::timeout, [] {
            pixels.reset();
            size = 0;
        });
    }
    if (release)
        release->start();
    return pixels.get();
}

} // namespace

TransitionEffect::TransitionEffect(QWidget* piece, QObject* parent) : QGraphicsEffect(parent), m_piece(piece) {}

void TransitionEffect::setState(double opacity, double scale, QPointF offset)
{
    opacity = std::clamp(opacity, 0.0, 1.0);
    scale = std::max(scale, 0.0);
    if (opacity == m_opacity && scale == m_scale && offset == m_offset)
        return;
    // A new bounding rectangle makes Qt repaint the whole parent, which draws the piece a second time in
    // the same frame; a piece that only shrinks inside its own place (scale below 1, no offset) keeps it.
    const QRectF source = sourceBoundingRect(Qt::LogicalCoordinates);
    const QRectF before = boundingRectFor(source);
    m_opacity = opacity;
    m_scale = scale;
    m_offset = offset;
    if (boundingRectFor(source) != before)
        updateBoundingRect();
    update();
}

QRectF TransitionEffect::boundingRectFor(const QRectF& rect) const
{
    // Where the moved and scaled picture lands, and the widget's own place (to clear what was drawn there).
    const QPointF c = rect.center();
    const QSizeF size = rect.size() * m_scale;
    const QRectF moved(c + m_offset - QPointF(size.width() / 2, size.height() / 2), size);
    return rect.united(moved);
}

void TransitionEffect::draw(QPainter* painter)
{
    if (m_opacity <= 0.0)
        return;
    if (m_scale == 1.0 && m_offset.isNull() && m_opacity >= 1.0) {
        drawSource(painter);
        return;
    }
    const QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
    QPoint origin;
    QPixmap picture;
    QImage buffer;
    if (m_piece && bounds.isValid()) {
        // Qt's own copy is a new window-sized picture every frame, and touching its fresh memory cost
        // more than drawing the piece into it; kept memory is cleared and drawn into instead.
        const double ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        const QSize pixels = (bounds.size() * ratio).toSize();
        // Wrapped afresh each frame: another piece may have grown the memory since.
        buffer = QImage(sharedPixels(qsizetype(pixels.width()) * pixels.height() * 4), pixels.width(), pixels.height(),
                        pixels.width() * 4, QImage::Format_ARGB32_Premultiplied);
        buffer.setDevicePixelRatio(ratio);
        if (!m_piece->property(kPaintsEveryPixel).toBool())
            buffer.fill(Qt::transparent);
        QPainter p(&buffer);
        m_piece->render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
        origin = bounds.topLeft().toPoint();
    } else {
        picture = sourcePixmap(Qt::LogicalCoordinates, &origin, QGraphicsEffect::NoPad);
        if (picture.isNull())
            return;
    }
    const QPointF c = bounds.center();
    painter->save();
    painter->setOpacity(painter->opacity() * m_opacity);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->translate(c + m_offset);
    painter->scale(m_scale, m_scale);
    painter->translate(-c);
    if (picture.isNull())
        painter->drawImage(origin, buffer);
    else
        painter->drawPixmap(origin, picture);
    painter->restore();
}

// --- Transition --------------------------------------------------------------------------------------

PieceTransition::PieceTransition(QWidget* widget) : QObject(widget), m_widget(widget)
{
    setObjectName(QStringLiteral("pieceTransition"));
    // Parented, so that whoever looks for running animations under the widget finds this one too.
    m_clock.setParent(this);
    // A piece that has not been shown yet is out; one on screen is in.
    m_progress = m_target = widget->isHidden() ? 0.0 : 1.0;
    m_clock.setStartValue(0.0);
    m_clock.setEndValue(1.0);
    connect(&m_clock, &QVariantAnimation::valueChanged, this, [this] { tick(); });
    connect(&m_clock, &QVariantAnimation::finished, this, [this] { settle(); });
}

PieceTransition* PieceTransition::find(const QWidget* widget)
{
    return widget ? widget->findChild<PieceTransition*>(QStringLiteral("pieceTransition"), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

PieceTransition* PieceTransition::of(QWidget* widget)
{
    if (PieceTransition* existing = find(widget))
        return existing;
    return new PieceTransition(widget);
}

void PieceTransition::enter(const TransitionLook& look, const MotionSpec& motion)
{
    if (m_madeTransparent) {
        m_widget->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        m_madeTransparent = false;
    }
    if (m_widget->isHidden()) {
        // A hidden piece starts from out, whatever it did before it was hidden.
        m_clock.stop();
        m_progress = 0.0;
        apply(0.0);
        m_widget->show();
    }
    run(1.0, look, motion);
}

void PieceTransition::leave(const TransitionLook& look, const MotionSpec& motion, AfterLeaving after)
{
    m_after = after;
    if (m_widget->isHidden()) {
        m_clock.stop();
        m_progress = m_target = 0.0;
        settle();
        return;
    }
    if (!m_widget->testAttribute(Qt::WA_TransparentForMouseEvents)) {
        m_widget->setAttribute(Qt::WA_TransparentForMouseEvents, true);
        m_madeTransparent = true;
    }
    run(0.0, look, motion);
}

void PieceTransition::finish()
{
    if (!isRunning())
        return;
    m_clock.stop();
    m_progress = m_target;
    settle();
}

void PieceTransition::startOut(const TransitionLook& look)
{
    m_clock.stop();
    m_look = look;
    m_progress = m_target = 0.0;
    apply(0.0);
}

void PieceTransition::run(double target, const TransitionLook& look, const MotionSpec& motion)
{
    if (target == m_target && m_clock.state() != QAbstractAnimation::Stopped)
        return; // already on its way there
    m_clock.stop();
    m_target = target;
    m_look = look;
    if (motion.durationMs <= 0 || m_progress == target) {
        m_progress = target;
        settle();
        return;
    }
    m_from = m_progress;
    m_delayMs = std::max(0, motion.delayMs);
    m_easing = motion.easing;
    m_clock.setDuration(m_delayMs + motion.durationMs);
    apply(m_progress);
    m_clock.start();
}

void PieceTransition::tick()
{
    const int moving = m_clock.duration() - m_delayMs;
    const double t = std::clamp(double(m_clock.currentTime() - m_delayMs) / std::max(1, moving), 0.0, 1.0);
    apply(m_from + (m_target - m_from) * m_easing.valueForProgress(t));
}

void PieceTransition::apply(double progress)
{
    m_progress = progress;
    auto* effect = qobject_cast<TransitionEffect*>(m_widget->graphicsEffect());
    if (!effect) {
        effect = new TransitionEffect(m_widget);
        m_widget->setGraphicsEffect(effect);
    }
    const double scale = m_look.scale + (1.0 - m_look.scale) * progress;
    effect->setState(progress, scale, m_look.offset * (1.0 - progress));
}

void PieceTransition::settle()
{
    // At rest nothing is left of the motion: no effect, no clock, the widget where its layout put it.
    if (qobject_cast<TransitionEffect*>(m_widget->graphicsEffect()))
        m_widget->setGraphicsEffect(nullptr);
    if (m_target >= 1.0)
        return;
    if (m_madeTransparent) {
        m_widget->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        m_madeTransparent = false;
    }
    emit left();
    m_widget->hide();
    if (m_after == AfterLeaving::deleteWidget)
        m_widget->deleteLater();
}

} // namespace vmk::chrome
