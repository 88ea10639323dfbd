#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QWidget>

class QAbstractButton;
class QPainter;
class QPalette;

namespace vmk::chrome {

// The outline of a floating surface: a capsule (pills, bars, toasts) or a rounded rectangle
// (the unlock card, radius 26).
struct GlassShape {
    enum class Kind { capsule, roundedRect };
    Kind kind = Kind::capsule;
    double radius = 0.0;

    static GlassShape capsule() { return {Kind::capsule, 0.0}; }
    static GlassShape roundedRect(double r) { return {Kind::roundedRect, r}; }
    QPainterPath pathIn(const QRectF& rect) const;
    // The corner radius the path takes in a rectangle: half the short side for a capsule.
    double cornerRadiusIn(const QRectF& rect) const;
};

// What the surface is painted with: a translucent fill of the window colour, a hairline edge in the
// text colour at 8 % and a soft shadow below.
struct GlassLook {
    QColor fill;
    QColor edge;
    double edgeWidth = 0.5;
    QColor shadow;
    double shadowRadius = 14.0;
    QPointF shadowOffset{0.0, 5.0};
};

GlassLook glassLook(const QPalette& palette);

// Room around the shape that the shadow needs, so that a surface is never clipped by its widget.
int glassShadowMargin();

void paintGlassBackground(QPainter& painter, const QRectF& rect, const GlassShape& shape, const QPalette& palette);

// A widget that stands its children on a glass surface. Its contents margins keep room for the
// shadow; callers pad their content inside with their own layout.
class GlassSurface : public QWidget {
    Q_OBJECT
public:
    explicit GlassSurface(GlassShape shape = GlassShape::capsule(), QWidget* parent = nullptr);
    GlassShape shape() const { return shape_; }
    void setShape(GlassShape shape);
    // The rectangle the surface itself occupies (inside the shadow margin).
    QRectF surfaceRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GlassShape shape_;
    // The surface as last painted, for as long as its size, shape, palette and pixel ratio stay: whatever
    // moves beneath a surface repaints it on every frame, and its eight antialiased fills cost more than
    // stamping them.
    QImage background_;
    QString backgroundKey_;
};

// The filled look of a confirming action: accent background, white title, rounded corners.
void applyProminentButton(QAbstractButton* button);

} // namespace vmk::chrome
