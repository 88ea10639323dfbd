#include "core/PrintLayout.h"
#include "core/VMKDocument.h"

#include "platform/pdf/Page.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace vmk::core {

platform::MaybeError VMKDocument::print(QPrinter& printer) const
{
    if (m_pdf->isLocked() || m_pdf->pageCount() == 0)
        return printUnavailableError();
    printer.setDocName(displayName());
    QPainter painter;
    if (!painter.begin(&printer))
        return printUnavailableError();

    // Pages are rendered at the printer's resolution, but never finer than 300 dpi: beyond that a page
    // bitmap grows large for no visible gain.
    static constexpr double finestPixelsPerPoint = 300.0 / 72.0;
    // The painter's origin is the top left of the printable area.
    const QRectF printable(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    const int count = m_pdf->pageCount();
    for (int i = 0; i < count; ++i) {
        pdf::PagePtr page = m_pdf->page(i);
        if (!page)
            continue;
        if (i > 0)
            printer.newPage();
        const QSizeF pageSize = page->displaySize();
        const PrintPlacement placement = printPlacement(pageSize, printable);
        if (placement.target.isEmpty())
            continue;
        const QImage image = page->render(std::min(placement.scale, finestPixelsPerPoint));
        if (image.isNull())
            continue;
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(placement.target.center());
        if (placement.rotated)
            painter.rotate(90);
        const QSizeF drawn = placement.rotated ? placement.target.size().transposed() : placement.target.size();
        painter.drawImage(QRectF(-drawn.width() / 2, -drawn.height() / 2, drawn.width(), drawn.height()), image);
        painter.restore();
    }
    painter.end();
    return std::nullopt;
}

} // namespace vmk::core
