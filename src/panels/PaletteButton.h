#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QVariantAnimation>

#include <functional>

class QPalette;

namespace vmk::panels {

// What a palette button hands to its platform button beside the action: deleting commands say so.
enum class ButtonRole { none, destructive, cancel };

// How a palette button draws for its state: selection wins over hover.
struct PaletteButtonLook {
    QColor background;
    QColor foreground;
    double scale = 1.0;
};

PaletteButtonLook paletteButtonLook(bool selected, bool hovering, const QPalette& palette);

inline constexpr int kPaletteButtonSide = 30;

// The round symbol button of the floating palettes and pills: 30 × 30, a symbol over a circle that shows
// the selected or hovered state. Only the circle takes clicks. The help text is both the tooltip and the
// accessible name, as given.
class PaletteButton : public QAbstractButton {
    Q_OBJECT
public:
    PaletteButton(const QString& symbol, const QString& help, bool isSelected, ButtonRole role,
                  std::function<void()> action, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    QString help() const { return m_help; }
    ButtonRole role() const { return m_role; }
    bool isSelected() const { return m_selected; }
    // Springs the scale to its new value; the colours follow at once.
    void setSelected(bool selected);
    bool isHovering() const { return m_hovering; }
    // The scale as drawn now (moves while the selection spring runs).
    double currentScale() const { return m_scale; }
    const QVariantAnimation& scaleAnimation() const { return m_scaleAnimation; }

    QSize sizeHint() const override { return {kPaletteButtonSide, kPaletteButtonSide}; }

protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_symbol;
    QString m_help;
    bool m_selected = false;
    ButtonRole m_role = ButtonRole::none;
    std::function<void()> m_action;
    bool m_hovering = false;
    double m_scale = 1.0;
    QVariantAnimation m_scaleAnimation;
};

// Whether a point lies in the circle inscribed in a rectangle: the hit area of round controls.
bool insideCircle(const QRectF& rect, const QPointF& point);

} // namespace vmk::panels
