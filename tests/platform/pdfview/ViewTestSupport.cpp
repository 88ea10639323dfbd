#include "platform/pdfview/ViewTestSupport.h"

#include "support/PdfBuilder.h"
#include "support/PaintedPdf.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>

namespace vmk::test {

QByteArray textPdf(const QList<QSizeF>& pageSizes)
{
    return paintedPdf(pageSizes, [](QPainter& painter, int i) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        painter.setFont(font);
        painter.drawText(QPointF(20, 40), QStringLiteral("Page %1 alpha beta gamma").arg(i + 1));
        painter.drawText(QPointF(20, 70), QStringLiteral("second line here"));
    });
}

QByteArray textPdf(int pageCount, QSizeF size)
{
    return textPdf(QList<QSizeF>(pageCount, size));
}

pdf::DocumentPtr openPdf(const QByteArray& data)
{
    auto result = pdf::Document::fromData(data);
    return result ? *result : nullptr;
}

QByteArray linkPdf()
{
    const QByteArray content = "BT /F1 12 Tf 20 350 Td (Go to page two) Tj ET BT /F1 12 Tf 20 300 Td (Web) Tj ET";
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /Contents 5 0 R"
        " /Resources << /Font << /F1 6 0 R >> >> /Annots [7 0 R 8 0 R] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /Contents 5 0 R /Resources << /Font << /F1 6 0 R >> >> >>",
        pdfStream({}, content),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Type /Annot /Subtype /Link /Rect [20 340 150 365] /Border [0 0 0] /Dest [4 0 R /XYZ 0 400 null] >>",
        "<< /Type /Annot /Subtype /Link /Rect [20 290 150 315] /Border [0 0 0]"
        " /A << /S /URI /URI (https://example.org/) >> >>",
    };
    return assemblePdf(objects);
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

int reddishPixels(const QImage& image, const QRect& rect)
{
    int count = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 150 && c.green() < 100 && c.blue() < 100;
        }
    return count;
}

int darkPixels(const QImage& image, const QRect& rect)
{
    int count = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += qGray(image.pixel(x, y)) < 100;
    return count;
}

} // namespace vmk::test
