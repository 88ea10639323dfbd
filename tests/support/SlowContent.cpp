#include "support/SlowContent.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>

#include <zlib.h>

namespace vmk::test {

namespace {

constexpr int kHugeSide = 40000;

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

QByteArray zeroFlate(qint64 bytes)
{
    // One chunk of zeros compressed up to a full flush: the compressor forgets everything before the flush,
    // so the same compressed bytes repeated stand for the chunk repeated.
    constexpr qint64 kChunk = qint64(1) << 24;
    auto flushed = [](qint64 length) {
        z_stream z{};
        deflateInit(&z, Z_BEST_COMPRESSION);
        const QByteArray zeros(length, '\0');
        QByteArray out(int(deflateBound(&z, uLong(length))) + 64, Qt::Uninitialized);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
        z.avail_in = uInt(length);
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, Z_FULL_FLUSH);
        out.truncate(qsizetype(z.total_out));
        deflateEnd(&z);
        return out.mid(2); // the zlib header, written once for the whole stream
    };
    const QByteArray chunk = flushed(kChunk);
    QByteArray stream = QByteArray::fromHex("78da");
    stream.reserve(qsizetype(chunk.size() * (bytes / kChunk + 2)));
    for (qint64 i = 0; i < bytes / kChunk; ++i)
        stream += chunk;
    if (bytes % kChunk)
        stream += flushed(bytes % kChunk);
    stream += QByteArray::fromHex("0300"); // an empty last block
    // Adler-32 of zeros: the first sum stays 1, the second adds 1 per byte.
    const quint32 adler = (quint32(bytes % 65521) << 16) | 1u;
    const quint32 big = qToBigEndian(adler);
    stream.append(reinterpret_cast<const char*>(&big), 4);
    return stream;
}

namespace {

// A baseline JPEG of 8 x 8 grey pixels whose frame header declares `side` x `side`: its few bytes of data
// end long before the frame does.
QByteArray jpegDeclaring(int side)
{
    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(128);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    grey.save(&buffer, "JPEG");
    const qsizetype sof = jpeg.indexOf(QByteArray::fromHex("ffc0"));
    if (sof >= 0) {
        const quint16 big = qToBigEndian(quint16(side));
        jpeg.replace(sof + 5, 2, reinterpret_cast<const char*>(&big), 2); // height
        jpeg.replace(sof + 7, 2, reinterpret_cast<const char*>(&big), 2); // width
    }
    return jpeg;
}

} // namespace

QByteArray testPagesPdf(const QList<TestPage>& pages)
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int tree = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    QByteArray pixels;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            pixels.append(char(x * 4)).append(char(y * 4)).append(char(160));
    QByteArray flate = qCompress(pixels);
    flate.remove(0, 4); // qCompress's length prefix; the rest is a zlib stream
    const int picture = pdf.addStream("/Type /XObject /Subtype /Image /Width 64 /Height 64 /ColorSpace /DeviceRGB "
                                      "/BitsPerComponent 8 /Filter /FlateDecode",
                                      flate);
    QByteArrayList kids;
    for (TestPage kind : pages) {
        QByteArray resources = "/Font << /F1 " + ref(font) + " >> /XObject << /Pic " + ref(picture);
        int contents = 0;
        switch (kind) {
        case TestPage::plain:
            contents = pdf.addStream({}, "BT /F1 24 Tf 72 700 Td (A plain page) Tj ET\n0 0 1 rg 72 400 200 200 re f\n"
                                         "q 200 0 0 150 300 100 cm /Pic Do Q\n");
            break;
        case TestPage::giantDecode:
            contents = pdf.addStream("/Filter /JBIG2Decode", slowJbig2(100000, 1));
            break;
        case TestPage::absurdImage: {
            // A decoder that cannot draw at a reduced size: the whole image is made before any of it is drawn.
            const int image = pdf.addStream("/Type /XObject /Subtype /Image /Width 60000 /Height 60000 "
                                            "/ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /JBIG2Decode",
                                            slowJbig2(60000, 1));
            resources += " /Im0 " + ref(image);
            contents = pdf.addStream({}, "q 400 0 0 400 100 200 cm /Im0 Do Q\n");
            break;
        }
        case TestPage::photo: {
            QByteArray noise;
            quint32 seed = 12345;
            for (int i = 0; i < 500 * 600 * 3; ++i) {
                seed = seed * 1103515245u + 12345u;
                noise.append(char(seed >> 24));
            }
            const int image = pdf.addStream("/Type /XObject /Subtype /Image /Width 500 /Height 600 "
                                            "/ColorSpace /DeviceRGB /BitsPerComponent 8",
                                            noise);
            resources += " /Im0 " + ref(image);
            contents = pdf.addStream({}, "q 612 0 0 792 0 0 cm /Im0 Do Q\n0 0 1 rg 72 400 200 200 re f\n");
            break;
        }
        case TestPage::hugeFlateImage: {
            const QByteArray side = QByteArray::number(kHugeSide);
            const int image = pdf.addStream("/Type /XObject /Subtype /Image /Width " + side + " /Height " + side +
                                                " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode",
                                            zeroFlate(qint64(kHugeSide) * kHugeSide * 3));
            resources += " /Im0 " + ref(image);
            contents = pdf.addStream({}, "q 400 0 0 400 100 200 cm /Im0 Do Q\n");
            break;
        }
        case TestPage::hugeJpegImage: {
            const QByteArray side = QByteArray::number(kHugeSide);
            const int image = pdf.addStream("/Type /XObject /Subtype /Image /Width " + side + " /Height " + side +
                                                " /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /DCTDecode",
                                            jpegDeclaring(kHugeSide));
            resources += " /Im0 " + ref(image);
            contents = pdf.addStream({}, "q 400 0 0 400 100 200 cm /Im0 Do Q\n");
            break;
        }
        case TestPage::slowImage: {
            const int image = pdf.addStream("/Type /XObject /Subtype /Image /Width 2000 /Height 2000 "
                                            "/ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /JBIG2Decode",
                                            slowJbig2(2000, 100));
            resources += " /Im0 " + ref(image);
            contents = pdf.addStream({}, "BT /F1 24 Tf 72 700 Td (A slow picture) Tj ET\n"
                                         "q 400 0 0 400 100 200 cm /Im0 Do Q\n");
            break;
        }
        case TestPage::slowDecode:
            contents = pdf.addStream("/Filter /JBIG2Decode", slowJbig2(2000, 100));
            break;
        }
        kids << ref(pdf.add("<< /Type /Page /Parent " + ref(tree) + " /MediaBox [0 0 612 792] /Resources << " +
                            resources + " >> >> /Contents " + ref(contents) + " >>"));
    }
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(tree) + " >>");
    pdf.set(tree, "<< /Type /Pages /Kids [" + kids.join(' ') + "] /Count " + QByteArray::number(kids.size()) + " >>");
    return pdf.write(catalog);
}

