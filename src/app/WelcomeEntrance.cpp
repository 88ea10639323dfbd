#include "app/WelcomeEntrance.h"

#include "app/AppIcon.h"
#include "chrome/GaussianBlur.h"
#include "chrome/Motion.h"
#include "chrome/Transition.h"

#include <QLayout>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

namespace vmk::app {

namespace {

constexpr int kIconSide = WelcomeIcon::kSide;
constexpr int kRoom = WelcomeIcon::kShadowRoom;
constexpr double kBlurOut = 12.0;
constexpr double kShadowRadius = 10.0;
constexpr double kShadowDrop = 6.0;
constexpr double kSheenTravel = 90.0;
constexpr double kSheenWidth = 40.0;
constexpr int kSheenDelayMs = 750;
constexpr int kSheenMs = 700;

chrome::TransitionLook iconLook()
{
    return chrome::TransitionLook::fadeAndScale(0.3);
}

chrome::TransitionLook titleLook()
{
    return chrome::TransitionLook::fromEdge(Qt::BottomEdge, 18);
}

// Lays the icon out by its 88-point face; the widget around it reaches into the margins by the shadow's room.
class ShadowRoomItem : public QWidgetItem {
public:
    using QWidgetItem::QWidgetItem;
    QSize sizeHint() const override { return face(); }
    QSize minimumSize() const override { return face(); }
    QSize maximumSize() const override { return face(); }
    Qt::Orientations expandingDirections() const override { return {}; }
    void setGeometry(const QRect& rect) override
    {
        if (!isEmpty())
            widget()->setGeometry(QRect(rect.topLeft(), face()).marginsAdded(QMargins(kRoom, kRoom, kRoom, kRoom)));
    }
    QRect geometry() const override { return widget()->geometry().marginsRemoved(QMargins(kRoom, kRoom, kRoom, kRoom)); }

private:
    static QSize face() { return {kIconSide, kIconSide}; }
};

} // namespace

WelcomeIcon::WelcomeIcon(QWidget* parent) : QWidget(parent)
{
    const int side = kIconSide + 2 * kRoom;
    setFixedSize(side, side);
    setProperty("glassInset", kRoom);
    setAttribute(Qt::WA_TranslucentBackground);
    const qreal dpr = devicePixelRatioF();
    m_icon = appIconPixmap(kIconSide, dpr);
    const QRectF face(kRoom, kRoom, kIconSide, kIconSide);

    // The shadow: the icon's own shape in the warm brown at 35 %, dropped and blurred.
    QImage shadow(QSize(side, side) * dpr, QImage::Format_ARGB32_Premultiplied);
    shadow.setDevicePixelRatio(dpr);
    shadow.fill(Qt::transparent);
    {
        QPainter p(&shadow);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(face.translated(0, kShadowDrop), m_icon, QRectF(m_icon.rect()));
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(QRectF(0, 0, side, side), QColor::fromRgbF(0.55f, 0.24f, 0.0f, 0.35f));
    }
    m_still = chrome::gaussianBlurred(shadow, kShadowRadius * dpr);
    QPainter p(&m_still);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(face, m_icon, QRectF(m_icon.rect()));
}

QLayoutItem* WelcomeIcon::layoutItem()
{
    return new ShadowRoomItem(this);
}

void WelcomeIcon::setSheen(double t)
{
    m_sheen = t;
    update();
}

double WelcomeIcon::blurRadius() const
{
    const chrome::PieceTransition* motion = chrome::PieceTransition::find(this);
    const double in = motion ? std::clamp(motion->progress(), 0.0, 1.0) : 1.0;
    return kBlurOut * (1.0 - in);
}

QImage WelcomeIcon::picture() const
{
    const bool sheen = m_sheen > 0.0 && m_sheen < 1.0;
    const double blur = blurRadius();
    if (!sheen && blur <= 0.0)
        return m_still;
    QImage picture = m_still;
    if (sheen) {
        QPainter painter(&picture);
        painter.translate(kRoom, kRoom);
        paintSheen(painter);
    }
    // The icon and its shadow sharpen together, as one picture.
    return chrome::gaussianBlurred(picture, blur * picture.devicePixelRatio());
}

void WelcomeIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(QRectF(rect()), picture());
}

