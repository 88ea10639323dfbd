#include "support/EditPdf.h"

#include "support/PdfBuilder.h"

namespace vmk::test {

namespace {

QByteArray num(double v)
{
    return QByteArray::number(v, 'f', 2);
}

} // namespace

QByteArray makeEditPdf(const QList<EditPageSpec>& pages)
{
    // 1 catalog, 2 pages, 3 font, then per page: page, content, images.
    PdfBuilder pdf;
    pdf.add("<< /Type /Catalog /Pages 2 0 R >>");
    const int pagesNum = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    QByteArray kids;
    for (const EditPageSpec& page : pages) {
        const int pageNum = pdf.reserve();
        const int contentNum = pdf.reserve();
        kids += ref(pageNum) + ' ';
        QByteArray content;
        for (const EditLineSpec& line : page.lines)
            content += "BT /F1 " + num(line.size) + " Tf " + num(line.origin.x()) + " " + num(line.origin.y()) + " Td "
                + winAnsiLiteral(line.text) + " Tj ET\n";
        QByteArray xobjects;
        for (int i = 0; i < page.images.size(); ++i) {
            const QRectF r = page.images[i];
            const QByteArray name = "/Im" + QByteArray::number(i + 1);
            content += "q " + num(r.width()) + " 0 0 " + num(r.height()) + " " + num(r.x()) + " " + num(r.y()) + " cm "
                + name + " Do Q\n";
            const QColor c = i < page.imageColors.size() ? page.imageColors[i] : QColor(Qt::red);
            QByteArray pixels;
            for (int p = 0; p < 4; ++p)
                pixels += char(c.red()), pixels += char(c.green()), pixels += char(c.blue());
            xobjects += name + ' '
                + ref(pdf.addStream("/Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB"
                                    " /BitsPerComponent 8",
                                    pixels))
                + ' ';
        }
        pdf.set(pageNum, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Rotate " + QByteArray::number(page.rotation)
                             + " /Contents " + ref(contentNum)
                             + " /Resources << /Font << /F1 " + ref(font) + " >> /XObject << " + xobjects + ">> >> >>");
        pdf.set(contentNum, pdfStream({}, content));
    }
    pdf.set(pagesNum, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages.size()) + " >>");
    return pdf.write();
}

} // namespace vmk::test
