#include "platform/pdf/PdfFixtures.h"

#include "platform/pdf/document/Document.h"
#include "support/PaintedPdf.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QFont>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vmk::test::pdf {

vmk::pdf::DocumentPtr openPdf(const QByteArray& data)
{
    vmk::pdf::Result<vmk::pdf::DocumentPtr> doc = vmk::pdf::Document::fromData(data);
    EXPECT_TRUE(doc.ok()) << qPrintable(doc.error());
    return doc.ok() ? *doc : nullptr;
}

QByteArray textPdf(const QStringList& pageTexts, const QSizeF& pageSize)
{
    return paintedPdf(int(pageTexts.size()), pageSize, [&](QPainter& painter, int i) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(18);
        painter.setFont(font);
        painter.drawText(QRectF(72, 72, pageSize.width() - 144, pageSize.height() - 144), Qt::TextWordWrap,
                         pageTexts[i]);
    });
}

QByteArray linkOutlineFormPdf()
{
    const QByteArray text1 = "BT /F1 18 Tf 72 720 Td (Go to page two) Tj ET";
    const QByteArray text2 = "BT /F1 18 Tf 72 720 Td (Page two) Tj ET";
    const QByteArray fieldAp = "/Tx BMC BT /F1 12 Tf 2 6 Td (Ada) Tj ET EMC";
    QList<QByteArray> objects = {
        /*1*/ "<< /Type /Catalog /Pages 2 0 R /Outlines 9 0 R /AcroForm << /Fields [8 0 R] /DA (/F1 12 Tf 0 g) "
              "/DR << /Font << /F1 5 0 R >> >> >> /PageMode /UseOutlines >>",
        /*2*/ "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] >>",
        /*3*/ "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 6 0 R "
              "/Annots [7 0 R 8 0 R] >>",
        /*4*/ "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 12 0 R >>",
        /*5*/ "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        /*6*/ pdfStream("", text1),
        /*7*/ "<< /Type /Annot /Subtype /Link /Rect [72 700 250 740] /Border [0 0 0] /Dest [4 0 R /XYZ 0 792 0] >>",
        /*8*/ "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Ada) /Rect [72 600 272 624] /P 3 0 R "
              "/F 4 /DA (/F1 12 Tf 0 g) /AP << /N 13 0 R >> >>",
        /*9*/ "<< /Type /Outlines /First 10 0 R /Last 11 0 R /Count 3 >>",
        /*10*/ "<< /Title (Start) /Parent 9 0 R /Next 11 0 R /Dest [3 0 R /XYZ 0 792 0] >>",
        /*11*/ "<< /Title (Second) /Parent 9 0 R /Prev 10 0 R /Dest [4 0 R /XYZ 0 792 0] /First 14 0 R "
               "/Last 14 0 R /Count 1 >>",
        /*12*/ pdfStream("", text2),
        /*13*/ pdfStream("/Type /XObject /Subtype /Form /BBox [0 0 200 24] /Resources << /Font << /F1 5 0 R >> >>", fieldAp),
        /*14*/ "<< /Title (Detail) /Parent 11 0 R /Dest [4 0 R /XYZ 72 400 null] >>",
    };
    return assemblePdf(objects);
}

int inkPixels(const QImage& image, const QRect& rect)
{
    int count = 0;
    const QRect area = rect.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() < 235 || c.green() < 235 || c.blue() < 235)
                ++count;
        }
    }
    return count;
}

QImage renderWithPoppler(const QString& pdfPath, int page)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    const CommandResult r = runCommand(QStringLiteral("pdftoppm"),
                                       {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"), QString::number(page),
                                        QStringLiteral("-l"), QString::number(page), QStringLiteral("-png"),
                                        QStringLiteral("-singlefile"), pdfPath, prefix});
    if (r.exitCode != 0)
        return QImage();
    return QImage(prefix + QStringLiteral(".png"));
}

} // namespace vmk::test::pdf
