#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QStaticText>
#include <QString>
#include <QVariantAnimation>

#include <functional>
#include <optional>

class QPainter;
class QPalette;

namespace vmk::views {

// A finished thumbnail: the rendered pixels and its size in points (half the pixel size), and the card face
// made from them on the rendering thread for the card size the organizer showed when it asked (null when it
// could not be told), so that a card coming into sight costs the window no scaling.
struct Thumbnail {
    QImage image;
    QSize pointSize;
    QImage face = {};
};

// Where the parts of a page cell go inside the item's bounds (y down, origin at the top left).
struct PageCellGeometry {
    QRectF card;
    QRectF badge;
    QRectF label;
};

// One item of the page organizer: a white page card with a soft shadow holding the page's thumbnail,
// and a pill-shaped badge with the page number under it. Selection shows as an accent border and
// badge, hover and drag as a larger shadow. The card keeps the page's proportions at any item size,
// so a card waiting for its thumbnail already has the page's shape.
class PageCell : public QObject {
    Q_OBJECT
public:
    static constexpr double kPlaceholderAspect = 0.77;
    // Shadow of a card at rest, under the pointer, and lifted by a drag.
    static constexpr double kRestRadius = 5, kRestOpacity = 0.18;
    static constexpr double kHoverRadius = 9, kHoverOpacity = 0.24;
    static constexpr double kLiftRadius = 14, kLiftOpacity = 0.28;

    explicit PageCell(QObject* parent = nullptr);
    ~PageCell() override;

    // The parts' rectangles for item bounds of the given size, a card aspect (width ÷ height) and the
    // page number label's natural width.
    static PageCellGeometry layoutCard(QSizeF bounds, double aspect, double labelWidth);
    // The semibold 11-point label font with digits of equal width.
    static QFont labelFont();
    // The thumbnail drawn into the card's rounded shape with its resting border, at the card's size in
    // pixels; safe on any thread.
    static QImage makeFace(const QImage& thumbnail, QSize cardSize, double pixelRatio);
    // The card's size in points for items of a size and a thumbnail of a size in points.
    static QSize cardSize(QSizeF itemSize, QSize thumbnailPointSize);

    // The organizer and the thumbnail pipeline set these; the cell repaints through its update handler.
    int pageNumber = 0;
    std::optional<QString> representedKey;
    double placeholderAspect = kPlaceholderAspect;
    std::optional<Thumbnail> thumbnail;

    // Card aspect now: the thumbnail's when it has a height, else the placeholder's.
    double aspect() const;
    PageCellGeometry geometry(QSizeF bounds) const;

    bool isSelected() const { return m_selected; }
    // Border, badge and label change colour over 0.18 s.
    void setSelected(bool selected);
    // The share of the selected look shown now, 0...1 (animated).
    double activeAmount() const;

    bool isHovering() const { return m_hovering; }
    void setHovering(bool hovering);
    // Springs the shadow radius to a new value under a named animation key ("hover", "lift"); the
    // model values are set at once.
    void animateShadow(double radius, double opacity);
    double shadowRadius() const { return m_shadowRadius; }
    double shadowOpacity() const { return m_shadowOpacity; }
    // The radius drawn now (the spring's value while it runs).
    double displayedShadowRadius() const;
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha);

    // Called when anything drawn changes.
    void setUpdateHandler(std::function<void()> handler) { m_update = std::move(handler); }
    // Draws the cell into the item rectangle.
    void paint(QPainter& painter, const QRectF& itemRect, const QPalette& palette) const;

private:
    void changed() const;
    // The thumbnail in the card's rounded shape with its resting border, at the card's size in pixels;
    // made again only when the thumbnail or that size changes. Only for a cell with a thumbnail.
    const QImage& face(QSize cardSize, double pixelRatio) const;

    bool m_selected = false;
    bool m_hovering = false;
    double m_shadowRadius = kRestRadius;
    double m_shadowOpacity = kRestOpacity;
    double m_alpha = 1.0;
    QVariantAnimation m_shadowSpring;
    QVariantAnimation m_activeFade;
    std::function<void()> m_update;
    mutable QImage m_face;
    mutable qint64 m_faceImageKey = 0;
    // The label's number and its natural width, measured once per number rather than on every frame.
    mutable int m_measuredNumber = -1;
    mutable double m_labelWidth = 0;
    mutable QStaticText m_label;
};

// The value at a time in seconds of a spring of mass 1, stiffness 100 and damping 10 moving from 0 to 1.
double defaultSpringValue(double seconds);
// How long that spring takes to come to rest, in seconds.
double defaultSpringSettlingDuration();

} // namespace vmk::views
