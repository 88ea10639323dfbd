#pragma once

#include "platform/pdf/PdfTypes.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <memory>

namespace vmk::pdf {

class RecordCancel;
namespace detail { struct SnapshotState; }

// A recording of one page taken on the document's thread that any thread may render, also several at
// once. Holds no reference to the Page.
class PageSnapshot {
public:
    ~PageSnapshot();
    PageSnapshot(const PageSnapshot&) = delete;
    PageSnapshot& operator=(const PageSnapshot&) = delete;

    QRectF cropBox() const;
    int rotation() const;
    QSizeF displaySize() const;
    QTransform displayTransform() const;

    // Renders on white at `scale` pixels per point; `tile` is a sub-rectangle in pixels of the full image.
    // A null image on failure.
    QImage render(double scale, const QRect& tile = QRect()) const;

    // Renders the pixels `tile` of the page at `scale` into the top left of `target` (Format_RGB32, at
    // least as large as the tile, painted white first). Only what falls inside the tile is drawn. False
    // when cancelled through `cancel` (which may be null) or when the drawing failed.
    bool renderInto(QImage& target, double scale, const QRect& tile, const RecordCancel* cancel = nullptr) const;

    // Layer-internal.
    explicit PageSnapshot(std::unique_ptr<detail::SnapshotState> state);

private:
    std::unique_ptr<detail::SnapshotState> m_state;
};

} // namespace vmk::pdf
