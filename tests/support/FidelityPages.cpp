#include "FidelityPages.h"

#include "PdfBuilder.h"
#include "TestFiles.h"

#include <QFile>
#include <QImage>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTransform>

#include <algorithm>
#include <cstdlib>

namespace vmk::test {

namespace {

// A zlib stream (qCompress puts the length in four bytes before it).
QByteArray compressed(const QByteArray& data) { return qCompress(data).mid(4); }

// Pixels that differ by more than the tolerance from every pixel within one pixel of them in the other image
// (both ways), outside the excluded rectangles.
int changedPixels(const QImage& beforeImage, const QImage& afterImage, const QList<QRect>& excluded)
{
    if (beforeImage.size() != afterImage.size())
        return beforeImage.width() * beforeImage.height();
    const QImage a = beforeImage.convertToFormat(QImage::Format_RGB32);
    const QImage b = afterImage.convertToFormat(QImage::Format_RGB32);
    auto distance = [](QRgb p, QRgb q) {
        return std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
    };
    auto near = [&](const QImage& image, int x, int y, QRgb colour) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (y + dy < 0 || y + dy >= image.height())
                continue;
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y + dy));
            for (int dx = -1; dx <= 1; ++dx)
                if (x + dx >= 0 && x + dx < image.width() && distance(line[x + dx], colour) <= 48)
                    return true;
        }
        return false;
    };
    int changed = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (pa[x] == pb[x] || distance(pa[x], pb[x]) <= 48)
                continue;
            if (std::any_of(excluded.begin(), excluded.end(), [&](const QRect& r) { return r.contains(x, y); }))
                continue;
            if (!near(b, x, y, pa[x]) || !near(a, x, y, pb[x]))
                ++changed;
        }
    }
    return changed;
}

QByteArray num(qreal v) { return QByteArray::number(v, 'f', 3); }

// Widths of codes 32..126 in thousandths of an em, from a face's own advances.
QByteArray widths(const QString& file, int first = 32)
{
    QRawFont raw(file, 1000);
    QByteArray out = "[";
    for (int code = first; code <= 126; ++code) {
        const QList<quint32> glyphs = raw.glyphIndexesForString(QString(QChar(code)));
        const QList<QPointF> advances = glyphs.isEmpty() ? QList<QPointF>{} : raw.advancesForGlyphIndexes(glyphs);
        out += QByteArray::number(advances.isEmpty() ? 0 : qRound(advances.first().x())) + " ";
    }
    return out + "]";
}

// A TeX subset's widths: printable ASCII from 33, then its "fi" ligature at code 174 (\256), as the font's
// own encoding places it.
QByteArray texWidths(const QString& file)
{
    QRawFont raw(file, 1000);
    const QList<quint32> fi = raw.glyphIndexesForString(QString(QChar(0xFB01)));
    const int ligature = fi.isEmpty() ? 556 : qRound(raw.advancesForGlyphIndexes(fi).first().x());
    QByteArray out = widths(file, 33);
    out.chop(1);
    for (int code = 127; code < 174; ++code)
        out += "0 ";
    return out + QByteArray::number(ligature) + " ]";
}

QByteArray descriptor(const QByteArray& name, int flags, const QByteArray& fileKey, int fileObject)
{
    return "<< /Type /FontDescriptor /FontName /" + name + " /Flags " + QByteArray::number(flags)
        + " /FontBBox [-200 -300 1200 1000] /ItalicAngle 0 /Ascent 900 /Descent -250 /CapHeight 700 /StemV 80 /"
        + fileKey + " " + QByteArray::number(fileObject) + " 0 R >>";
}

// The font objects a page may use, appended to `objects`; returns the /Font resource dictionary entries.
struct Fonts {
    QByteArray resources;
};

