// Retyping in the page's own fonts: reading a font's codes back through the engine, and rewriting only the
// line an edit touched.

#include "core/pdfium/PDFEditSession.h"

#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/LineEdit.h"

#include <algorithm>
#include <numeric>
#include <cmath>

namespace vmk::core {

namespace {

constexpr float kProbeSize = 8.0f;
constexpr uint32_t kProbeChunk = 256;
// Two-byte fonts number their glyphs freely; codes past this are not looked for.
constexpr uint32_t kLastProbedCode = 0x1000;

struct Probe {
    QString text;
    qreal advance = 0;
    bool hasGlyph = false;
};

} // namespace

std::set<char32_t> PDFEditSession::scalarsDrawnOnPage(FPDF_FONT font, FPDF_PAGE page)
{
    std::set<char32_t> drawn;
    FPDF_TEXTPAGE textPage = m_api->FPDFText_LoadPage(page);
    if (!textPage)
        return drawn;
    const int count = m_api->FPDFPage_CountObjects(page);
    for (int i = 0; i < count; ++i) {
        FPDF_PAGEOBJECT object = m_api->FPDFPage_GetObject(page, i);
        if (object && m_api->FPDFPageObj_GetType(object) == kPDFiumObjectText
            && m_api->FPDFTextObj_GetFont(object) == font)
            for (char32_t c : text(object, textPage).toStdU32String())
                drawn.insert(c);
    }
    m_api->FPDFText_ClosePage(textPage);
    return drawn;
}

fontcodes::FontCodes PDFEditSession::fontCodes(FPDF_FONT font, FPDF_PAGE page, const std::set<char32_t>& wanted,
                                               bool embedded)
{
    // Each code is set twice in an object of its own, the objects put on the page and read back as the
    // engine reads any text: what each code reads as, and how far it moves the next glyph.
    QHash<uint32_t, Probe> probes;
    auto probeRange = [&](uint32_t first, uint32_t last) {
        QList<std::pair<FPDF_PAGEOBJECT, uint32_t>> made;
        for (uint32_t code = first; code <= last; ++code) {
            FPDF_PAGEOBJECT object = m_api->FPDFPageObj_CreateTextObj(m_document, font, kProbeSize);
            const uint32_t twice[2] = {code, code};
            if (!object)
                continue;
            if (!m_api->FPDFText_SetCharcodes(object, twice, 2)) {
                m_api->FPDFPageObj_Destroy(object);
                continue;
            }
            const uint32_t i = code - first;
            m_api->FPDFPageObj_Transform(object, 1, 0, 0, 1, 10 + (i % 16) * 32, 10 + (i / 16) * 24 - kReadAside);
            m_api->FPDFPage_InsertObject(page, object);
            made.append({object, code});
        }
        FPDF_TEXTPAGE textPage = m_api->FPDFText_LoadPage(page);
        QHash<FPDF_PAGEOBJECT, QList<int>> charsOf;
        if (textPage) {
            const int count = m_api->FPDFText_CountChars(textPage);
            for (int i = 0; i < count; ++i)
                if (!m_api->FPDFText_IsGenerated(textPage, i) && !m_api->FPDFText_HasUnicodeMapError(textPage, i))
                    charsOf[m_api->FPDFText_GetTextObject(textPage, i)].append(i);
        }
        for (const auto& [object, code] : made) {
            const QList<int> chars = charsOf.value(object);
            if (textPage && !chars.isEmpty() && chars.size() % 2 == 0) {
                const qsizetype half = chars.size() / 2;
                QString first, second;
                for (qsizetype k = 0; k < chars.size(); ++k) {
                    const char32_t c = m_api->FPDFText_GetUnicode(textPage, chars[k]);
                    (k < half ? first : second) += QString::fromUcs4(&c, 1);
                }
                double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
                if (first == second && !first.isEmpty() && !first.contains(QChar(0xFFFD))
                    && m_api->FPDFText_GetCharOrigin(textPage, chars[0], &x0, &y0)
                    && m_api->FPDFText_GetCharOrigin(textPage, chars[half], &x1, &y1)) {
                    float left = 0, bottom = 0, right = 0, top = 0;
                    m_api->FPDFPageObj_GetBounds(object, &left, &bottom, &right, &top);
                    probes.insert(code, Probe{first, (x1 - x0) / kProbeSize, top - bottom > 0.01f});
                }
            }
            m_api->FPDFPage_RemoveObject(page, object);
            m_api->FPDFPageObj_Destroy(object);
        }
        if (textPage)
            m_api->FPDFText_ClosePage(textPage);
    };

    // An embedded font draws for certain only what the page shows it drawing (a subset's encoding may name
    // glyphs it left out); a font the reader supplies draws all its encoding names.
    const std::set<char32_t> drawn = embedded ? scalarsDrawnOnPage(font, page) : std::set<char32_t>{};
    auto drawable = [&](const QString& text) {
        if (!embedded)
            return true;
        for (char32_t c : text.toStdU32String())
            if (!drawn.contains(c))
                return false;
        return true;
    };
    fontcodes::FontCodes codes;
    auto collect = [&] {
        codes = {};
        for (auto it = probes.cbegin(); it != probes.cend(); ++it) {
            const Probe& p = it.value();
            if (p.text == QLatin1String(" ")) {
                if (p.advance > 0.1 && (!codes.space || it.key() < *codes.space))
                    codes.space = it.key();
                codes.advance.insert(it.key(), p.advance);
                continue;
            }
            if (p.text.trimmed().isEmpty() || !drawable(p.text))
                continue;
            const auto known = codes.codeOf.constFind(p.text);
            // Several codes may read the same: one that draws a glyph, the lowest of those.
            const bool better = known == codes.codeOf.constEnd()
                || (p.hasGlyph && !probes.value(*known).hasGlyph)
                || (p.hasGlyph == probes.value(*known).hasGlyph && it.key() < *known);
            if (better)
                codes.codeOf.insert(p.text, it.key());
            codes.advance.insert(it.key(), p.advance);
        }
    };
    auto covers = [&] {
        for (char32_t c : wanted)
            if (!codes.codeOf.contains(QString::fromUcs4(&c, 1)))
                return false;
        return true;
    };
    probeRange(1, kProbeChunk - 1);
    collect();
    if (covers())
        return codes;
    // A one-byte font reads code 256 + n as n: it has nothing more to find.
    probeRange(kProbeChunk, 2 * kProbeChunk - 1);
    bool twoBytes = false;
    for (uint32_t code = kProbeChunk; code < 2 * kProbeChunk && !twoBytes; ++code)
        if (probes.contains(code) && probes.value(code).text != probes.value(code - kProbeChunk).text)
            twoBytes = true;
    for (uint32_t first = 2 * kProbeChunk; twoBytes && first < kLastProbedCode; first += kProbeChunk) {
        collect();
        if (covers())
            break;
        probeRange(first, first + kProbeChunk - 1);
    }
    if (!twoBytes)
        for (uint32_t code = kProbeChunk; code < 2 * kProbeChunk; ++code)
            probes.remove(code);
    collect();
    return codes;
}

std::optional<FPDF_PAGEOBJECT> PDFEditSession::codedObject(const CodedStyle& style, const QString& text,
                                                           const fontcodes::FontCodes& codes, QPointF origin,
                                                           const QStringList& glyphs, qreal spacing)
{
    const auto encoded = glyphs.isEmpty() ? fontcodes::encode(text, codes) : fontcodes::encodeGlyphs(glyphs, codes);
    if (!encoded || encoded->empty())
        return std::nullopt;
    FPDF_PAGEOBJECT object = m_api->FPDFPageObj_CreateTextObj(m_document, style.font, style.fontSize);
    if (!object)
        return std::nullopt;
    bool set = m_api->FPDFText_SetCharcodes(object, encoded->data(), encoded->size());
    // Character spacing cannot be set on an object, so each glyph after the first is placed where the
    // spacing puts it (the engine writes the places as adjustments between the glyphs).
    if (set && spacing != 0 && encoded->size() > 1) {
        std::vector<float> positions;
        qreal x = 0;
        for (size_t i = 0; i + 1 < encoded->size(); ++i) {
            x += (codes.advance.value((*encoded)[i]) + spacing) * style.fontSize;
            positions.push_back(float(x));
        }
        set = m_api->FPDFText_SetPositions(object, positions.data(), positions.size());
    }
    if (!set) {
        m_api->FPDFPageObj_Destroy(object);
        return std::nullopt;
    }
    const FS_MATRIX m{style.matrix.a, style.matrix.b, style.matrix.c, style.matrix.d, float(origin.x()),
                      float(origin.y())};
    m_api->FPDFPageObj_SetMatrix(object, &m);
    m_api->FPDFPageObj_SetFillColor(object, style.fill[0], style.fill[1], style.fill[2], style.fill[3]);
    return object;
}

PDFEditSession::CodedStyle PDFEditSession::styleOf(FPDF_PAGEOBJECT object) const
{
    CodedStyle style;
    style.font = m_api->FPDFTextObj_GetFont(object);
    m_api->FPDFTextObj_GetFontSize(object, &style.fontSize);
    m_api->FPDFPageObj_GetMatrix(object, &style.matrix);
    m_api->FPDFPageObj_GetFillColor(object, &style.fill[0], &style.fill[1], &style.fill[2], &style.fill[3]);
    return style;
}

std::optional<TextEditResult> PDFEditSession::retypeLine(const EditableTextBlock& block, const QString& newText,
                                                         int pageIndex, FPDF_PAGE pg)
{
    // The one line holding every change: the texts agree before and after it.
    const QString& old = block.text;
    qsizetype head = 0;
    while (head < old.size() && head < newText.size() && old[head] == newText[head])
        ++head;
    qsizetype tail = 0;
    while (tail < old.size() - head && tail < newText.size() - head
           && old[old.size() - 1 - tail] == newText[newText.size() - 1 - tail])
        ++tail;
    const EditBlockLine* line = nullptr;
    for (const EditBlockLine& l : block.lines)
        if (head >= l.start && old.size() - tail <= l.start + l.length)
            line = &l;
    if (!line)
        return std::nullopt;
    const qsizetype newLength = line->length + (newText.size() - old.size());
    const QString newLine = newText.mid(line->start, newLength);
    if (newLength < 0 || newLine.contains(QLatin1Char('\n')))
        return std::nullopt;

    // The line's characters as the engine reads them, left to right, object by object.
    QList<FPDF_PAGEOBJECT> objects = line->objects;
    if (!paintKept(objects, pageIndex))
        return std::nullopt; // outlines, clipping, patterns: not written again by code
    QHash<FPDF_PAGEOBJECT, QRectF> bounds;
    for (FPDF_PAGEOBJECT object : objects) {
        float l = 0, b = 0, r = 0, t = 0;
        m_api->FPDFPageObj_GetBounds(object, &l, &b, &r, &t);
        bounds.insert(object, QRectF(l, b, r - l, t - b));
    }
    std::stable_sort(objects.begin(), objects.end(), [&](FPDF_PAGEOBJECT a, FPDF_PAGEOBJECT b) {
        return bounds.value(a).left() < bounds.value(b).left();
    });
    FPDF_TEXTPAGE textPage = m_api->FPDFText_LoadPage(pg);
    if (!textPage)
        return std::nullopt;
    QHash<FPDF_PAGEOBJECT, QList<lineedit::LineChar>> charsOf;
    QSet<std::pair<FPDF_PAGEOBJECT, int>> drawnSpaces; // the spaces the object draws (its word spacing moves them)
    const int count = m_api->FPDFText_CountChars(textPage);
    for (int i = 0; i < count; ++i) {
        FPDF_PAGEOBJECT object = m_api->FPDFText_GetTextObject(textPage, i);
        const qsizetype source = objects.indexOf(object);
        if (source < 0)
            continue;
        char32_t c = m_api->FPDFText_GetUnicode(textPage, i);
        if (c == 0x0002)
            c = U'-';
        double x = 0, y = 0;
        m_api->FPDFText_GetCharOrigin(textPage, i, &x, &y);
        QString t = editrules::isWhitespace(c) || editrules::isNewline(c) ? QStringLiteral(" ")
                                                                          : QString::fromUcs4(&c, 1);
        if (t == QLatin1String(" ") && !m_api->FPDFText_IsGenerated(textPage, i))
            drawnSpaces.insert({object, int(charsOf[object].size())});
        charsOf[object].append(lineedit::LineChar{t, x, int(source)});
    }
    m_api->FPDFText_ClosePage(textPage);
    QList<lineedit::LineChar> chars;
    for (qsizetype s = 0; s < objects.size(); ++s) {
        const QRectF r = bounds.value(objects[s]);
        if (s > 0 && r.left() - bounds.value(objects[s - 1]).right() > 0.18 * block.fontSize)
            chars.append(lineedit::LineChar{QStringLiteral(" "), r.left(), int(s)});
        chars.append(charsOf.value(objects[s]));
    }

    // Each source's style and codes; a font's codes are read once.
    QList<CodedStyle> styles;
    for (FPDF_PAGEOBJECT object : objects)
        styles.append(styleOf(object));
    QHash<FPDF_FONT, fontcodes::FontCodes> codes;
    const std::set<char32_t> wanted = editrules::unicodeScalarSet(editrules::removingWhitespace(newLine));
    auto codesOf = [&](int source) -> const fontcodes::FontCodes& {
        FPDF_FONT font = styles[source].font;
        if (!codes.contains(font))
            codes.insert(font, fontCodes(font, pg, wanted, m_api->FPDFFont_GetIsEmbedded(font) == 1));
        return codes[font];
    };
    auto scale = [&](int source) { return std::hypot(styles[source].matrix.a, styles[source].matrix.b) * styles[source].fontSize; };
    auto fontWidth = [&](int source, const QString& text) -> std::optional<qreal> {
        const auto ems = fontcodes::measure(text, codesOf(source));
        return ems ? std::optional<qreal>(*ems * scale(source)) : std::nullopt;
    };
    // Some producers place every glyph of a font on its own, by the glyph's true advance, with widths in the
    // font dictionary that say otherwise (all the default em): text written as a string would spread. For such
    // a font the line's own spacing of each letter is learnt, and its letters are written one by one.
    // Most neighbours must disagree: a ligature read as two letters, a kern, a letter spacing disagree alone.
    QHash<FPDF_FONT, QHash<QString, qreal>> drawnAdvance;
    QHash<FPDF_FONT, std::pair<int, int>> disagreeing; // of the neighbours measured
    for (qsizetype i = 0; i + 1 < chars.size(); ++i) {
        const lineedit::LineChar& a = chars[i];
        const lineedit::LineChar& b = chars[i + 1];
        FPDF_FONT font = styles[a.source].font;
        if (a.text == QLatin1String(" ") || b.text == QLatin1String(" ") || font != styles[b.source].font
            || std::fabs(scale(a.source) - scale(b.source)) > 0.01)
            continue;
        const auto widthByFont = fontWidth(a.source, a.text);
        if (!widthByFont)
            continue;
        if (std::fabs(b.x - a.x) < 0.01 * scale(a.source))
            continue; // the second letter of a ligature
        drawnAdvance[font].insert(a.text, b.x - a.x);
        auto& [differ, measured] = disagreeing[font];
        differ += std::fabs(b.x - a.x - *widthByFont) > 0.25 * scale(a.source);
        ++measured;
    }
    QSet<FPDF_FONT> placedByGlyph;
    for (auto it = disagreeing.cbegin(); it != disagreeing.cend(); ++it)
        if (it->second >= 3 && 2 * it->first > it->second)
            placedByGlyph.insert(it.key());
    auto byGlyph = [&](int source) { return placedByGlyph.contains(styles[source].font); };
    // An object set with character spacing moves every glyph by the same amount past its advance; the new
    // text is set the same way, or it would run into the word after it.
    QHash<int, qreal> spacing; // page units, by source
    {
        QHash<int, QList<qreal>> past;
        for (qsizetype i = 0; i + 1 < chars.size(); ++i) {
            const lineedit::LineChar& a = chars[i];
            const lineedit::LineChar& b = chars[i + 1];
            if (a.source != b.source || a.text == QLatin1String(" ") || b.text == QLatin1String(" ")
                || byGlyph(a.source) || b.x - a.x < 0.01 * scale(a.source))
                continue;
            if (const auto width = fontWidth(a.source, a.text))
                past[a.source].append(b.x - a.x - *width);
        }
        for (auto it = past.begin(); it != past.end(); ++it)
            if (const auto s = lineedit::characterSpacing(it.value(), 0.01 * scale(it.key())))
                spacing.insert(it.key(), *s);
    }
    // The engine writes an object's content again with its glyphs, codes and kerning but without the
    // character and word spacing it was set with: an object so set that shares its content with the edit
    // is written again here, each glyph where it stood, or the rest of the line would move.
    QSet<int> setBySpacing(spacing.keyBegin(), spacing.keyEnd());
    for (const auto& [object, at] : drawnSpaces) {
        const QList<lineedit::LineChar>& own = charsOf[object];
        const int source = int(objects.indexOf(object));
        float ems = 0;
        if (at + 1 < own.size() && m_api->FPDFFont_GetGlyphWidth(styles[source].font, U' ', 1.0f, &ems)
            && std::fabs(own[at + 1].x - own[at].x - ems * scale(source) - spacing.value(source)) > 0.01 * scale(source))
            setBySpacing.insert(source);
    }
    auto glyphCount = [&](int source, const QString& text) {
        const auto encoded = fontcodes::encode(text, codesOf(source));
        return encoded ? qreal(encoded->size()) : qreal(text.size());
    };
    lineedit::LineMetrics metrics;
    metrics.width = [&](int source, const QString& text) -> std::optional<qreal> {
        if (!byGlyph(source)) {
            const auto width = fontWidth(source, text);
            return width ? std::optional<qreal>(*width + spacing.value(source) * glyphCount(source, text)) : std::nullopt;
        }
        const QHash<QString, qreal>& advance = drawnAdvance[styles[source].font];
        qreal width = 0;
        for (QChar c : text) {
            if (!advance.contains(QString(c)))
                return std::nullopt;
            width += advance.value(QString(c));
        }
        return width;
    };
    // Text written again as drawn is measured glyph by glyph, a ligature as the one glyph it was.
    metrics.glyphsWidth = [&](int source, const QStringList& glyphs) -> std::optional<qreal> {
        if (byGlyph(source))
            return metrics.width(source, glyphs.join(QString()));
        const auto ems = fontcodes::measureGlyphs(glyphs, codesOf(source));
        return ems ? std::optional<qreal>(*ems * scale(source) + spacing.value(source) * glyphs.size()) : std::nullopt;
    };
    metrics.space = [&](int source) {
        const auto& c = codesOf(source);
        return (c.space ? c.advance.value(*c.space) : 0.333) * scale(source);
    };
    metrics.sourceRight = [&](int source) { return bounds.value(objects[source]).right(); };
    metrics.writtenWithTheLine = [&](int source) { return setBySpacing.contains(source); };
    // A paragraph's line stays within the paragraph; a line of its own may reach the margin.
    metrics.rightLimit = block.lineCount == 1 ? qreal(m_api->FPDF_GetPageWidthF(pg)) - 18
                                              : block.bounds.right() + std::max(1.0, 0.01 * block.bounds.width());
    // Where each object stands in the content, and whether the page draws a picture or a form (see below).
    QHash<FPDF_PAGEOBJECT, int> drawnAt;
    bool picture = false;
    for (int i = 0, n = m_api->FPDFPage_CountObjects(pg); i < n; ++i) {
        FPDF_PAGEOBJECT object = m_api->FPDFPage_GetObject(pg, i);
        const int type = m_api->FPDFPageObj_GetType(object);
        picture = picture || (type != kPDFiumObjectText && type != kPDFiumObjectPath);
        drawnAt.insert(object, i);
    }
    metrics.wholeWords = picture;
    const auto plan = lineedit::planLineEdit(chars, old.mid(line->start, line->length), newLine, metrics);
    if (!plan)
        return std::nullopt;

    QList<FPDF_PAGEOBJECT> made;
    QList<LaidOutLine> expected;
    QRectF written;
    QList<qreal> madeX;
    QList<int> madeSource;
    for (const lineedit::LinePiece& piece : plan->pieces) {
        // A piece in a font placed glyph by glyph is written a letter an object.
        QList<std::pair<QString, qreal>> parts{{piece.text, piece.x}};
        if (byGlyph(piece.source)) {
            parts.clear();
            qreal x = piece.x;
            for (QChar c : piece.text) {
                parts.append({QString(c), x});
                x += metrics.width(piece.source, QString(c)).value_or(0);
            }
        }
        const QStringList glyphs = byGlyph(piece.source) ? QStringList() : piece.glyphs;
        for (const auto& [partText, x] : parts) {
            const auto object = codedObject(styles[piece.source], partText, codesOf(piece.source),
                                            QPointF(x, line->baseline), glyphs,
                                            spacing.value(piece.source) / scale(piece.source));
            if (!object) {
                for (FPDF_PAGEOBJECT o : made)
                    m_api->FPDFPageObj_Destroy(o);
                return std::nullopt;
            }
            made.append(*object);
            madeX.append(x);
            madeSource.append(piece.source);
            expected.append(LaidOutLine{partText, QPointF(x, line->baseline), 0});
        }
        const qreal size = scale(piece.source);
        const auto width = piece.glyphs.isEmpty() ? metrics.width(piece.source, piece.text)
                                                  : metrics.glyphsWidth(piece.source, piece.glyphs);
        written = written.united(QRectF(piece.x, line->baseline - 0.3 * size, width.value_or(0), 1.3 * size));
    }
    if (!insertAndVerify(made, expected, pg)) {
        for (FPDF_PAGEOBJECT o : made)
            m_api->FPDFPageObj_Destroy(o);
        return std::nullopt;
    }
    // Each object's pieces take its place in the content, left to right, so that the line is drawn in the
    // order it was and reads in order to every reader that follows the content's order (ours included; an
    // accent drawn before its letter is read with it only when they stay in that order). They go in while
    // that object is still there: the engine writes an object put in at an index into the content stream of
    // the object it is put before, and that stream is written again anyway. Put before the object after it,
    // they would make the engine write that object's stream again too, from what it keeps of it, which drops
    // the word spacing a line was justified with. Pieces of an object that stays (an inserted word) go where
    // the first object replaced was.
    // On a page that draws a picture or a form, though, the engine may take the transformation in force
    // after one drawn later for the one in force where the object was, and write the pieces off the page (a
    // picture under a transformation the content leaves in force): they go after everything else there,
    // where it knows the transformation, in the same order, each word whole (see LineMetrics::wholeWords).
    FPDF_PAGEOBJECT first = nullptr;
    for (int source : plan->removed)
        if (!first || drawnAt.value(objects[source]) < drawnAt.value(first))
            first = objects[source];
    auto anchorOf = [&](int i) { return plan->removed.contains(madeSource[i]) ? objects[madeSource[i]] : first; };
    QList<int> order(made.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int da = drawnAt.value(anchorOf(a), -1), db = drawnAt.value(anchorOf(b), -1);
        return da != db ? da < db : madeX[a] < madeX[b];
    });
    for (int i : order) {
        int at = -1;
        for (int k = 0, n = m_api->FPDFPage_CountObjects(pg); k < n && !picture && anchorOf(i) && at < 0; ++k)
            if (m_api->FPDFPage_GetObject(pg, k) == anchorOf(i))
                at = k;
        if (at < 0 || !m_api->FPDFPage_InsertObjectAtIndex(pg, made[i], size_t(at)))
            m_api->FPDFPage_InsertObject(pg, made[i]);
    }
    for (int source : plan->removed)
        if (m_api->FPDFPage_RemoveObject(pg, objects[source]))
            m_api->FPDFPageObj_Destroy(objects[source]);
    TextEditResult result;
    result.reusedOriginalFont = true;
    result.lineCount = block.lineCount;
    result.newBounds = written;
    return result;
}