QByteArray slowToWritePdf(int pages, int commentBytes)
{
    PdfBuilder b;
    const int catalog = b.reserve(), tree = b.reserve();
    const int font = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    quint32 seed = 12345;
    QList<QByteArray> kids;
    for (int i = 0; i < pages; ++i) {
        QByteArray filler;
        filler.reserve(commentBytes + 64);
        while (filler.size() < commentBytes) {
            filler += "% ";
            for (int k = 0; k < 60; ++k) {
                seed = seed * 1664525u + 1013904223u;
                filler += char('a' + (seed >> 24) % 26);
            }
            filler += '\n';
        }
        const QByteArray n = QByteArray::number(i);
        const int link = b.add("<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [20 300 220 330] /A << /S /URI "
                               "/URI (https://example.org/" + n + ") >> >>");
        const int content = b.addStream({}, "BT /F1 18 Tf 30 350 Td (Page " + QByteArray::number(i + 1)
                                                + " alpha beta) Tj ET\n" + filler);
        kids << ref(b.add("<< /Type /Page /Parent " + ref(tree) + " /MediaBox [0 0 300 400] /Resources << /Font << /F1 "
                          + ref(font) + " >> >> /Contents " + ref(content) + " /Annots [" + ref(link) + "] >>"));
    }
    b.set(tree, "<< /Type /Pages /Kids [" + kids.join(' ') + "] /Count " + QByteArray::number(pages) + " >>");
    b.set(catalog, "<< /Type /Catalog /Pages " + ref(tree) + " >>");
    return b.write(catalog);
}

} // namespace vmk::test