QByteArray type1Program(int* length1, int* length2, int* length3)
{
    QFile f(QStringLiteral("/usr/share/fonts/type1/urw-base35/NimbusRoman-Regular.t1"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    qsizetype eexec = all.indexOf("eexec");
    qsizetype start = eexec + 5;
    while (start < all.size() && (all[start] == '\r' || all[start] == '\n'))
        ++start;
    const qsizetype zeros = all.lastIndexOf("0000000000");
    // The trailer is 512 zeros over several lines and cleartomark: find where the zero lines begin.
    qsizetype first = zeros;
    while (true) {
        const qsizetype before = all.lastIndexOf("0000000000", first - 1);
        if (before < 0 || first - before > 80)
            break;
        first = before;
    }
    const qsizetype trailer = all.lastIndexOf('\n', first) + 1;
    *length1 = int(start);
    *length2 = int(trailer - start);
    *length3 = int(all.size() - trailer);
    return all;
}

QByteArray fontTable(const QString& file, const char* tag)
{
    QRawFont raw(file, 12);
    return raw.fontTable(tag);
}

// Builds every font; object numbers from `base`.
QList<QByteArray> fontObjects(int base, QByteArray* resources)
{
    const QString serifTtf = QStringLiteral("/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf");
    const QString sansOtf = QStringLiteral("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf");
    const QString romanOtf = QStringLiteral("/usr/share/fonts/opentype/urw-base35/NimbusRoman-Regular.otf");
    QList<QByteArray> objects;
    auto ref = [&](int offset) { return QByteArray::number(base + offset) + " 0 R"; };
    // F1: standard Helvetica.
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    // F2: embedded TrueType (the whole face, WinAnsi).
    QFile ttf(serifTtf);
    ttf.open(QIODevice::ReadOnly);
    const QByteArray ttfData = ttf.readAll();
    objects << "<< /Type /Font /Subtype /TrueType /BaseFont /LiberationSerif /FirstChar 32 /LastChar 126 /Widths "
            + widths(serifTtf) + " /Encoding /WinAnsiEncoding /FontDescriptor " + ref(2) + " >>";
    objects << descriptor("LiberationSerif", 34, "FontFile2", base + 3);
    objects << pdfStream("/Filter /FlateDecode /Length1 " + QByteArray::number(ttfData.size()), compressed(ttfData));
    // F3: embedded CFF (bare CFF program, FontFile3 /Type1C).
    const QByteArray cff = fontTable(sansOtf, "CFF ");
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /NimbusSans-Regular /FirstChar 32 /LastChar 126 /Widths "
            + widths(sansOtf) + " /Encoding /WinAnsiEncoding /FontDescriptor " + ref(5) + " >>";
    objects << descriptor("NimbusSans-Regular", 32, "FontFile3", base + 6);
    objects << pdfStream("/Subtype /Type1C /Filter /FlateDecode", compressed(cff));
    // F4: embedded Type 1 with a space, F5: the same program as a TeX-like subset without one (no code 32).
    int l1 = 0, l2 = 0, l3 = 0;
    const QByteArray t1 = type1Program(&l1, &l2, &l3);
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /NimbusRoman-Regular /FirstChar 32 /LastChar 126 /Widths "
            + widths(romanOtf) + " /Encoding /WinAnsiEncoding /FontDescriptor " + ref(8) + " >>";
    objects << descriptor("NimbusRoman-Regular", 34, "FontFile", base + 9);
    objects << pdfStream("/Filter /FlateDecode /Length1 " + QByteArray::number(l1) + " /Length2 " + QByteArray::number(l2)
                          + " /Length3 " + QByteArray::number(l3),
                      compressed(t1));
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /QXJSTA+CMR10 /FirstChar 33 /LastChar 174 /Widths "
            + texWidths(romanOtf) + " /FontDescriptor " + ref(11) + " >>";
    objects << descriptor("QXJSTA+CMR10", 34, "FontFile", base + 9);
    *resources = "/Font << /F1 " + ref(0) + " /F2 " + ref(1) + " /F3 " + ref(4) + " /F4 " + ref(7) + " /F5 " + ref(10)
        + " >>";
    return objects;
}

// Content pieces.
const QByteArray kAxial = "q 40 560 240 120 re W n /Sh1 sh Q\n";
const QByteArray kRadial = "q 330 560 240 120 re W n /Sh2 sh Q\n";
const QByteArray kPatternRect = "q /Pattern cs /P1 scn 40 400 250 120 re f Q\n";
const QByteArray kShadingPatternRect = "q /Pattern cs /P2 scn 330 400 240 120 re f Q\n";
// A 4 x 4 RGB picture written into the content; its bytes include NULs and non-ASCII bytes.
QByteArray inlineImage()
{
    QByteArray pixels;
    for (int i = 0; i < 16; ++i)
        pixels += QByteArray(1, char(i % 3 == 0 ? 0xff : 0)) + QByteArray(1, char(i % 3 == 1 ? 0xff : 0))
            + QByteArray(1, char(i % 3 == 2 ? 0xff : i * 8));
    return "q 120 0 0 80 60 250 cm BI /W 4 /H 4 /CS /RGB /BPC 8 ID\n" + pixels + "\nEI Q\n";
}
const QByteArray kInline = inlineImage();
const QByteArray kCalGray = "q /CG cs 0.35 sc 330 250 240 80 re f Q\n";
const QByteArray kImage = "q 100 0 0 60 400 120 cm /Im1 Do Q\n";
const QByteArray kPatternText = "q /Pattern cs /P1 scn BT /F1 36 Tf 40 160 Td (Patterned) Tj ET Q\n";
const QByteArray kStroke = "q 0 0.4 0.8 RG 3 w [6 3] 0 d 36 40 m 576 40 l S Q\n";

QByteArray heading(const QByteArray& font, const QByteArray& text, qreal size = 24)
{
    return "BT /" + font + " " + num(size) + " Tf 72 720 Td (" + text + ") Tj ET\n";
}

QByteArray resourcesWith(const QByteArray& fonts, int base)
{
    auto ref = [&](int offset) { return QByteArray::number(base + offset) + " 0 R"; };
    return "<< " + fonts + " /Shading << /Sh1 " + ref(0) + " /Sh2 " + ref(1) + " >> /Pattern << /P1 " + ref(2)
        + " /P2 " + ref(3) + " >> /ColorSpace << /CG [/CalGray << /WhitePoint [0.9505 1 1.089] /Gamma 2.2 >>] >>"
        + " /XObject << /Im1 " + ref(4) + " >> >>";
}

QList<QByteArray> paintObjects(int base)
{
    auto ref = [&](int offset) { return QByteArray::number(base + offset) + " 0 R"; };
    QList<QByteArray> objects;
    objects << "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [40 0 280 0] /Extend [true true] /Function "
            + ref(5) + " >>";
    objects << "<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [450 620 5 450 620 90] /Extend [true true] "
               "/Function "
            + ref(5) + " >>";
    const QByteArray tile = "0.9 0.2 0.2 rg 0 0 8 8 re f 0.2 0.2 0.9 rg 8 8 8 8 re f";
    objects << pdfStream("/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 16 16] /XStep 16 "
                      "/YStep 16 /Resources << >>",
                      tile);
    objects << "<< /Type /Pattern /PatternType 2 /Shading " + ref(0) + " >>";
    QByteArray pixels;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pixels += char(x * 32) + QByteArray(1, char(y * 32)) + QByteArray(1, char(128));
    objects << pdfStream("/Type /XObject /Subtype /Image /Width 8 /Height 8 /ColorSpace /DeviceRGB /BitsPerComponent 8",
                      pixels);
    objects << "<< /FunctionType 2 /Domain [0 1] /C0 [0.1 0.5 0.9] /C1 [0.95 0.8 0.1] /N 1 >>";
    return objects;
}

QByteArray onePage(const QByteArray& content, const QByteArray& pageExtra = {})
{
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"};
    // 3: page, 4: content, 5..: paint objects, then fonts.
    const int paintBase = 5;
    const QList<QByteArray> paint = paintObjects(paintBase);
    QByteArray fonts;
    const QList<QByteArray> fontObjs = fontObjects(paintBase + int(paint.size()), &fonts);
    objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] " + pageExtra + " /Contents 4 0 R /Resources "
            + resourcesWith(fonts, paintBase) + " >>";
    objects << pdfStream("/Filter /FlateDecode", compressed(content));
    objects << paint << fontObjs;
    return assemblePdf(objects);
}

QList<FidelityPage> buildPages()
{
    struct Variant {
        const char* name;
        QByteArray font;
        QByteArray background;
        QByteArray extra;
    };
    const QByteArray everything = kAxial + kRadial + kPatternRect + kShadingPatternRect + kInline + kCalGray + kImage
        + kPatternText + kStroke;
    const QList<Variant> variants{
        {"plain standard font", "F1", kStroke, {}},
        {"axial shading", "F1", kAxial, {}},
        {"radial shading", "F2", kRadial, {}},
        {"tiling pattern", "F1", kPatternRect, {}},
        {"shading pattern", "F3", kShadingPatternRect, {}},
        {"inline image", "F1", kInline, {}},
        {"calibrated gray", "F2", kCalGray, {}},
        {"image xobject", "F3", kImage, {}},
        {"pattern-filled text", "F1", kPatternText, {}},
        {"everything, TrueType", "F2", everything, {}},
        {"everything, CFF", "F3", everything, {}},
        {"everything, Type 1", "F4", everything, {}},
        {"rotated page", "F1", everything, "/Rotate 90"},
        {"cropped page", "F2", everything, "/CropBox [20 20 600 780]"},
    };
    QList<FidelityPage> pages;
    for (const Variant& v : variants) {
        const QByteArray text = "Annual Report";
        // Other text around the block, in several fonts, so the page has more than one text object.
        const QByteArray others = "BT /F2 11 Tf 72 700 Td (Serif line in TrueType) Tj ET\n"
                                  "BT /F3 11 Tf 300 700 Td (Sans line in CFF) Tj ET\n"
                                  "BT /F4 11 Tf 72 90 Td (Roman line in Type 1) Tj ET\n";
        pages.append({QString::fromLatin1(v.name), onePage(v.background + heading(v.font, text) + others, v.extra),
                      QPointF(90, 726), QString::fromLatin1(text)});
    }
    pages.append({QStringLiteral("TeX-like"), texLikePdf(), QPointF(90, 704), QStringLiteral("Here is to the crazy ones")});
    return pages;
}

} // namespace

