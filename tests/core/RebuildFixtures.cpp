#include "RebuildFixtures.h"

#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace vmk::coretest {

namespace {

QByteArray num(double v) { return QByteArray::number(v, 'f', 2); }

QByteArray noisyImage(const QSize& size)
{
    QRandomGenerator random(42);
    QByteArray pixels;
    pixels.reserve(size.width() * size.height() * 3);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int noise = int(random.bounded(40));
            pixels.append(char(qBound(0, 60 + x * 150 / size.width() + noise, 255)));
            pixels.append(char(qBound(0, 90 + y * 120 / size.height() + noise, 255)));
            pixels.append(char(qBound(0, 140 + noise, 255)));
        }
    }
    return qCompress(pixels, 6).mid(4); // a zlib stream without Qt's length prefix
}

} // namespace

QByteArray makeRawPdf(const QList<RawPage>& pages)
{
    // 1 catalog, 2 pages, 3 font, then per page: page, content, image and forms.
    test::PdfBuilder pdf;
    pdf.add("<< /Type /Catalog /Pages 2 0 R >>");
    const int pagesNum = pdf.reserve();
    pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    QByteArray kids;
    for (const RawPage& p : pages) {
        const int pageNum = pdf.reserve();
        const int contentNum = pdf.addStream({}, p.content);
        QByteArray xobjects;
        if (!p.imageSize.isEmpty()) {
            int inner = pdf.addStream("/Type /XObject /Subtype /Image /Width " + QByteArray::number(p.imageSize.width())
                                          + " /Height " + QByteArray::number(p.imageSize.height())
                                          + " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode",
                                      noisyImage(p.imageSize));
            QByteArray innerName = "/Im0";
            for (int d = 0; d < p.formDepth; ++d) {
                inner = pdf.addStream("/Type /XObject /Subtype /Form /BBox [0 0 1 1] /Resources << /XObject << "
                                          + innerName + ' ' + test::ref(inner) + " >> >>",
                                      innerName + " Do");
                innerName = "/Fm0";
            }
            xobjects = "/XObject << " + innerName + ' ' + test::ref(inner) + " >>";
        }
        QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + num(p.size.width()) + ' '
            + num(p.size.height()) + "] /Contents " + test::ref(contentNum) + " /Resources << /Font << /F1 3 0 R >> "
            + xobjects + " >>";
        if (!p.cropBox.isEmpty())
            page += " /CropBox [" + num(p.cropBox.left()) + ' ' + num(p.cropBox.top()) + ' ' + num(p.cropBox.right())
                + ' ' + num(p.cropBox.bottom()) + "]";
        if (p.rotation)
            page += " /Rotate " + QByteArray::number(p.rotation);
        pdf.set(pageNum, page + " >>");
        kids += test::ref(pageNum) + ' ';
    }
    pdf.set(pagesNum, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages.size()) + " >>");
    return pdf.write();
}

pdf::DocumentPtr open(const QByteArray& bytes)
{
    auto opened = pdf::Document::fromData(bytes);
    return opened ? opened.value() : nullptr;
}

QString popplerText(const QString& path)
{
    const auto result = test::runCommand(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    return QString::fromUtf8(result.out).simplified();
}

double meanDifference(const QImage& a, const QImage& b)
{
    const QImage ga = a.convertToFormat(QImage::Format_Grayscale8);
    const QImage gb = b.scaled(a.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 0; y < ga.height(); ++y) {
        const uchar* ra = ga.constScanLine(y);
        const uchar* rb = gb.constScanLine(y);
        for (int x = 0; x < ga.width(); ++x)
            sum += std::abs(int(ra[x]) - int(rb[x]));
    }
    return ga.isNull() ? 255 : sum / (double(ga.width()) * ga.height());
}

} // namespace vmk::coretest
