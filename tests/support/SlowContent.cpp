#include "support/SlowContent.h"

#include <QtEndian>

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

void putU32(QByteArray& out, quint32 value)
{
    const quint32 big = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&big), 4);
}

void putSegment(QByteArray& out, quint32 number, quint8 type, const QByteArray& data)
{
    putU32(out, number);
    out.append(char(type));
    out.append(char(0)); // refers to no segment
    out.append(char(1)); // page 1
    putU32(out, quint32(data.size()));
    out.append(data);
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

QByteArray slowJbig2(int side, int regions)
{
    QByteArray out;
    QByteArray info;
    putU32(info, quint32(side));
    putU32(info, quint32(side));
    putU32(info, 0);
    putU32(info, 0);
    info.append(QByteArray(3, '\0')); // flags, striping
    putSegment(out, 0, 48, info);
    for (int i = 1; i <= regions; ++i) {
        QByteArray region;
        putU32(region, quint32(side));
        putU32(region, quint32(side));
        putU32(region, 0);
        putU32(region, 0);
        region.append(char(0));                                  // combination
        region.append(char(0));                                  // arithmetic coding, template 0
        region.append(QByteArray::fromHex("03fffdff02fefefe")); // the template's usual pixels
        region.append(QByteArray::fromHex("01ff") + QByteArray::fromHex("7fff").repeated(32) +
                      QByteArray::fromHex("ffac"));
        putSegment(out, quint32(i), 38, region);
    }
    return out;
}

} // namespace vmk::test
