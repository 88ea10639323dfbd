#include "core/PrintLayout.h"
#include "core/VMKDocument.h"

#include "platform/pdf/engine/Wait.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <memory>

namespace vmk::core {

namespace {

// The page drawn away from the main thread, which goes on answering (Esc calls the print off); nothing
// when the user called it off. The drawing holds only its copy of the page, so a page stuck in the engine
// is left behind at once.
std::optional<pdf::DrawResult> drawForPrint(const pdf::Page& page, double scale)
{
    const std::shared_ptr<pdf::PageCapture> capture = pdf::PageCapture::take(page, true);
    if (!capture)
        return pdf::DrawResult{};
    auto drawn = std::make_shared<pdf::DrawResult>();
    const pdf::WaitOutcome wait = pdf::waitWhileAnswering(
        [capture, drawn, scale] { *drawn = capture->draw(scale, QRect(), pdf::RecordBudget{}); },
        pdf::OnCancel::Abandon);
    if (wait == pdf::WaitOutcome::Cancelled)
        return std::nullopt;
    return *drawn;
}

// What is printed for a page that could not be drawn: a grey card with the reason, in the page's place.
void paintPlaceholder(QPainter& painter, const QRectF& target, pdf::RecordOutcome why)
{
    const QString message = why == pdf::RecordOutcome::tooSlow    ? QStringLiteral("This page takes too long to draw.")
                            : why == pdf::RecordOutcome::tooLarge ? QStringLiteral("This page needs too much memory to draw.")
                                                                  : QStringLiteral("This page could not be drawn.");
    painter.save();
    painter.setPen(QPen(QColor(96, 96, 96), std::max(1.0, target.width() / 400)));
    painter.setBrush(QColor(236, 236, 236));
    painter.drawRect(target);
    QFont font = painter.font();
    font.setPixelSize(std::max(8, int(target.width() / 30)));
    painter.setFont(font);
    painter.drawText(target.adjusted(target.width() / 10, 0, -target.width() / 10, 0),
                     Qt::AlignCenter | Qt::TextWordWrap, message);
    painter.restore();
}

platform::DocumentError placeholdersPrinted(const QList<int>& pages)
{
    constexpr int kNamed = 5;
    QStringList numbers;
    for (int i = 0; i < std::min<int>(pages.size(), kNamed); ++i)
        numbers << QString::number(pages[i] + 1);
    QString list = numbers.join(QStringLiteral(", "));
    if (pages.size() > kNamed)
        list += QStringLiteral(" and %1 more").arg(pages.size() - kNamed);
    const QString which = pages.size() == 1 ? QStringLiteral("Page %1 couldn\u2019t be drawn").arg(list)
                                            : QStringLiteral("Pages %1 couldn\u2019t be drawn").arg(list);
    return {platform::DocumentError::FeatureUnsupported,
            which + QStringLiteral(", so the print shows a note in %1 place.").arg(pages.size() == 1 ? QStringLiteral("its")
                                                                                                    : QStringLiteral("their")),
            QStringLiteral("The document may be damaged or too complex to print.")};
}

} // namespace

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
    QList<int> placeholders; // pages printed as a note that they could not be drawn
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
        const std::optional<pdf::DrawResult> result = drawForPrint(*page, std::min(placement.scale, finestPixelsPerPoint));
        if (!result) {
            printer.abort();
            return platform::DocumentError::cancelled();
        }
        if (result->image.isNull()) {
            paintPlaceholder(painter, placement.target, result->outcome);
            placeholders << i;
            continue;
        }
        const QImage& image = result->image;
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
    if (!placeholders.isEmpty())
        return placeholdersPrinted(placeholders);
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
