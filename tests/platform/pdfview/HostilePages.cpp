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

QByteArray packedLinksPdf(int links)
{
    // Object n is packed[n - 1]; the content stream, the object stream and the cross-reference stream follow.
    QList<QByteArray> packed;
    const int contentNum = 4 + 2 * links + 1;
    packed << "<< /Type /Catalog /Pages 2 0 R >>"
           << "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"
           << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /Resources << /Font << /F1 << /Type /Font "
              "/Subtype /Type1 /BaseFont /Helvetica >> >> >> /Contents " + QByteArray::number(contentNum) +
                  " 0 R /Annots 4 0 R >>";
    QByteArray annots = "[";
    annots.reserve(links * 10);
    for (int i = 0; i < links; ++i)
        annots += QByteArray::number(5 + 2 * i) + " 0 R ";
    packed << annots + "]";
    for (int i = 0; i < links; ++i) {
        const double x = (i % 200) * 1.5, y = (i / 200) * 2.0;
        packed << "<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [" + QByteArray::number(x) + ' ' +
                      QByteArray::number(y) + ' ' + QByteArray::number(x + 1) + ' ' + QByteArray::number(y + 1.5) +
                      "] /A " + QByteArray::number(6 + 2 * i) + " 0 R >>";
        packed << "<< /S /URI /URI (https://example.org/" + QByteArray::number(i) + ") >>";
    }
    QByteArray header, body;
    for (int i = 0; i < packed.size(); ++i) {
        header += QByteArray::number(i + 1) + ' ' + QByteArray::number(body.size()) + ' ';
        body += packed[i] + '\n';
    }
    auto deflated = [](const QByteArray& data) { return qCompress(data, 1).mid(4); }; // zlib, without Qt's length
    const QByteArray streamData = deflated(header + body);
    const int objStmNum = contentNum + 1, xrefNum = contentNum + 2;

    QByteArray pdf = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    const QByteArray content = textLine("Packed links");
    const qsizetype contentOffset = pdf.size();
    pdf += QByteArray::number(contentNum) + " 0 obj\n<< /Length " + QByteArray::number(content.size()) +
           " >>\nstream\n" + content + "\nendstream\nendobj\n";
    const qsizetype objStmOffset = pdf.size();
    pdf += QByteArray::number(objStmNum) + " 0 obj\n<< /Type /ObjStm /N " + QByteArray::number(packed.size()) +
           " /First " + QByteArray::number(header.size()) + " /Filter /FlateDecode /Length " +
           QByteArray::number(streamData.size()) + " >>\nstream\n" + streamData + "\nendstream\nendobj\n";
    const qsizetype xrefOffset = pdf.size();

    // Entries of 1 + 4 + 3 bytes: type, then offset or object stream, then generation or index.
    QByteArray table;
    auto entry = [&table](int type, quint32 field, quint32 second) {
        table += char(type);
        for (int shift = 24; shift >= 0; shift -= 8)
            table += char((field >> shift) & 0xff);
        for (int shift = 16; shift >= 0; shift -= 8)
            table += char((second >> shift) & 0xff);
    };
    entry(0, 0, 0xffff);
    for (int i = 0; i < packed.size(); ++i)
        entry(2, quint32(objStmNum), quint32(i));
    entry(1, quint32(contentOffset), 0);
    entry(1, quint32(objStmOffset), 0);
    entry(1, quint32(xrefOffset), 0);
    const QByteArray xrefData = deflated(table);
    pdf += QByteArray::number(xrefNum) + " 0 obj\n<< /Type /XRef /Size " + QByteArray::number(xrefNum + 1) +
           " /W [1 4 3] /Root 1 0 R /Filter /FlateDecode /Length " + QByteArray::number(xrefData.size()) +
           " >>\nstream\n" + xrefData + "\nendstream\nendobj\nstartxref\n" + QByteArray::number(xrefOffset) +
           "\n%%EOF\n";
    return pdf;
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
