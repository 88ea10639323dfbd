#pragma once

#include "chrome/Motion.h"

#include <QGraphicsEffect>
#include <QPointer>
#include <QPointF>
#include <QVariantAnimation>

class QWidget;

namespace vmk::chrome {

// How a piece looks while it is out: always transparent, and optionally scaled about its centre and
// moved (toward the edge it comes in from). Between out and in the look is interpolated.
struct TransitionLook {
    double scale = 1.0;
    QPointF offset;

    static TransitionLook fade() { return {}; }
    static TransitionLook fadeAndScale(double scale) { return {scale, {}}; }
    // Moved `distance` points beyond its place toward `edge` (top or bottom), optionally scaled.
    static TransitionLook fromEdge(Qt::Edge edge, double distance, double scale = 1.0);
};

// The motion of a piece coming or going: the curve and duration of the change that moves it, or no
// motion at all (duration 0) when the user asked for reduced motion, so the piece jumps to its end.
MotionSpec pieceMotion(const MotionSpec& motion, bool reduceMotion);

// Paints its widget at an opacity, scaled about its centre and moved by an offset. The widget's own
// geometry is never touched, so its layout stays exact whatever the motion does.
class TransitionEffect : public QGraphicsEffect {
    Q_OBJECT
public:
    // A piece with this dynamic property set to true paints every one of its pixels opaque, so the memory
    // it is drawn into need not be cleared first (a window-sized clear on every frame of its motion).
    static constexpr const char* kPaintsEveryPixel = "paintsEveryPixel";

    // The piece's picture is drawn from `piece` itself into memory kept from frame to frame when it is
    // given; without it, from the copy Qt makes afresh for every frame.
    explicit TransitionEffect(QWidget* piece = nullptr, QObject* parent = nullptr);

    void setState(double opacity, double scale, QPointF offset);
    double opacity() const { return m_opacity; }
    double scale() const { return m_scale; }
    QPointF offset() const { return m_offset; }

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    double m_opacity = 1.0;
    double m_scale = 1.0;
    QPointF m_offset;
    QPointer<QWidget> m_piece;
};

// Brings one widget in or takes it out, from wherever it stands at the moment: a request made while
// another runs turns the piece around smoothly. At rest the widget carries no effect and no animation
// runs; a piece that has left is hidden (or deleted, when asked).
class PieceTransition : public QObject {
    Q_OBJECT
public:
    enum class AfterLeaving { hide, deleteWidget };

    // The widget's own transition, made on first use; it lives and dies with the widget.
    static PieceTransition* of(QWidget* widget);
    // The widget's transition if it has one, else null.
    static PieceTransition* find(const QWidget* widget);

    // Shows the widget and brings it in from `look`, after the motion's delay (out until then). A piece
    // already in stays as it is.
    void enter(const TransitionLook& look, const MotionSpec& motion);
    // Takes the widget out toward `look`; it takes no mouse events on its way out.
    void leave(const TransitionLook& look, const MotionSpec& motion, AfterLeaving after = AfterLeaving::hide);
    // Jumps to the end of what runs now.
    void finish();
    // Puts a piece that shows out of sight at once (still shown, painted transparent), ready to enter;
    // for pieces that are laid out from the start and make an entrance when their window first shows.
    void startOut(const TransitionLook& look);

    // 0 out … 1 in; an overshooting curve passes beyond for a moment.
    double progress() const { return m_progress; }
    bool isLeaving() const { return m_target == 0.0; }
    // Under way (a paused clock counts: the piece is not at rest).
    bool isRunning() const { return m_clock.state() != QAbstractAnimation::Stopped; }
    const QVariantAnimation& animation() const { return m_clock; }

signals:
    // The piece has finished leaving; sent before it is hidden or deleted, so whoever tracks it can let
    // go while it is still whole.
    void left();

private:
    explicit PieceTransition(QWidget* widget);
    void run(double target, const TransitionLook& look, const MotionSpec& motion);
    void tick();
    void apply(double progress);
    void settle();

    QWidget* m_widget;
    // One clock for the delay and the motion; the curve is applied here, after the delay.
    QVariantAnimation m_clock;
    QEasingCurve m_easing;
    int m_delayMs = 0;
    double m_from = 0.0;
    TransitionLook m_look;
    double m_progress = 1.0;
    double m_target = 1.0;
    AfterLeaving m_after = AfterLeaving::hide;
    bool m_madeTransparent = false;
};

} // namespace vmk::chrome
