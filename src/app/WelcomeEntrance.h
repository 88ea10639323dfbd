#pragma once

#include <QPixmap>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

namespace vmk::chrome {
class PieceTransition;
}

namespace vmk::app {

// The application's icon on the welcome window. While it grows in it is blurred (12 points when out,
// none when in), and a sheen can run across it, masked by the icon's own shape.
class WelcomeIcon : public QWidget {
    Q_OBJECT
public:
    explicit WelcomeIcon(QWidget* parent = nullptr);

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
    QPixmap m_soft; // the icon blurred
    double m_sheen = 0.0;
};

// The welcome window's entrance, played once, when the window first shows: the icon grows in from 0.3
// with the overshoot curve over 0.8 s while it sharpens and fades in; its sheen crosses with the smooth
// curve over 0.7 s after 0.75 s; the name and tagline rise 18 points and fade in with the glide curve
// over 0.7 s after 0.45 s. Under reduced motion everything is in place at once and no sheen runs.
class WelcomeEntrance : public QObject {
    Q_OBJECT
public:
    WelcomeEntrance(WelcomeIcon* icon, QWidget* titleBlock, QObject* parent = nullptr);

    void run(bool reduceMotion);
    bool hasRun() const { return m_ran; }
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
