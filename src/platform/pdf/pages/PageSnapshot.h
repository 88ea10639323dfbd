#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <memory>

namespace vmk::pdf {

class RecordCancel;
struct RecordBudget;
struct DrawResult;
enum class RecordOutcome;
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
    // A null image on failure or when the drawing goes over the default budget.
    QImage render(double scale, const QRect& tile = QRect()) const;
    // The same within `budget`, on a thread of its own: the caller waits at most a moment past the
    // budget's time, even for a decoder that never looks at its cancel flag (which then finishes alone).
    DrawResult render(double scale, const QRect& tile, const RecordBudget& budget,
                      const RecordCancel* cancel = nullptr) const;

    // Renders the pixels `tile` of the page at `scale` into the top left of `target` (Format_RGB32, at
    // least as large as the tile, painted white first). Only what falls inside the tile is drawn. False
    // when cancelled through `cancel` (which may be null) or when the drawing failed.
    bool renderInto(QImage& target, double scale, const QRect& tile, const RecordCancel* cancel = nullptr) const;
    // The same within `budget` (the target's pixels are not counted), on this thread: how it ended. The
    // time is checked between drawing operations only; an image whose samples alone are over the memory
    // budget is refused before it is decoded.
    RecordOutcome renderInto(QImage& target, double scale, const QRect& tile, const RecordBudget& budget,
                             const RecordCancel* cancel = nullptr) const;

    // Layer-internal.
    explicit PageSnapshot(std::unique_ptr<detail::SnapshotState> state);
    const detail::SnapshotState& state() const { return *m_state; }

private:
    std::unique_ptr<detail::SnapshotState> m_state;
};

} // namespace vmk::pdf
