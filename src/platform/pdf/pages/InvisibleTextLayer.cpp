#include "platform/pdf/pages/InvisibleTextLayer.h"

#include <QHash>

#include <cmath>
#include <map>
#include <mutex>

namespace vmk::pdf::detail {

namespace {

constexpr double kMissingAdvance = 500;

struct Face {
    std::mutex mutex;
    fz_font* font = nullptr;
    QHash<char32_t, double> advances;
};

Face& face()
{
    static Face* shared = [] {
        auto* f = new Face;
        fz_context* c = ctx();
        guarded(c, [&] { f->font = fz_new_base14_font(c, "Helvetica"); });
        return f;
    }();
    return *shared;
}

QByteArray num(double v) { return QByteArray::number(v, 'f', 4); }

QByteArray hex(uint value, int digits) { return QByteArray::number(value, 16).rightJustified(digits, '0').toUpper(); }

// UTF-16BE hex of one code point, as ToUnicode maps want it.
QByteArray utf16Hex(char32_t u)
{
    QByteArray out;
    for (QChar ch : QString::fromUcs4(&u, 1))
        out += hex(ch.unicode(), 4);
    return out;
}

bool encodableAsWinAnsi(const QList<uint>& codePoints)
{
    for (uint u : codePoints) {
        if (u < 32 || fz_windows_1252_from_unicode(int(u)) < 0)
            return false;
    }
    return true;
}

QByteArray toUnicodeCMap(const std::map<char32_t, uint>& cids)
{
    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<uint, char32_t>> entries;
    for (const auto& [u, cid] : cids)
        entries.emplace_back(cid, u);
    std::sort(entries.begin(), entries.end());
    // A bfchar block may hold at most 100 entries.
    for (size_t start = 0; start < entries.size(); start += 100) {
        const size_t end = std::min(entries.size(), start + 100);
        cmap += QByteArray::number(qulonglong(end - start)) + " beginbfchar\n";
        for (size_t i = start; i < end; ++i)
            cmap += '<' + hex(entries[i].first, 4) + "> <" + utf16Hex(entries[i].second) + ">\n";
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return cmap;
}

// Parses one object written in PDF syntax. Throws MuPDF errors.
pdf_obj* parseObject(fz_context* c, pdf_document* doc, const QByteArray& text)
{
    fz_stream* stream = fz_open_memory(c, reinterpret_cast<const unsigned char*>(text.constData()), size_t(text.size()));
    pdf_lexbuf lexbuf;
    pdf_lexbuf_init(c, &lexbuf, PDF_LEXBUF_SMALL);
    pdf_obj* obj = nullptr;
    fz_try(c) { obj = pdf_parse_stm_obj(c, doc, stream, &lexbuf); }
    fz_always(c)
    {
        pdf_lexbuf_fin(c, &lexbuf);
        fz_drop_stream(c, stream);
    }
    fz_catch(c) { fz_rethrow(c); }
    return obj;
}

} // namespace

double HelveticaMetrics::advance(char32_t codePoint)
{
    Face& f = face();
    std::lock_guard lock(f.mutex);
    auto found = f.advances.constFind(codePoint);
    if (found != f.advances.constEnd())
        return *found;
    double advance = kMissingAdvance;
    if (f.font) {
        fz_context* c = ctx();
        guarded(c, [&] {
            const int glyph = fz_encode_character(c, f.font, int(codePoint));
            if (glyph > 0)
                advance = std::round(double(fz_advance_glyph(c, f.font, glyph, 0)) * 1000.0);
        });
    }
    f.advances.insert(codePoint, advance);
    return advance;
}

InvisibleTextLayer InvisibleTextLayer::build(const QList<InvisibleTextRun>& runs)
{
    InvisibleTextLayer layer;
    std::map<char32_t, uint> cids; // composite-font characters, numbered from 1 in order of appearance
    QByteArray body;
    for (const InvisibleTextRun& run : runs) {
        const QList<uint> codePoints = run.text.toUcs4();
        if (codePoints.isEmpty() || !(run.fontSize > 0) || !(run.horizontalScale > 0) || !std::isfinite(run.horizontalScale))
            continue;
        QByteArray shown;
        QByteArray font;
        if (encodableAsWinAnsi(codePoints)) {
            font = "/F1";
            for (uint u : codePoints)
                shown += hex(uint(fz_windows_1252_from_unicode(int(u))), 2);
        } else {
            font = "/F2";
            for (uint u : codePoints) {
                auto [it, added] = cids.try_emplace(u, uint(cids.size() + 1));
                Q_UNUSED(added);
                shown += hex(it->second, 4);
            }
        }
        // Reading direction and glyph up direction, turned clockwise in a y-up space.
        const int turn = ((run.clockwiseTurn / 90) % 4 + 4) % 4;
        static constexpr int kCos[] = {1, 0, -1, 0};
        static constexpr int kSin[] = {0, 1, 0, -1};
        const double hs = run.horizontalScale;
        body += font + ' ' + num(run.fontSize) + " Tf " + num(hs * kCos[turn]) + ' ' + num(-hs * kSin[turn]) + ' '
            + num(kSin[turn]) + ' ' + num(kCos[turn]) + ' ' + num(run.origin.x()) + ' ' + num(run.origin.y())
            + " Tm <" + shown + "> Tj\n";
        if (font == "/F1")
            layer.simpleFont = "used";
    }
    if (body.isEmpty())
        return layer;
    layer.content = "BT 3 Tr\n" + body + "ET\n";

    if (!layer.simpleFont.isEmpty()) {
        QByteArray widths;
        for (int code = 32; code <= 255; ++code) {
            const char32_t u = fz_unicode_from_windows_1252[code];
            widths += QByteArray::number(u ? HelveticaMetrics::advance(u) : 0) + ' ';
        }
        layer.simpleFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding"
                           " /FirstChar 32 /LastChar 255 /Widths [" + widths.trimmed() + "] >>";
    }
    if (!cids.empty()) {
        std::vector<double> widths(cids.size());
        for (const auto& [u, cid] : cids)
            widths[cid - 1] = HelveticaMetrics::advance(u);
        QByteArray w;
        for (double width : widths)
            w += QByteArray::number(width) + ' ';
        layer.compositeFont = "<< /Type /Font /Subtype /Type0 /BaseFont /Helvetica /Encoding /Identity-H"
                              " /DescendantFonts [<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Helvetica"
                              " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                              " /DW 500 /W [1 [" + w.trimmed() + "]] /CIDToGIDMap /Identity >>] >>";
        layer.fontDescriptor = "<< /Type /FontDescriptor /FontName /Helvetica /Flags 32"
                               " /FontBBox [-166 -225 1000 931] /ItalicAngle 0 /Ascent 718 /Descent -207"
                               " /CapHeight 718 /StemV 88 >>";
        layer.toUnicode = toUnicodeCMap(cids);
    }
    return layer;
}

void InvisibleTextLayer::addFonts(fz_context* c, pdf_document* doc, pdf_obj* resources) const
{
    if (simpleFont.isEmpty() && compositeFont.isEmpty())
        return;
    pdf_obj* fonts = pdf_dict_put_dict(c, resources, PDF_NAME(Font), 2);
    if (!simpleFont.isEmpty()) {
        pdf_obj* dict = parseObject(c, doc, simpleFont);
        pdf_dict_puts_drop(c, fonts, "F1", pdf_add_object_drop(c, doc, dict));
    }
    if (!compositeFont.isEmpty()) {
        pdf_obj* dict = parseObject(c, doc, compositeFont);
        pdf_obj* font = pdf_add_object_drop(c, doc, dict);
        pdf_dict_puts_drop(c, fonts, "F2", font);
        pdf_obj* descendant = pdf_array_get(c, pdf_dict_get(c, font, PDF_NAME(DescendantFonts)), 0);
        pdf_dict_put_drop(c, descendant, PDF_NAME(FontDescriptor),
                          pdf_add_object_drop(c, doc, parseObject(c, doc, fontDescriptor)));
        fz_buffer* cmap = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(toUnicode.constData()),
                                                         size_t(toUnicode.size()));
        pdf_obj* stream = nullptr;
        fz_try(c) { stream = pdf_add_stream(c, doc, cmap, nullptr, 0); }
        fz_always(c) { fz_drop_buffer(c, cmap); }
        fz_catch(c) { fz_rethrow(c); }
        pdf_dict_put_drop(c, font, PDF_NAME(ToUnicode), stream);
    }
}

} // namespace vmk::pdf::detail
