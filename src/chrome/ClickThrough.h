#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

namespace vmk::chrome {

// Floating pieces over the canvas keep transparent room around what they show: the shadow margin of a
// glass surface, the gaps of a stack. Mouse input there stops at the pieces' parent and never reaches
// the page, so a click beside the page pill or under the palette did nothing. Installed on that parent
// (the host), this passes such input on to the widget beneath, as if the pieces were not there. Input on
// what a piece shows (a surface's body, its controls) stays with the piece; input over anything that is
// not one of the layers (a card that covers the page on purpose) is left alone.
class ClickThrough : public QObject {
public:
    explicit ClickThrough(QWidget* host);
    // A piece whose empty room lets input through.
    void addLayer(QWidget* layer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* layerHolding(QWidget* widget) const;
    bool onVisibleSurface(QWidget* deepest, QWidget* layer, const QPoint& hostPos) const;
    QWidget* widgetBeneath(const QPoint& hostPos) const;

    QWidget* m_host;
    QList<QPointer<QWidget>> m_layers;
    QPointer<QWidget> m_target; // where a press went, for the moves and the release that follow
};

} // namespace vmk::chrome
