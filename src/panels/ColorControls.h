#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

class QPainter;

namespace vmk::panels {

using ColorPick = std::function<void(const QColor&)>;

// The names shown for the six swatches, in swatch order.
const QStringList& swatchNames();

// True when no swatch matches the colour (also for a colour without an sRGB form).
bool isCustomColor(const QColor& color);
bool isCustomColor(const QColor& color, const QList<QColor>& swatches);

// How far apart two opaque colours are to the eye: the ratio of their relative luminances (each plus
// 0.05), from 1 for equal colours to 21 for black against white.
double contrastRatio(const QColor& a, const QColor& b);

// The edge drawn inside a colour dot that stands on the palette's window colour: a hairline of the text
// colour at 35 %, or, for a colour too close to the background to stand out by itself (ink on dark
// glass, white or yellow on light glass), a firmer ring of the text colour, as colour pickers set off
// such swatches.
struct DotEdge {
    QColor color;
    double width = 0.75;
    bool contrastRing = false;
};
DotEdge dotEdge(const QColor& dot, const QPalette& palette);
// A 16 pt dot of `color` in `dot` with its edge.
void paintColorDot(QPainter& painter, const QRectF& dot, const QColor& color, const QPalette& palette);

// One swatch: a 16 pt dot with its edge and, when selected, an accent ring 1 pt outside it.
class ColorDot : public QAbstractButton {
    Q_OBJECT
public:
    ColorDot(const QColor& color, bool isSelected, std::function<void()> action, QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    QSize sizeHint() const override { return {24, 24}; }

protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    bool m_selected;
};

// The seventh control: a rainbow ring around a disc that shows the current colour when it is custom.
// A click opens the shared colour panel for the row it stands in.
class CustomColorRing : public QAbstractButton {
    Q_OBJECT
public:
    CustomColorRing(const QColor& current, bool isSelected, QWidget* parent = nullptr);
    QColor current() const { return m_current; }
    bool isSelected() const { return m_selected; }
    void setCurrent(const QColor& current, bool isSelected);
    // What the disc is filled with: the current colour when selected, else a faint grey.
    QColor discColor() const;
    QSize sizeHint() const override { return {24, 24}; }

protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_current;
    bool m_selected;
};

// The colour row of the palette and the inspector: six swatches and the custom ring, 168 pt wide. It
// changes nothing itself; the chosen colour goes to `pick`. `context` is what the pick acts on (the
// window's Editor): the shared colour panel forgets a pick whose context is gone.
class SwatchRow : public QWidget {
    Q_OBJECT
public:
    SwatchRow(const QColor& current, ColorPick pick, QObject* context, QWidget* parent = nullptr);
    ~SwatchRow() override;

    QColor current() const { return m_current; }
    void setCurrent(const QColor& current);
    const ColorPick& pick() const { return m_pick; }
    QObject* context() const { return m_context; }
    const QList<ColorDot*>& dots() const { return m_dots; }
    CustomColorRing* ring() const { return m_ring; }
    // The one selected control: a dot's index, or 6 for the ring; -1 when none.
    int selectedIndex() const;
    // Opens the shared colour panel at the current colour, sending its colours to this row's pick.
    void openColorPanel();

private:
    QColor m_current;
    ColorPick m_pick;
    QPointer<QObject> m_context;
    QList<ColorDot*> m_dots;
    CustomColorRing* m_ring = nullptr;
};

} // namespace vmk::panels
