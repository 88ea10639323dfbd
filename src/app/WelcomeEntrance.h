#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

class QLayoutItem;

namespace vmk::chrome {
class PieceTransition;
}

namespace vmk::app {

// The application's icon on the welcome window, 88 points square, with a warm shadow below it (the
// orange-brown of the icon at 35 %, radius 10, 6 points down). While it grows in, the icon and its
// shadow are blurred together (a Gaussian of 12 points when out, none when in), and a sheen can run
// across it, masked by the icon's own shape. The widget keeps room around the icon for the shadow; it
// says so with the "glassInset" property and is placed in a layout through layoutItem(), so that the
// icon itself is what lines up with its neighbours.
class WelcomeIcon : public QWidget {
    Q_OBJECT
public:
    explicit WelcomeIcon(QWidget* parent = nullptr);

    static constexpr int kSide = 88;
    // Room on every side for the shadow.
    static constexpr int kShadowRoom = 22;
    // A layout item that gives the icon an 88-point slot and lets the shadow's room spill around it.
    QLayoutItem* layoutItem();
    // What the widget paints at this moment: shadow, icon and sheen, blurred as the entrance stands.
    QImage picture() const;

    // 0 … 1: how far the sheen has crossed; at either end it lies off the icon.
    void setSheen(double t);
    double sheen() const { return m_sheen; }
    // The blur of the moment, from how far the icon has come in.
    double blurRadius() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintSheen(QPainter& painter) const;

    QPixmap m_icon;
    QImage m_still; // shadow and icon at rest, at the widget's size
    double m_sheen = 0.0;
};

// The welcome window's entrance, played once, when the window first shows: the icon grows in from 0.3
// with the overshoot curve over 0.8 s while it sharpens and fades in; its sheen crosses with the smooth
// curve over 0.7 s after 0.75 s; the name and tagline rise 18 points and fade in with the glide curve
// over 0.7 s after 0.45 s. Under reduced motion the icon (still growing and sharpening) and the name come in
// together in one 0.25 s ease-in-out, and no sheen runs.
class WelcomeEntrance : public QObject {
    Q_OBJECT
public:
    WelcomeEntrance(WelcomeIcon* icon, QWidget* titleBlock, QObject* parent = nullptr);

    void run(bool reduceMotion);
    bool hasRun() const { return m_ran; }
    // Counts as played: everything shows at rest from the start (a view standing in for one that played).
    void markRun() { m_ran = true; }
    chrome::PieceTransition* iconMotion() const;
    chrome::PieceTransition* titleMotion() const;
    const QVariantAnimation& sheenAnimation() const { return m_sheen; }

private:
    QPointer<WelcomeIcon> m_icon;
    QPointer<QWidget> m_title;
    QVariantAnimation m_sheen;
    bool m_ran = false;
};

} // namespace vmk::app