QByteArray texLikePdf()
{
    // Words set apart by TJ offsets, in one text object with moves between lines, as TeX writes them.
    const QByteArray content = "0 0.45 0.2 rg 40 40 532 8 re f\n"
                               "BT /F5 11.955 Tf 72 700 Td [(Here)-333(is)-333(to)-333(the)-334(crazy)-333(ones.)]TJ "
                               "0 -14.446 Td [(The)-333(mis\\256ts.)-444(The)-333(rebels.)]TJ ET\n"
                               "BT /F5 9.963 Tf 72 600 Td [(Another)-333(paragraph)-333(far)-333(below.)]TJ ET\n";
    return onePage(content);
}

const QList<FidelityPage>& fidelityPages()
{
    static const QList<FidelityPage> pages = buildPages();
    return pages;
}

int pixelsChangedOutside(const QByteArray& before, const QByteArray& after, const QList<QRectF>& regions, int rotation,
                         const QRectF& crop)
{
    QTemporaryDir dir;
    const qreal scale = 1.0;
    auto render = [&](const QByteArray& pdf, const QString& name) {
        const QString path = test::writeFile(dir, name + QStringLiteral(".pdf"), pdf);
        test::runCommand(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
                                                      QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                                                      QStringLiteral("-singlefile"), QStringLiteral("-png"), path,
                                                      dir.filePath(name)});
        return QImage(dir.filePath(name + QStringLiteral(".png")));
    };
    const QImage a = render(before, QStringLiteral("a"));
    const QImage b = render(after, QStringLiteral("b"));
    if (a.isNull() || b.isNull())
        return -1;
    QList<QRect> pixels;
    for (const QRectF& r : regions) {
        QRectF shown;
        if (rotation == 90) // turned clockwise: x' = y, y' = x
            shown = QRectF(r.top() - crop.top(), r.left() - crop.left(), r.height(), r.width());
        else // QRectF's top() is the smaller y, the bottom edge of a y-up rectangle
            shown = QRectF(r.left() - crop.left(), crop.bottom() - r.bottom(), r.width(), r.height());
        pixels.append(QTransform::fromScale(scale, scale).mapRect(shown).toAlignedRect().adjusted(-2, -2, 2, 2));
    }
    return changedPixels(a, b, pixels);
}

} // namespace vmk::test
