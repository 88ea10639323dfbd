#pragma once

#include <QSlider>
#include <QWidget>

class QLabel;
class QToolButton;

namespace vmk {
class Editor;
}

namespace vmk::panels {

// A slider over a continuous range (the platform slider only knows whole numbers, so it runs in
// hundredths). Reports values, press and release like the platform slider.
class ContinuousSlider : public QSlider {
    Q_OBJECT
public:
    ContinuousSlider(double minimum, double maximum, QWidget* parent = nullptr);
    double continuousValue() const { return value() / 100.0; }
    // Moves the thumb without reporting a value.
    void showValue(double value);
    // As a drag to this value would: press, move, release.
    void dragTo(double value);

signals:
    void continuousValueChanged(double value);
};

// Up and down buttons beside a "<n> pt" label: steps of 1 within a range, the value kept as given
// otherwise (a text box at 10.5 pt steps to 11.5 pt).
class PointStepper : public QWidget {
    Q_OBJECT
public:
    PointStepper(double minimum, double maximum, double value, QWidget* parent = nullptr);
    double value() const { return m_value; }
    // Shows a value without reporting it.
    void showValue(double value);
    void stepUp();
    void stepDown();
    QLabel* label() const { return m_label; }
    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void valueChanged(double value);

private:
    void step(double delta);
    void updateLook();

    double m_minimum;
    double m_maximum;
    double m_value;
    QLabel* m_label;
    QToolButton* m_up;
    QToolButton* m_down;
};

// What the inspector's document buttons ask of the document window. The window controller implements
// it; the inspector finds it behind the Editor's window host at the moment of the click.
class DocumentSheetActions {
public:
    virtual ~DocumentSheetActions() = default;
    virtual void presentPasswordSheet() = 0;
    virtual void confirmRemovePassword() = 0;
    virtual void presentCompressSheet() = 0;
};

// The window behind the Editor as document actions, or null.
DocumentSheetActions* documentSheetActions(const Editor* editor);

} // namespace vmk::panels
