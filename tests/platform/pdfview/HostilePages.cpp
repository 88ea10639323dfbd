#include "HostilePages.h"

#include "support/PdfBuilder.h"

namespace vmk::test {

QByteArray rawPdf(const QList<RawPage>& pages)
{
    QList<QByteArray> objects; // object n is objects[n - 1]
    const int pagesNum = 1, fontNum = 2;
    objects << QByteArray() << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    QByteArray kids;
    for (const RawPage& page : pages) {
        const int contentNum = int(objects.size()) + 1;
        objects << pdfStream({}, page.content);
        const int pageNum = int(objects.size()) + 1;
        objects << "<< /Type /Page /Parent 1 0 R /MediaBox [" + page.mediaBox + "] /Resources << /Font << /F1 "
                       + QByteArray::number(fontNum) + " 0 R >> >> /Contents " + QByteArray::number(contentNum)
                       + " 0 R " + page.extra + " >>";
        kids += QByteArray::number(pageNum) + " 0 R ";
    }
    objects[pagesNum - 1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages.size()) + " >>";
    const int catalogNum = int(objects.size()) + 1;
    objects << "<< /Type /Catalog /Pages 1 0 R >>";

    return assemblePdf(objects, catalogNum);
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
