#include "core/PrintLayout.h"
#include "core/VMKDocument.h"

#include "platform/pdf/Page.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>

namespace vmk::core {

platform::MaybeError VMKDocument::print(QPrinter& printer) const
{
    if (m_pdf->isLocked() || m_pdf->pageCount() == 0)
        return printUnavailableError();
    // The file's owner may have ruled printing out for whoever opens it with the user password.
    if (!m_pdf->permits(pdf::Document::Permission::Print)) {
        return platform::DocumentError{platform::DocumentError::FeatureUnsupported,
                                       QStringLiteral("The document’s owner doesn’t allow printing it."), {}};
    }
    printer.setDocName(displayName());
    QPainter painter;
    if (!painter.begin(&printer))
        return printUnavailableError();

    // Pages are rendered at the printer's resolution, but never finer than 300 dpi: beyond that a page
    // bitmap grows large for no visible gain.
    static constexpr double finestPixelsPerPoint = 300.0 / 72.0;
    // The painter's origin is the top left of the printable area.
    const QRectF printable(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    // A page range chosen in the print dialog (1-based, 0 when none) limits the pages.
    const int count = m_pdf->pageCount();
    const int first = printer.fromPage() > 0 ? std::min(printer.fromPage(), count) - 1 : 0;
    const int last = printer.toPage() > 0 ? std::min(printer.toPage(), count) - 1 : count - 1;
    bool started = false;
    for (int i = first; i <= last; ++i) {
        pdf::PagePtr page = m_pdf->page(i);
        if (!page)
            continue;
        if (started)
            printer.newPage();
        started = true;
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

platform::MaybeError VMKDocument::printWithDialog(QWidget* parent) const
{
    // Refuse before asking anything: the user could not get a print from a locked document anyway.
    if (m_pdf->isLocked() || m_pdf->pageCount() == 0)
        return printUnavailableError();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(displayName());
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setMinMax(1, m_pdf->pageCount());
    if (dialog.exec() != QDialog::Accepted)
        return platform::DocumentError::cancelled();
    return print(printer);
}

} // namespace vmk::core
