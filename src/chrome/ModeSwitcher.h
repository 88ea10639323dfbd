#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace vmk::chrome {

// One segment of the mode control, by mode raw value (Read 0 … Redact 5).
struct ModeSegmentInfo {
    int mode;
    QString title;
    QString helpText; // the title and its key, e.g. "Read (Ctrl+1)"
};

const std::vector<ModeSegmentInfo>& modeSegments();

// The font of the segment titles.
QFont modeSwitcherFont();

// The width the toolbar gives the control: room for the six titles however wide the selected one is.
int modeSwitcherHostWidth(const QFont& font = modeSwitcherFont());
inline constexpr int kModeSwitcherHostHeight = 30;

// The six-segment control that shows and changes a window's mode. It keeps no selection of its own:
// its host sets the mode and lock state from the window's editor and is asked to change the mode
// through the select action. The accent capsule slides to the new segment whenever the mode changes.
class ModeSwitcher : public QWidget {
    Q_OBJECT
public:
    explicit ModeSwitcher(QWidget* parent = nullptr);

    void setSelectAction(std::function<void(int)> select) { select_ = std::move(select); }
    // Read each time a mode change starts its animation.
    void setReduceMotionProvider(std::function<bool()> provider) { reduceMotion_ = std::move(provider); }

    int mode() const { return mode_; }
    void setMode(int mode);
    bool isLocked() const { return locked_; }
    void setLocked(bool locked);

    std::optional<int> hoveredMode() const { return hovered_; }
    // Hover handlers of a segment; a late exit of a segment leaves a newer hover alone.
    void segmentHoverEntered(int mode);
    void segmentHoverExited(int mode);

    // While locked only Read can be chosen.
    bool isSegmentEnabled(int mode) const;
    // A click on a segment: calls the select action for an enabled segment, also the current one.
    void clickSegment(int mode);

    // The segment the keyboard is on: the arrows move it, Space or Return chooses it.
    int focusedSegment() const { return focused_; }

    QRectF segmentRect(int mode) const;
    int segmentAt(const QPointF& point) const; // −1 outside the segments
    QRectF pillRect() const;
    const QVariantAnimation& pillAnimation() const { return pill_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    double contentWidth() const;
    QColor textColor(int mode) const;

    std::function<void(int)> select_;
    std::function<bool()> reduceMotion_;
    void moveFocus(int step);

    int mode_ = 0;
    int focused_ = 0;
    bool locked_ = false;
    std::optional<int> hovered_;
    QVariantAnimation pill_;
    QRectF pillNow_;
};

} // namespace vmk::chrome
