#include "support/CrowdedForm.h"

#include "support/PdfBuilder.h"

namespace vmk::test {

QByteArray makeCrowdedFormPdf(int pages, int markupsPerPage, int rowsPerPage)
{
    PdfBuilder b;
    const int catalog = b.reserve();
    const int tree = b.reserve();
    QList<int> pageNums;
    for (int p = 0; p < pages; ++p)
        pageNums << b.reserve();
    const int font = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    const int helv = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    const int empty = b.addStream("/Type /XObject /Subtype /Form /BBox [0 0 228 30]", "");
    const int on = b.addStream("/Type /XObject /Subtype /Form /BBox [0 0 18 18]", "0 g 3 3 12 12 re f");
    const int off = b.addStream("/Type /XObject /Subtype /Form /BBox [0 0 18 18]", "0 G 0.5 0.5 17 17 re S");
    const char* kinds[] = {"Square", "Circle", "Text"};

    QByteArray fields;
    for (int p = 0; p < pages; ++p) {
        QByteArray annots;
        for (int i = 0; i < markupsPerPage; ++i) {
            const int x = 40 + (i % 25) * 21;
            const int y = 120 + (i / 25) * 21;
            const QByteArray rect = QByteArray::number(x) + ' ' + QByteArray::number(y) + ' '
                + QByteArray::number(x + 16) + ' ' + QByteArray::number(y + 16);
            annots += ref(b.add("<< /Type /Annot /Subtype /" + QByteArray(kinds[i % 3]) + " /Rect [" + rect
                                + "] /C [0.9 0.1 0.1] /F 4 /Contents (note " + QByteArray::number(i) + ") /P "
                                + ref(pageNums[p]) + " >>")) + ' ';
        }
        const int next = pageNums[(p + 1) % pages];
        annots += ref(b.add("<< /Type /Annot /Subtype /Link /Rect [72 730 300 760] /Border [0 0 0] /Dest [" + ref(next)
                            + " /Fit] >>")) + ' ';
        for (int r = 0; r < (p == 0 ? 1 : rowsPerPage); ++r) {
            const QByteArray suffix = QByteArray::number(p + 1) + (r ? "_" + QByteArray::number(r + 1) : QByteArray());
            const QByteArray name = p == 0 ? QByteArray("name") : "row" + suffix;
            const QByteArray value = p == 0 ? QByteArray("Alice") : "Entry " + suffix;
            const int top = 630 - 40 * r;
            const int text = b.add("<< /Type /Annot /Subtype /Widget /FT /Tx /T (" + name + ") /V (" + value + ") /Rect [72 "
                                   + QByteArray::number(top - 30) + " 300 " + QByteArray::number(top) + "] /P "
                                   + ref(pageNums[p]) + " /F 4 /DA (/Helv 12 Tf 0 g) /AP << /N " + ref(empty) + " >> >>");
            annots += ref(text) + ' ';
            fields += ref(text) + ' ';
        }
        if (p == 0) {
            const int combo = b.add("<< /Type /Annot /Subtype /Widget /FT /Ch /Ff 131072 /T (colour) /Opt [(Red) (Green) (Blue)]"
                                    " /V (Green) /Rect [72 540 300 570] /P " + ref(pageNums[p])
                                    + " /F 4 /DA (/Helv 12 Tf 0 g) /AP << /N " + ref(empty) + " >> >>");
            const int box = b.add("<< /Type /Annot /Subtype /Widget /FT /Btn /T (agree) /V /Yes /AS /Yes"
                                  " /Rect [72 500 90 518] /P " + ref(pageNums[p]) + " /F 4 /AP << /N << /Yes " + ref(on)
                                  + " /Off " + ref(off) + " >> >> >>");
            annots += ref(combo) + ' ' + ref(box) + ' ';
            fields += ref(combo) + ' ' + ref(box) + ' ';
        }
        const QByteArray content = "BT /F1 24 Tf 72 680 Td (Crowded form page " + QByteArray::number(p + 1) + ") Tj ET";
        const int contents = b.addStream("", content);
        b.set(pageNums[p], "<< /Type /Page /Parent " + ref(tree) + " /MediaBox [0 0 612 792]"
                               + (p % 3 == 1 ? QByteArray(" /Rotate 90") : QByteArray()) + " /Contents " + ref(contents)
                               + " /Resources << /Font << /F1 " + ref(font) + " >> >> /Annots [" + annots.trimmed() + "] >>");
    }

    QByteArray kids;
    for (int num : pageNums)
        kids += ref(num) + ' ';
    b.set(tree, "<< /Type /Pages /Kids [" + kids.trimmed() + "] /Count " + QByteArray::number(pages) + " >>");
    const int outlines = b.reserve();
    const int first = b.add("<< /Title (Start) /Parent " + ref(outlines) + " /Next " + ref(outlines + 2) + " /Dest ["
                            + ref(pageNums.first()) + " /XYZ 0 792 0] >>");
    b.add("<< /Title (End) /Parent " + ref(outlines) + " /Prev " + ref(first) + " /Dest [" + ref(pageNums.last())
          + " /Fit] >>");
    b.set(outlines, "<< /Type /Outlines /First " + ref(first) + " /Last " + ref(first + 1) + " /Count 2 >>");
    const int xmp = b.addStream("/Type /Metadata /Subtype /XML",
                                "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                                "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                                "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Crowded form</rdf:li></rdf:Alt></dc:title>"
                                "</rdf:Description></rdf:RDF></x:xmpmeta>");
    const int info = b.add("<< /Title (Crowded form) /Author (Tester) >>");
    b.set(catalog, "<< /Type /Catalog /Pages " + ref(tree) + " /Outlines " + ref(outlines) + " /Metadata " + ref(xmp)
                       + " /AcroForm << /Fields [" + fields.trimmed() + "] /NeedAppearances true /DA (/Helv 12 Tf 0 g)"
                         " /DR << /Font << /Helv " + ref(helv) + " >> >> >> >>");
    return b.write(catalog, "/Info " + ref(info));
}

} // namespace vmk::test
