#include "support/EditPdf.h"

namespace vmk::test {

namespace {

QByteArray num(double v)
{
    return QByteArray::number(v, 'f', 2);
}

QByteArray literal(const QString& text)
{
    QByteArray out = "(";
    for (QChar c : text) {
        const char byte = char(c.toLatin1());
        if (byte == '(' || byte == ')' || byte == '\\')
            out += '\\';
        out += byte;
    }
    return out + ")";
}

} // namespace

QByteArray makeEditPdf(const QList<EditPageSpec>& pages)
{
    // Objects: 1 catalog, 2 pages, 3 font, then per page: page, content, images.
    QList<QByteArray> objects(3);
    objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
    objects[2] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    QByteArray kids;
    for (const EditPageSpec& page : pages) {
        const int pageObject = int(objects.size()) + 1;
        const int contentObject = pageObject + 1;
        kids += QByteArray::number(pageObject) + " 0 R ";
        QByteArray content;
        for (const EditLineSpec& line : page.lines)
            content += "BT /F1 " + num(line.size) + " Tf " + num(line.origin.x()) + " " + num(line.origin.y()) + " Td "
                + literal(line.text) + " Tj ET\n";
        QByteArray xobjects;
        QList<QByteArray> imageObjects;
        for (int i = 0; i < page.images.size(); ++i) {
            const QRectF r = page.images[i];
            const QByteArray name = "/Im" + QByteArray::number(i + 1);
            content += "q " + num(r.width()) + " 0 0 " + num(r.height()) + " " + num(r.x()) + " " + num(r.y()) + " cm "
                + name + " Do Q\n";
            xobjects += name + " " + QByteArray::number(contentObject + 1 + i) + " 0 R ";
            const QColor c = i < page.imageColors.size() ? page.imageColors[i] : QColor(Qt::red);
            QByteArray pixels;
            for (int p = 0; p < 4; ++p)
                pixels += char(c.red()), pixels += char(c.green()), pixels += char(c.blue());
            imageObjects << "<< /Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB"
                            " /BitsPerComponent 8 /Length 12 >>\nstream\n"
                    + pixels + "\nendstream";
        }
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " + QByteArray::number(contentObject)
                + " 0 R /Resources << /Font << /F1 3 0 R >> /XObject << " + xobjects + ">> >> >>";
        objects << "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream";
        objects << imageObjects;
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages.size()) + " >>";

    QByteArray out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets.append(out.size());
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype o : offsets)
        out += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
        + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

} // namespace vmk::test
