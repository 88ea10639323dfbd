#include "panels/ColorControls.h"

#include "editor/EditorModel.h"
#include "panels/ColorPanelBridge.h"
#include "panels/PaletteButton.h"

#include <QConicalGradient>
#include <QHBoxLayout>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vmk::panels {

const QStringList& swatchNames()
{
    static const QStringList names{QStringLiteral("Yellow"), QStringLiteral("Green"), QStringLiteral("Blue"),
                                   QStringLiteral("Red"), QStringLiteral("Pink"), QStringLiteral("Black")};
    return names;
}

bool isCustomColor(const QColor& color, const QList<QColor>& swatches)
{
    for (const QColor& swatch : swatches) {
        if (colorsMatch(color, swatch))
            return false;
    }
    return true;
}

bool isCustomColor(const QColor& color)
{
    return isCustomColor(color, Swatch::all());
}

double contrastRatio(const QColor& a, const QColor& b)
{
    auto luminance = [](const QColor& c) {
        auto linear = [](float v) { return v <= 0.04045f ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        const QColor s = c.toRgb();
        return 0.2126 * linear(s.redF()) + 0.7152 * linear(s.greenF()) + 0.0722 * linear(s.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

DotEdge dotEdge(const QColor& dot, const QPalette& palette)
{
    const QColor background = palette.color(QPalette::Window);
    // What the eye sees of the dot: a see-through colour lies over the background.
    QColor seen = dot.toRgb();
    const double alpha = seen.isValid() ? seen.alphaF() : 0.0;
    seen = QColor::fromRgbF(float(seen.redF() * alpha + background.redF() * (1 - alpha)),
                            float(seen.greenF() * alpha + background.greenF() * (1 - alpha)),
                            float(seen.blueF() * alpha + background.blueF() * (1 - alpha)));
    DotEdge edge;
    edge.color = palette.color(QPalette::WindowText);
    if (contrastRatio(seen, background) < 1.5) {
        edge.color.setAlphaF(0.6f);
        edge.width = 1.25;
        edge.contrastRing = true;
    } else {
        edge.color.setAlphaF(0.35f);
    }
    return edge;
}

void paintColorDot(QPainter& painter, const QRectF& dot, const QColor& color, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(dot);
    const DotEdge edge = dotEdge(color, palette);
    painter.setPen(QPen(edge.color, edge.width));
    painter.setBrush(Qt::NoBrush);
    const double inset = edge.width / 2;
    painter.drawEllipse(dot.adjusted(inset, inset, -inset, -inset));
    painter.restore();
}

namespace {

void paintSelectionRing(QPainter& painter, const QRectF& frame, bool selected, const QPalette& palette)
{
    if (!selected)
        return;
    // A 2 pt border drawn inside the 22 pt circle, 1 pt clear of the 16 pt dot.
    const QRectF ring = QRectF(frame.center() - QPointF(11, 11), QSizeF(22, 22)).adjusted(1, 1, -1, -1);
    painter.setPen(QPen(palette.color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(ring);
}

QRectF dotRect(const QRectF& frame)
{
    return QRectF(frame.center() - QPointF(8, 8), QSizeF(16, 16));
}

} // namespace

ColorDot::ColorDot(const QColor& color, bool isSelected, std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), m_color(color), m_selected(isSelected)
{
    setFixedSize(24, 24);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}

void ColorDot::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

bool ColorDot::hitButton(const QPoint& pos) const
{
    return insideCircle(QRectF(rect()), QPointF(pos) + QPointF(0.5, 0.5));
}

void ColorDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(rect());
    paintColorDot(painter, dotRect(frame), m_color, palette());
    paintSelectionRing(painter, frame, m_selected, palette());
}

CustomColorRing::CustomColorRing(const QColor& current, bool isSelected, QWidget* parent)
    : QAbstractButton(parent), m_current(current), m_selected(isSelected)
{
    setFixedSize(24, 24);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(tr("Custom Color…"));
    setAccessibleName(tr("Custom Color"));
}

void CustomColorRing::setCurrent(const QColor& current, bool isSelected)
{
    m_current = current;
    m_selected = isSelected;
    update();
}

QColor CustomColorRing::discColor() const
{
    if (m_selected && m_current.isValid())
        return m_current;
    QColor faint = palette().color(QPalette::WindowText);
    faint.setAlphaF(0.08);
    return faint;
}

bool CustomColorRing::hitButton(const QPoint& pos) const
{
    return insideCircle(QRectF(rect()), QPointF(pos) + QPointF(0.5, 0.5));
}

void CustomColorRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(rect());
    const QRectF outer = dotRect(frame);
    QConicalGradient gradient(outer.center(), 0);
    const QList<QColor> stops{Qt::red, QColor(255, 149, 0), Qt::yellow, Qt::green, Qt::cyan,
                              Qt::blue, QColor(175, 82, 222), QColor(255, 45, 85), Qt::red};
    for (int i = 0; i < stops.size(); ++i)
        gradient.setColorAt(double(i) / (stops.size() - 1), stops[i]);
    painter.setPen(QPen(QBrush(gradient), 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(outer.adjusted(1.5, 1.5, -1.5, -1.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(discColor());
    painter.drawEllipse(outer.adjusted(4.5, 4.5, -4.5, -4.5));
    paintSelectionRing(painter, frame, m_selected, palette());
}

SwatchRow::SwatchRow(const QColor& current, ColorPick pick, QObject* context, QWidget* parent)
    : QWidget(parent), m_current(current), m_pick(std::move(pick)), m_context(context)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const QList<QColor>& swatches = Swatch::all();
    for (int i = 0; i < swatches.size(); ++i) {
        const QColor swatch = swatches[i];
        auto* dot = new ColorDot(swatch, colorsMatch(current, swatch), [this, swatch] {
            if (m_pick)
                m_pick(swatch);
        });
        const QString name = i < swatchNames().size() ? swatchNames()[i] : QString();
        dot->setToolTip(name);
        dot->setAccessibleName(name);
        m_dots.append(dot);
        row->addWidget(dot);
    }
    m_ring = new CustomColorRing(current, isCustomColor(current));
    connect(m_ring, &QAbstractButton::clicked, this, [this] { openColorPanel(); });
    row->addWidget(m_ring);
    sharedColorPanelBridge().track(this);
}

SwatchRow::~SwatchRow() = default;

void SwatchRow::setCurrent(const QColor& current)
{
    m_current = current;
    for (ColorDot* dot : m_dots)
        dot->setSelected(colorsMatch(current, dot->color()));
    m_ring->setCurrent(current, isCustomColor(current));
}

int SwatchRow::selectedIndex() const
{
    for (int i = 0; i < m_dots.size(); ++i) {
        if (m_dots[i]->isSelected())
            return i;
    }
    return m_ring->isSelected() ? int(m_dots.size()) : -1;
}

void SwatchRow::openColorPanel()
{
    sharedColorPanelBridge().openColorPanel(m_current, m_pick, m_context);
}

} // namespace vmk::panels
