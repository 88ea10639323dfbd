#include "panels/SectionControls.h"

#include "editor/Editor.h"
#include "panels/StyleRowChoice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>

#include <cmath>

namespace vmk::panels {

ContinuousSlider::ContinuousSlider(double minimum, double maximum, QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
{
    setRange(int(std::lround(minimum * 100)), int(std::lround(maximum * 100)));
    setSingleStep(100);
    setPageStep(100);
    connect(this, &QSlider::valueChanged, this, [this](int v) { emit continuousValueChanged(v / 100.0); });
}

void ContinuousSlider::showValue(double value)
{
    const QSignalBlocker block(this);
    setValue(int(std::lround(value * 100)));
}

void ContinuousSlider::dragTo(double value)
{
    setSliderDown(true);
    setValue(int(std::lround(value * 100)));
    setSliderDown(false);
}

PointStepper::PointStepper(double minimum, double maximum, double value, QWidget* parent)
    : QWidget(parent), m_minimum(minimum), m_maximum(maximum), m_value(value)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    m_label = new QLabel(this);
    m_down = new QToolButton(this);
    m_down->setText(QStringLiteral("−"));
    m_down->setAccessibleName(tr("Decrement"));
    m_up = new QToolButton(this);
    m_up->setText(QStringLiteral("+"));
    m_up->setAccessibleName(tr("Increment"));
    row->addWidget(m_label);
    row->addWidget(m_down);
    row->addWidget(m_up);
    connect(m_up, &QToolButton::clicked, this, &PointStepper::stepUp);
    connect(m_down, &QToolButton::clicked, this, &PointStepper::stepDown);
    updateLook();
}

void PointStepper::showValue(double value)
{
    m_value = value;
    updateLook();
}

void PointStepper::stepUp()
{
    step(1);
}

void PointStepper::stepDown()
{
    step(-1);
}

void PointStepper::step(double delta)
{
    const double next = std::clamp(m_value + delta, m_minimum, m_maximum);
    if (next == m_value)
        return;
    m_value = next;
    updateLook();
    emit valueChanged(m_value);
}

void PointStepper::updateLook()
{
    m_label->setText(pointsText(m_value));
    m_up->setEnabled(m_value < m_maximum);
    m_down->setEnabled(m_value > m_minimum);
}

DocumentSheetActions* documentSheetActions(const Editor* editor)
{
    return editor ? dynamic_cast<DocumentSheetActions*>(editor->windowController()) : nullptr;
}

} // namespace vmk::panels
