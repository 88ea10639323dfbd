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

namespace {

QByteArray linkObject(int index, int actionNum)
{
    const double x = (index % 200) * 1.5, y = (index / 200) * 2.0;
    return "<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [" + QByteArray::number(x) + ' ' + QByteArray::number(y) +
           ' ' + QByteArray::number(x + 1) + ' ' + QByteArray::number(y + 1.5) + "] /A " + QByteArray::number(actionNum) +
           " 0 R >>";
}

QByteArray deflated(const QByteArray& data) { return qCompress(data, 1).mid(4); } // zlib, without Qt's length

// A file whose objects are all packed into compressed object streams, group g (objects numbered from 1 on
// across the groups, in order) in stream g, behind a cross-reference stream. `content` is the one content
// stream, stored plainly as object `contentNum`, which must follow the packed objects.
QByteArray packedPdf(const QList<QList<QByteArray>>& groups, int contentNum, const QByteArray& content)
{
    QByteArray pdf = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    const qsizetype contentOffset = pdf.size();
    pdf += QByteArray::number(contentNum) + " 0 obj\n<< /Length " + QByteArray::number(content.size()) +
           " >>\nstream\n" + content + "\nendstream\nendobj\n";
    QList<qsizetype> streamOffsets;
    int num = 1;
    for (int g = 0; g < groups.size(); ++g) {
        QByteArray header, body;
        for (const QByteArray& object : groups[g]) {
            header += QByteArray::number(num++) + ' ' + QByteArray::number(body.size()) + ' ';
            body += object + '\n';
        }
        const QByteArray data = deflated(header + body);
        streamOffsets << pdf.size();
        pdf += QByteArray::number(contentNum + 1 + g) + " 0 obj\n<< /Type /ObjStm /N " +
               QByteArray::number(groups[g].size()) + " /First " + QByteArray::number(header.size()) +
               " /Filter /FlateDecode /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data +
               "\nendstream\nendobj\n";
    }
    const int xrefNum = contentNum + 1 + int(groups.size());
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
    for (int g = 0; g < groups.size(); ++g)
        for (int i = 0; i < groups[g].size(); ++i)
            entry(2, quint32(contentNum + 1 + g), quint32(i));
    entry(1, quint32(contentOffset), 0);
    for (const qsizetype offset : streamOffsets)
        entry(1, quint32(offset), 0);
    entry(1, quint32(xrefOffset), 0);
    const QByteArray xrefData = deflated(table);
    pdf += QByteArray::number(xrefNum) + " 0 obj\n<< /Type /XRef /Size " + QByteArray::number(xrefNum + 1) +
           " /W [1 4 3] /Root 1 0 R /Filter /FlateDecode /Length " + QByteArray::number(xrefData.size()) +
           " >>\nstream\n" + xrefData + "\nendstream\nendobj\nstartxref\n" + QByteArray::number(xrefOffset) +
           "\n%%EOF\n";
    return pdf;
}

const QByteArray kPackedFont = "/Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>";

} // namespace

QByteArray packedLinksPdf(int links)
{
    // Object n is packed[n - 1]; the content stream, the object stream and the cross-reference stream follow.
    QList<QByteArray> packed;
    const int contentNum = 4 + 2 * links + 1;
    packed << "<< /Type /Catalog /Pages 2 0 R >>"
           << "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"
           << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] " + kPackedFont + " /Contents " +
                  QByteArray::number(contentNum) + " 0 R /Annots 4 0 R >>";
    QByteArray annots = "[";
    annots.reserve(links * 10);
    for (int i = 0; i < links; ++i)
        annots += QByteArray::number(5 + 2 * i) + " 0 R ";
    packed << annots + "]";
    for (int i = 0; i < links; ++i) {
        packed << linkObject(i, 6 + 2 * i);
        packed << "<< /S /URI /URI (https://example.org/" + QByteArray::number(i) + ") >>";
    }
    return packedPdf({packed}, contentNum, textLine("Packed links"));
}

QByteArray packedPagesPdf(int pages, int linksPerPage)
{
    // Stream 0: catalog, page tree, then each page and its annotation list. Stream 1 + p: page p's links
    // and their actions.
    const int firstLink = 3 + 2 * pages;
    const int contentNum = firstLink + 2 * pages * linksPerPage;
    QList<QList<QByteArray>> groups(1 + pages);
    QByteArray kids;
    for (int p = 0; p < pages; ++p)
        kids += QByteArray::number(3 + 2 * p) + " 0 R ";
    groups[0] << "<< /Type /Catalog /Pages 2 0 R >>"
              << "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>";
    for (int p = 0; p < pages; ++p) {
        groups[0] << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] " + kPackedFont + " /Contents " +
                         QByteArray::number(contentNum) + " 0 R /Annots " + QByteArray::number(4 + 2 * p) + " 0 R >>";
        QByteArray annots = "[";
        annots.reserve(linksPerPage * 10);
        for (int i = 0; i < linksPerPage; ++i)
            annots += QByteArray::number(firstLink + 2 * (p * linksPerPage + i)) + " 0 R ";
        groups[0] << annots + "]";
        for (int i = 0; i < linksPerPage; ++i) {
            const int num = firstLink + 2 * (p * linksPerPage + i);
            groups[1 + p] << linkObject(i, num + 1);
            groups[1 + p] << "<< /S /URI /URI (https://example.org/" + QByteArray::number(p) + '/' +
                                 QByteArray::number(i) + ") >>";
        }
    }
    return packedPdf(groups, contentNum, textLine("Packed pages"));
}

QByteArray packedManyPagesPdf(int pages, int perStream)
{
    // Object 1 the catalog, 2 the page tree, 3 + p page p; the content stream follows the packed objects.
    const int contentNum = 3 + pages;
    QList<QByteArray> objects;
    objects.reserve(2 + pages);
    QByteArray kids;
    kids.reserve(pages * 10);
    for (int p = 0; p < pages; ++p)
        kids += QByteArray::number(3 + p) + " 0 R ";
    objects << "<< /Type /Catalog /Pages 2 0 R >>"
            << "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>";
    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents "
                            + QByteArray::number(contentNum) + " 0 R >>";
    for (int p = 0; p < pages; ++p)
        objects << page;
    QList<QList<QByteArray>> groups;
    for (qsizetype i = 0; i < objects.size(); i += perStream)
        groups << objects.mid(i, perStream);
    return packedPdf(groups, contentNum, "0 0 1 rg 10 10 50 50 re f");
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