std::optional<std::pair<QList<FPDF_PAGEOBJECT>, fontcodes::CodeLayout>>
PDFEditSession::ownFontObjects(const EditableTextBlock& block, const QString& text, FPDF_PAGE pg)
{
    if (!block.font)
        return std::nullopt;
    const auto model = std::find_if(block.objects.begin(), block.objects.end(), [&](FPDF_PAGEOBJECT o) {
        return m_api->FPDFTextObj_GetFont(o) == block.font && m_api->FPDFTextObj_GetTextRenderMode(o) == 0;
    });
    if (model == block.objects.end())
        return std::nullopt;
    const CodedStyle style = styleOf(*model);
    const fontcodes::FontCodes codes =
        fontCodes(block.font, pg, editrules::unicodeScalarSet(editrules::removingWhitespace(text)),
                  block.isEmbeddedFont);
    const auto layout = fontcodes::layOut(text, codes, block, qreal(m_api->FPDF_GetPageWidthF(pg)) - 18);
    if (!layout)
        return std::nullopt;
    QList<FPDF_PAGEOBJECT> made;
    QList<LaidOutLine> expected;
    for (const fontcodes::PlacedText& piece : layout->pieces) {
        const auto object = codedObject(style, piece.text, codes, piece.origin);
        if (!object) {
            for (FPDF_PAGEOBJECT o : made)
                m_api->FPDFPageObj_Destroy(o);
            return std::nullopt;
        }
        made.append(*object);
        expected.append(LaidOutLine{piece.text, piece.origin, piece.width});
    }
    if (!insertAndVerify(made, expected, pg)) {
        for (FPDF_PAGEOBJECT o : made)
            m_api->FPDFPageObj_Destroy(o);
        return std::nullopt;
    }
    return std::pair{made, *layout};
}

} // namespace vmk::core