void WelcomeIcon::paintSheen(QPainter& painter) const
{
    // A slanted band of light, kept to the icon's own shape, laid on with a soft-light blend.
    const double dpr = m_icon.devicePixelRatio();
    QImage band(m_icon.size(), QImage::Format_ARGB32_Premultiplied);
    band.setDevicePixelRatio(dpr);
    band.fill(Qt::transparent);
    {
        QPainter light(&band);
        light.setRenderHint(QPainter::Antialiasing);
        const double x = -kSheenTravel + 2 * kSheenTravel * m_sheen;
        light.translate(kIconSide / 2.0 + x, kIconSide / 2.0);
        light.rotate(20);
        QLinearGradient gradient(-kSheenWidth / 2, 0, kSheenWidth / 2, 0);
        gradient.setColorAt(0.0, QColor(255, 255, 255, 0));
        gradient.setColorAt(0.5, QColor(255, 255, 255, 217));
        gradient.setColorAt(1.0, QColor(255, 255, 255, 0));
        light.fillRect(QRectF(-kSheenWidth / 2, -kIconSide, kSheenWidth, 2 * kIconSide), gradient);
        light.resetTransform();
        light.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        light.drawPixmap(QRectF(0, 0, kIconSide, kIconSide), m_icon, QRectF(m_icon.rect()));
    }
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SoftLight);
    painter.drawImage(QRectF(0, 0, kIconSide, kIconSide), band);
    painter.restore();
}

WelcomeEntrance::WelcomeEntrance(WelcomeIcon* icon, QWidget* titleBlock, QObject* parent)
    : QObject(parent), m_icon(icon), m_title(titleBlock)
{
    m_sheen.setParent(this);
    m_sheen.setStartValue(0.0);
    m_sheen.setEndValue(1.0);
    m_sheen.setDuration(kSheenDelayMs + kSheenMs);
    connect(&m_sheen, &QVariantAnimation::valueChanged, this, [this] {
        const double t = std::clamp(double(m_sheen.currentTime() - kSheenDelayMs) / kSheenMs, 0.0, 1.0);
        if (m_icon)
            m_icon->setSheen(chrome::smoothTimingFunction().valueForProgress(t));
    });
}

chrome::PieceTransition* WelcomeEntrance::iconMotion() const
{
    return m_icon ? chrome::PieceTransition::of(m_icon) : nullptr;
}

chrome::PieceTransition* WelcomeEntrance::titleMotion() const
{
    return m_title ? chrome::PieceTransition::of(m_title) : nullptr;
}

void WelcomeEntrance::run(bool reduceMotion)
{
    // Once per window: shown again later, everything is in already.
    if (m_ran || !m_icon || !m_title)
        return;
    m_ran = true;
    using chrome::curveMotion;
    // Under reduced motion the icon and the name come in together in one short ease, without the sheen.
    const chrome::MotionSpec together = chrome::easeInOutMotion(0.25);
    iconMotion()->startOut(iconLook());
    titleMotion()->startOut(titleLook());
    iconMotion()->enter(iconLook(), reduceMotion ? together : curveMotion(chrome::overshootCurve, 0.8, false));
    titleMotion()->enter(titleLook(), reduceMotion ? together : curveMotion(chrome::glideCurve, 0.7, false, 0.45));
    // The icon repaints as it sharpens, the clock of its growth being the one of its blur.
    connect(&iconMotion()->animation(), &QVariantAnimation::valueChanged, m_icon, [icon = m_icon] {
        if (icon)
            icon->update();
    });
    if (!reduceMotion)
        m_sheen.start();
}

} // namespace vmk::app
