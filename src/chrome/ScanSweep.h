#pragma once

#include <QVariantAnimation>
#include <QWidget>

namespace vmk::chrome {

// Where the band of light stands: just above the top edge before it is sent down, just below the
// bottom edge once it is.
inline constexpr double kScanBandHeight = 46.0; // the 44-point glow and the 2-point line
double scanBandOffset(bool down, double spaceHeight);

// A band of accent light that glides from above the top edge of the canvas to below its bottom edge,
// over and over, while text recognition runs. It takes no mouse events. Under reduced motion it draws
// nothing and starts nothing.
class ScanSweep : public QWidget {
    Q_OBJECT
public:
    explicit ScanSweep(bool reduceMotion, QWidget* parent = nullptr);

    bool reduceMotion() const { return m_reduceMotion; }
    bool isDown() const { return m_down; }
    // The band's current vertical offset from the top.
    double bandOffset() const;
    const QVariantAnimation& sweep() const { return m_sweep; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_reduceMotion;
    bool m_down = false;
    double m_progress = 0; // 0 at the top, 1 below the bottom
    QVariantAnimation m_sweep;
};

} // namespace vmk::chrome
