#pragma once

#include <QScrollBar>

namespace vmk::pdfview {

// A scroll bar that paints itself in bands a few dozen device rows tall. Qt's raster engine hands any
// fill of more than about a hundred rows to its global thread pool in slices and waits for them: a
// scroll bar as tall as the window, repainted at every step of scrolling, paid a dozen thread hand-offs
// per fill and a few milliseconds of processor per paint for a few thousand pixels. In bands, every
// fill stays on the painting thread. The pixels are the style's own: each band is the ordinary paint
// of that part of the bar, so hover, pressed and disabled looks are unchanged.
class BandedScrollBar : public QScrollBar {
public:
    explicit BandedScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Device rows per band: fills of this many rows are never split across threads.
    static constexpr int kBandDeviceRows = 64;
    // The band's height in logical pixels at a device pixel ratio: the tallest whose device height is
    // whole and at most kBandDeviceRows, so that every band starts on a device row; 0 if there is none.
    static int bandHeight(qreal devicePixelRatio);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_paintingBand = false;
};

} // namespace vmk::pdfview
