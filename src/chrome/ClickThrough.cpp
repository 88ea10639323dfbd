#include "chrome/ClickThrough.h"

#include "chrome/Glass.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>

namespace vmk::chrome {

ClickThrough::ClickThrough(QWidget* host)
    : QObject(host), m_host(host)
{
    host->installEventFilter(this);
    // Moves without a button pressed reach a parent only when it tracks the mouse.
    host->setMouseTracking(true);
}

void ClickThrough::addLayer(QWidget* layer)
{
    if (layer)
        m_layers.append(layer);
}

QWidget* ClickThrough::layerHolding(QWidget* widget) const
{
    for (QWidget* w = widget; w && w != m_host; w = w->parentWidget())
        for (const QPointer<QWidget>& layer : m_layers)
            if (layer == w)
                return w;
    return nullptr;
}

bool ClickThrough::onVisibleSurface(QWidget* deepest, QWidget* layer, const QPoint& hostPos) const
{
    for (QWidget* w = deepest; w; w = w->parentWidget()) {
        if (auto* surface = qobject_cast<GlassSurface*>(w)) {
            const QPointF local = surface->mapFrom(m_host, QPointF(hostPos));
            if (surface->shape().pathIn(surface->surfaceRect()).contains(local))
                return true;
        }
        if (w == layer)
            break;
    }
    return false;
}

QWidget* ClickThrough::widgetBeneath(const QPoint& hostPos) const
{
    QList<QWidget*> hidden;
    for (const QPointer<QWidget>& layer : m_layers)
        if (layer && !layer->testAttribute(Qt::WA_TransparentForMouseEvents)) {
            layer->setAttribute(Qt::WA_TransparentForMouseEvents, true);
            hidden.append(layer);
        }
    QWidget* beneath = m_host->childAt(hostPos);
    for (QWidget* layer : hidden)
        layer->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    return beneath;
}

bool ClickThrough::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_host)
        return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint pos = wheel->position().toPoint();
        QWidget* layer = layerHolding(m_host->childAt(pos));
        if (!layer || onVisibleSurface(m_host->childAt(pos), layer, pos))
            return false;
        QWidget* target = widgetBeneath(pos);
        if (!target)
            return false;
        const QPointF local = target->mapFrom(m_host, wheel->position());
        QWheelEvent copy(local, wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(),
                         wheel->modifiers(), wheel->phase(), wheel->inverted(), wheel->source(),
                         wheel->pointingDevice());
        QCoreApplication::sendEvent(target, &copy);
        return true;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove
        && type != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint pos = mouse->position().toPoint();
    QWidget* target = m_target;
    const bool following = target && (type == QEvent::MouseMove || type == QEvent::MouseButtonRelease)
                           && (type == QEvent::MouseButtonRelease || mouse->buttons() != Qt::NoButton);
    if (!following) {
        m_target = nullptr;
        QWidget* deepest = m_host->childAt(pos);
        QWidget* layer = layerHolding(deepest);
        if (!layer)
            return false;
        if (onVisibleSurface(deepest, layer, pos))
            return type != QEvent::MouseMove; // a click on the body itself goes nowhere else
        target = widgetBeneath(pos);
        if (!target || layerHolding(target))
            return false;
    }
    const QPointF local = target->mapFrom(m_host, mouse->position());
    QMouseEvent copy(type, local, mouse->scenePosition(), mouse->globalPosition(), mouse->button(), mouse->buttons(),
                     mouse->modifiers(), mouse->pointingDevice());
    QCoreApplication::sendEvent(target, &copy);
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
        m_target = target;
    else if (type == QEvent::MouseButtonRelease && mouse->buttons() == Qt::NoButton)
        m_target = nullptr;
    return true;
}

} // namespace vmk::chrome
