#pragma once

#include "platform/pdf/PdfTypes.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <memory>

namespace vmk::pdf {

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

    // Layer-internal.
    explicit PageSnapshot(std::unique_ptr<detail::SnapshotState> state);

private:
    std::unique_ptr<detail::SnapshotState> m_state;
};

} // namespace vmk::pdf
