#pragma once

// A PDF font's own character codes for the text it draws, and the words of retyped text placed by those
// codes' widths. Text set through the engine's Unicode call is encoded by the engine's guess at the font's
// encoding, which for subsets with their own encodings (TeX's Differences, a TrueType subset's custom codes)
// names glyphs the font does not have; setting codes the font itself reads back as the text draws what the
// page already draws. Free of PDFium: the session finds the codes, these rules use them.

#include "core/pdfium/EditModel.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace vmk::core::fontcodes {

struct FontCodes {
    QHash<QString, uint32_t> codeOf;  // the text a code reads back as (one or more characters) -> the code
    QHash<uint32_t, qreal> advance;   // each code's advance in ems (text space units per unit of font size)
    std::optional<uint32_t> space;    // a code that reads back as a space and moves the next glyph along

    bool isEmpty() const { return codeOf.isEmpty(); }
};

// The codes for the text, longest readings first (a ligature only where its letters have no codes of their
// own); none when a character has no code. Whitespace is encoded with the space code, or refused without one.
std::optional<std::vector<uint32_t>> encode(const QString& text, const FontCodes& codes);
// The advance of the text in ems; none when it cannot be encoded.
std::optional<qreal> measure(const QString& text, const FontCodes& codes);
// The codes for text written again as the page drew it, one reading per drawn glyph: a glyph that read as
// several characters (a ligature) takes the longest readings first, so it is drawn by the one code it was.
std::optional<std::vector<uint32_t>> encodeGlyphs(const QStringList& glyphs, const FontCodes& codes);
std::optional<qreal> measureGlyphs(const QStringList& glyphs, const FontCodes& codes);

// One word (or a line, when the font has a usable space) to be written at a place.
struct PlacedText {
    QString text;
    QPointF origin; // the baseline start, page space
    qreal width = 0;
};

struct CodeLayout {
    QList<PlacedText> pieces; // one a word, or one a line when the font has a space
    int lineCount = 0;
    QRectF bounds; // the frame lines from ascender to descender; null when nothing is placed
};

// Lays the text out in the block's place with the font's own widths: hard line breaks kept, words wrapped
// within the frame (textlayout::frameWidth), the block's alignment, first baseline and line step. Words are
// set apart by the space code's advance, or by a third of an em where the font has none (each word is then
// a piece of its own). None when a word cannot be encoded.
std::optional<CodeLayout> layOut(const QString& text, const FontCodes& codes, const EditableTextBlock& block,
                                 qreal rightLimit);

} // namespace vmk::core::fontcodes
