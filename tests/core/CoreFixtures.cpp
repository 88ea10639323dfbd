#include "CoreFixtures.h"

#include "support/PaintedPdf.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QPainter>

#include <algorithm>

namespace vmk::coretest {

QByteArray makePdf(int pages, const QList<QSizeF>& sizes)
{
    QList<QSizeF> pageSizes;
    for (int i = 0; i < std::max(pages, 1); ++i)
        pageSizes.append(i < sizes.size() ? sizes[i] : QSizeF(612, 792));
    return test::paintedPdf(pageSizes, [pages](QPainter& painter, int i) {
        if (i >= pages)
            return;
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 24));
        painter.drawText(QPointF(72, 100), QStringLiteral("Page %1").arg(i + 1));
    });
}

QByteArray makeLinkedPdf()
{
    const QByteArray content1 = "BT /F1 24 Tf 72 700 Td (First page) Tj ET";
    const QByteArray content2 = "BT /F1 24 Tf 72 700 Td (Second page) Tj ET";
    QList<QByteArray> o;
    // 1 catalog, 2 pages, 3 page1, 4 page2, 5 content1, 6 content2, 7 font, 8 link, 9 outlines, 10 item,
    // 11 field, 12 names, 13 dests
    o << "<< /Type /Catalog /Pages 2 0 R /Outlines 9 0 R /Names 12 0 R /AcroForm << /Fields [11 0 R] >> >>";
    o << "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>";
    o << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R /Resources << /Font << /F1 7 0 R >> >>"
         " /Annots [8 0 R 11 0 R] >>";
    o << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6 0 R /Resources << /Font << /F1 7 0 R >> >> >>";
    o << test::pdfStream({}, content1);
    o << test::pdfStream({}, content2);
    o << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    o << "<< /Type /Annot /Subtype /Link /Rect [72 690 250 720] /Border [0 0 0] /Dest (second) >>";
    o << "<< /Type /Outlines /First 10 0 R /Last 10 0 R /Count 1 >>";
    o << "<< /Title (Chapter Two) /Parent 9 0 R /Dest [4 0 R /XYZ 0 792 0] >>";
    o << "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Ada) /Rect [72 600 300 630] /P 3 0 R >>";
    o << "<< /Dests 13 0 R >>";
    o << "<< /Names [(second) [4 0 R /XYZ 0 792 0]] >>";
    return test::assemblePdf(o);
}

QByteArray makeEmptyPagesPdf()
{
    return test::assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"});
}

QByteArray makeZeroBoxPdf()
{
    const QByteArray content = "0 0 1 rg 0 0 100 100 re f";
    return test::assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 0 0] /Contents 4 0 R >>",
                              test::pdfStream({}, content)});
}

QByteArray makeSignatureArtwork(const QSizeF& size)
{
    return test::paintedPdf(1, size, [size](QPainter& painter, int) {
        painter.setPen(QPen(QColor(0, 0, 255), size.height() / 8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(size.width() * 0.1, size.height() * 0.5), QPointF(size.width() * 0.9, size.height() * 0.5));
        painter.drawLine(QPointF(size.width() * 0.2, size.height() * 0.2), QPointF(size.width() * 0.3, size.height() * 0.8));
    });
}

QString encryptWithQpdf(const QTemporaryDir& dir, const QString& name, const QByteArray& pdf, const QString& user,
                        const QString& owner)
{
    const QString plain = test::writeFile(dir, QStringLiteral("plain-") + name, pdf);
    const QString out = dir.filePath(name);
    test::runCommand(QStringLiteral("qpdf"), {QStringLiteral("--encrypt"), user, owner.isEmpty() ? user : owner,
                                              QStringLiteral("256"), QStringLiteral("--"), plain, out});
    return out;
}

QImage renderWithPoppler(const QString& path, int page, int dpi, const QString& password)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("render"));
    QStringList args{QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                     QString::number(page), QStringLiteral("-l"), QString::number(page), QStringLiteral("-singlefile")};
    if (!password.isEmpty())
        args << QStringLiteral("-upw") << password;
    args << path << prefix;
    test::runCommand(QStringLiteral("pdftoppm"), args);
    return QImage(prefix + QStringLiteral(".png"));
}

bool qpdfAccepts(const QString& path, const QString& password)
{
    QStringList args{QStringLiteral("--check")};
    if (!password.isEmpty())
        args << (QStringLiteral("--password=") + password);
    args << path;
    const auto result = test::runCommand(QStringLiteral("qpdf"), args);
    // 0: fine; 3: warnings only.
    return result.exitCode == 0 || result.exitCode == 3;
}

} // namespace vmk::coretest
