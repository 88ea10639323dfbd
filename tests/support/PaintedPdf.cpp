#include "support/PaintedPdf.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace vmk::test {

QByteArray paintedPdf(const QList<QSizeF>& pageSizes, const PagePainter& paint)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72); // painter units are points
    auto layoutFor = [](const QSizeF& size) {
        return QPageLayout(QPageSize(size, QPageSize::Point), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
    };
    writer.setPageLayout(layoutFor(pageSizes.value(0, QSizeF(612, 792))));
    QPainter painter(&writer);
    for (int i = 0; i < pageSizes.size(); ++i) {
        if (i > 0) {
            writer.setPageLayout(layoutFor(pageSizes[i]));
            writer.newPage();
        }
        paint(painter, i);
    }
    painter.end();
    return bytes;
}

QByteArray paintedPdf(int pages, const QSizeF& size, const PagePainter& paint)
{
    if (pages <= 0) // the writer still writes one page
        return paintedPdf(QList<QSizeF>{size}, [](QPainter&, int) {});
    return paintedPdf(QList<QSizeF>(pages, size), paint);
}

} // namespace vmk::test
