#include "signatures/SignaturePadView.h"

#include "signatures/SignatureArtwork.h"
#include "signatures/SignaturePadModel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTabletEvent>

namespace vmk::signatures {

namespace {
double seconds(const QInputEvent* event)
{
    return double(event->timestamp()) / 1000.0;
}
} // namespace

SignaturePadView::SignaturePadView(SignaturePadModel* model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(120, 80);
    if (m_model)
        connect(m_model, &SignaturePadModel::needsDisplay, this, qOverload<>(&QWidget::update));
}

QPointF SignaturePadView::padLocation(const QPointF& widgetPosition) const
{
    return {widgetPosition.x(), height() - widgetPosition.y()};
}

void SignaturePadView::paintEvent(QPaintEvent*)
{
    if (!m_model)
        return;
    QPainter painter(this);
    painter.translate(0, height());
    painter.scale(1, -1);
    drawInkStrokes(m_model->strokes(), painter, m_model->inkColor());
}

void SignaturePadView::mousePressEvent(QMouseEvent* event)
{
    if (!m_model || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_model->beginStroke(padLocation(event->position()), seconds(event));
    event->accept();
}

void SignaturePadView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_model || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    m_model->extendStroke(padLocation(event->position()), seconds(event));
    event->accept();
}

void SignaturePadView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_model || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_model->endStroke();
    event->accept();
}

void SignaturePadView::tabletEvent(QTabletEvent* event)
{
    if (!m_model)
        return;
    // Accepting the tablet event stops Qt from synthesising the matching mouse event, so each sample
    // arrives once, with its pressure.
    const QPointF location = padLocation(event->position());
    const std::optional<double> pressure = event->pressure();
    switch (event->type()) {
    case QEvent::TabletPress:
        m_model->beginStroke(location, seconds(event), pressure);
        break;
    case QEvent::TabletMove:
        if (event->buttons() & Qt::LeftButton)
            m_model->extendStroke(location, seconds(event), pressure);
        break;
    case QEvent::TabletRelease:
        m_model->endStroke();
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace vmk::signatures
