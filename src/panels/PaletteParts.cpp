#include "panels/PaletteParts.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

namespace vmk::panels {

QPushButton* smallBarButton(const QString& title, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    button->setAccessibleName(title);
    QFont f = button->font();
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() - 1);
    button->setFont(f);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

PaletteDivider::PaletteDivider(QWidget* parent) : QWidget(parent)
{
    setFixedSize(9, 18);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PaletteDivider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor c = palette().color(QPalette::WindowText);
    c.setAlphaF(0.12);
    painter.fillRect(QRectF(4, (height() - 18) / 2.0, 1, 18), c);
}

GlassGroup::GlassGroup(double spacing, QWidget* parent) : QWidget(parent), m_spacing(spacing)
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(0);
}

} // namespace vmk::panels
