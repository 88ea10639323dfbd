#pragma once

#include <QPointer>
#include <QWidget>

#include <optional>

namespace vmk::signatures {

class SignaturePadModel;

// The surface a signature is drawn on: turns mouse and tablet events into the model's strokes (flipping to
// y up, so strokes need no flipping when they become artwork) and paints them with no background, so the
// card behind shows through.
class SignaturePadView : public QWidget {
    Q_OBJECT
public:
    explicit SignaturePadView(SignaturePadModel* model, QWidget* parent = nullptr);

    SignaturePadModel* model() const { return m_model; }

    // A widget position (y down) as a pad location (y up).
    QPointF padLocation(const QPointF& widgetPosition) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;

private:
    QPointer<SignaturePadModel> m_model;
};

} // namespace vmk::signatures
