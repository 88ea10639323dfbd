#include "support/SlowContent.h"

namespace vmk::test {

namespace {

const QByteArray kForm = "/Type /XObject /Subtype /Form /BBox [0 0 300 400]";

// `count` draws of the form /F, each shifted a little so that nothing is drawn twice in one place.
QByteArray repeated(int count)
{
    QByteArray content;
    for (int i = 0; i < count; ++i)
        content += "q 1 0 0 1 " + QByteArray::number(i % 7) + ' ' + QByteArray::number(i % 5) + " cm /F Do Q\n";
    return content;
}

} // namespace

int addSlowForm(PdfBuilder& pdf, int squares, int fanout, const QByteArray& colour)
{
    QByteArray paths = colour + " rg\n";
    for (int i = 0; i < squares; ++i) {
        const int x = 10 + (i % 560) / 2, y = 10 + (i / 560) % 130;
        paths += QByteArray::number(x) + ' ' + QByteArray::number(y) + " 0.4 0.4 re f\n";
    }
    const int inner = pdf.addStream(kForm, paths);
    const int middle = pdf.addStream(kForm + " /Resources << /XObject << /F " + ref(inner) + " >> >>", repeated(fanout));
    return pdf.addStream(kForm + " /Resources << /XObject << /F " + ref(middle) + " >> >>", repeated(fanout));
}

} // namespace vmk::test
