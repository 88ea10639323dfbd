#include "HostilePages.h"

namespace vmk::test {

QByteArray rawPdf(const QList<RawPage>& pages)
{
    QList<QByteArray> objects; // object n is objects[n - 1]
    const int pagesNum = 1, fontNum = 2;
    objects << QByteArray() << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    QByteArray kids;
    for (const RawPage& page : pages) {
        const int contentNum = int(objects.size()) + 1;
        objects << "<< /Length " + QByteArray::number(page.content.size()) + " >>\nstream\n" + page.content
                       + "\nendstream";
        const int pageNum = int(objects.size()) + 1;
        objects << "<< /Type /Page /Parent 1 0 R /MediaBox [" + page.mediaBox + "] /Resources << /Font << /F1 "
                       + QByteArray::number(fontNum) + " 0 R >> >> /Contents " + QByteArray::number(contentNum)
                       + " 0 R " + page.extra + " >>";
        kids += QByteArray::number(pageNum) + " 0 R ";
    }
    objects[pagesNum - 1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages.size()) + " >>";
    const int catalogNum = int(objects.size()) + 1;
    objects << "<< /Type /Catalog /Pages 1 0 R >>";

    QByteArray out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << out.size();
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root " + QByteArray::number(catalogNum)
        + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

QByteArray tinyPaths(int count)
{
    QByteArray content = "0.1 0.1 0.6 rg\n";
    content.reserve(count * 24);
    for (int i = 0; i < count; ++i) {
        const int x = 10 + (i % 560) / 2, y = 10 + (i / 560) % 380;
        content += QByteArray::number(x) + ' ' + QByteArray::number(y) + " 0.4 0.4 re f\n";
    }
    return content;
}

QByteArray textLine(const QByteArray& text, int x, int y)
{
    return "BT /F1 18 Tf " + QByteArray::number(x) + ' ' + QByteArray::number(y) + " Td (" + text + ") Tj ET";
}

} // namespace vmk::test
