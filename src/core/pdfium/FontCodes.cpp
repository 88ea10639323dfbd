#include "core/pdfium/FontCodes.h"

#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/TextLayout.h"

#include <QStringList>

#include <algorithm>

namespace vmk::core::fontcodes {

namespace {

constexpr qsizetype kLongestReading = 3; // "ffi"
// A word space where the font draws none, as in the fonts TeX sets words apart with.
constexpr qreal kPositionedSpace = 0.333;

} // namespace

std::optional<std::vector<uint32_t>> encode(const QString& text, const FontCodes& codes)
{
    std::vector<uint32_t> out;
    for (qsizetype i = 0; i < text.size();) {
        if (editrules::isWhitespace(text.at(i).unicode())) {
            if (!codes.space)
                return std::nullopt;
            out.push_back(*codes.space);
            ++i;
            continue;
        }
        // A character of its own first; a ligature's reading only for what single characters cannot draw.
        const qsizetype single = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (const auto it = codes.codeOf.constFind(text.mid(i, single)); it != codes.codeOf.constEnd()) {
            out.push_back(*it);
            i += single;
            continue;
        }
        bool found = false;
        for (qsizetype n = std::min(kLongestReading, text.size() - i); n > single && !found; --n)
            if (const auto it = codes.codeOf.constFind(text.mid(i, n)); it != codes.codeOf.constEnd()) {
                out.push_back(*it);
                i += n;
                found = true;
            }
        if (!found)
            return std::nullopt;
    }
    return out;
}

namespace {

qreal advanceOf(const std::vector<uint32_t>& encoded, const FontCodes& codes)
{
    qreal width = 0;
    for (uint32_t code : encoded)
        width += codes.advance.value(code);
    return width;
}

// A glyph's reading as the codes that drew it: the longest readings first, else character by character.
std::optional<std::vector<uint32_t>> encodeGlyph(const QString& glyph, const FontCodes& codes)
{
    std::vector<uint32_t> out;
    for (qsizetype i = 0; i < glyph.size();) {
        bool found = false;
        for (qsizetype n = std::min(kLongestReading, glyph.size() - i); n > 1 && !found; --n)
            if (const auto it = codes.codeOf.constFind(glyph.mid(i, n)); it != codes.codeOf.constEnd()) {
                out.push_back(*it);
                i += n;
                found = true;
            }
        if (found)
            continue;
        const qsizetype single = glyph.at(i).isHighSurrogate() && i + 1 < glyph.size() ? 2 : 1;
        const auto rest = encode(glyph.mid(i, single), codes);
        if (!rest)
            return std::nullopt;
        out.insert(out.end(), rest->begin(), rest->end());
        i += single;
    }
    return out;
}

} // namespace

std::optional<qreal> measure(const QString& text, const FontCodes& codes)
{
    const auto encoded = encode(text, codes);
    return encoded ? std::optional<qreal>(advanceOf(*encoded, codes)) : std::nullopt;
}

std::optional<std::vector<uint32_t>> encodeGlyphs(const QStringList& glyphs, const FontCodes& codes)
{
    std::vector<uint32_t> out;
    for (const QString& glyph : glyphs) {
        const auto encoded = glyph.size() > 1 ? encodeGlyph(glyph, codes) : encode(glyph, codes);
        if (!encoded)
            return std::nullopt;
        out.insert(out.end(), encoded->begin(), encoded->end());
    }
    return out;
}

std::optional<qreal> measureGlyphs(const QStringList& glyphs, const FontCodes& codes)
{
    const auto encoded = encodeGlyphs(glyphs, codes);
    return encoded ? std::optional<qreal>(advanceOf(*encoded, codes)) : std::nullopt;
}

std::optional<CodeLayout> layOut(const QString& text, const FontCodes& codes, const EditableTextBlock& block,
                                 qreal rightLimit)
{
    const qreal size = block.fontSize;
    const qreal gap = (codes.space ? codes.advance.value(*codes.space) : kPositionedSpace) * size;
    struct Word {
        QString text;
        qreal width;
    };
    QList<QList<Word>> paragraphs;
    qreal natural = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QList<Word> words;
        qreal total = 0;
        for (const QString& w : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const auto width = measure(w, codes);
            if (!width)
                return std::nullopt;
            total += (words.isEmpty() ? 0 : gap) + *width * size;
            words.append({w, *width * size});
        }
        natural = std::max(natural, total);
        paragraphs.append(words);
    }
    const qreal frame = textlayout::frameWidth(block, natural, rightLimit);

    CodeLayout layout;
    std::optional<QRectF> bounds;
    auto place = [&](const QList<Word>& line) {
        const int index = layout.lineCount++;
        qreal width = 0;
        for (qsizetype i = 0; i < line.size(); ++i)
            width += (i > 0 ? gap : 0) + line[i].width;
        qreal x = block.bounds.left();
        if (block.alignment == EditableTextBlock::Alignment::center)
            x = block.bounds.center().x() - width / 2;
        else if (block.alignment == EditableTextBlock::Alignment::right)
            x = block.bounds.right() - width;
        const qreal y = block.firstBaseline - block.lineHeight * qreal(index);
        bounds = bounds ? bounds->united(QRectF(x, y - 0.25 * size, std::max(width, 0.01), 1.2 * size))
                        : QRectF(x, y - 0.25 * size, std::max(width, 0.01), 1.2 * size);
        if (line.isEmpty())
            return;
        if (codes.space) {
            QStringList texts;
            for (const Word& w : line)
                texts.append(w.text);
            layout.pieces.append({texts.join(QLatin1Char(' ')), QPointF(x, y), width});
            return;
        }
        for (const Word& w : line) {
            layout.pieces.append({w.text, QPointF(x, y), w.width});
            x += w.width + gap;
        }
    };
    for (const QList<Word>& words : std::as_const(paragraphs)) {
        QList<Word> line;
        qreal used = 0;
        for (const Word& w : words) {
            const qreal needed = line.isEmpty() ? w.width : used + gap + w.width;
            if (!line.isEmpty() && needed > frame) {
                place(line);
                line.clear();
                used = 0;
            }
            used = line.isEmpty() ? w.width : used + gap + w.width;
            line.append(w);
        }
        place(line);
    }
    if (bounds)
        layout.bounds = *bounds;
    return layout;
}

} // namespace vmk::core::fontcodes
