#pragma once

// Retypes one line of a block in place: the words the user changed are written where the old ones stood,
// the words after them move by the difference in width (nothing, for a word of the same letters), and only
// the text objects holding changed or moved words are rewritten; every other object of the page, the block's
// other lines included, stays as it was. Free of PDFium: the session reads the line's characters and writes
// the pieces.

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vmk::core::lineedit {

// One character of the line as the page draws it, left to right; a word space (drawn or only a gap) is " ".
struct LineChar {
    QString text;
    qreal x = 0;    // its origin, page space
    int source = 0; // the text object drawing it (an index the caller gives meaning to)
};

// Text to write at a place in the font, size and matrix of a source object.
struct LinePiece {
    QString text;
    qreal x = 0;
    int source = 0;
    QStringList glyphs; // for text written again as it was drawn: each glyph's reading (a ligature's is several)
};

struct LinePlan {
    QList<LinePiece> pieces;
    QSet<int> removed; // the sources whose objects the pieces replace
};

struct LineMetrics {
    // The advance of text in a source's font and size (page units); none when the font cannot draw it.
    std::function<std::optional<qreal>(int source, const QString& text)> width;
    // The same for text as drawn, glyph by glyph (a ligature measured as the one glyph it was); when unset,
    // the glyphs' text is measured as typed text.
    std::function<std::optional<qreal>(int source, const QStringList& glyphs)> glyphsWidth;
    // A word space in a source's font where the line shows none between two measurable words.
    std::function<qreal(int source)> space;
    // How far right a line may reach (or as far as it reached before), and where each source left untouched
    // ends.
    qreal rightLimit = 0;
    std::function<qreal(int source)> sourceRight;
    // Sources written again whenever the line is, though nothing in them changes or moves (the engine would
    // not keep how they are set), where their glyphs can be measured; none when unset.
    std::function<bool(int source)> writtenWithTheLine;
    // A word drawn by several sources is written whole or not at all: the pieces go to the end of the
    // content, and a part left where it was (an accent before its letter) would no longer be drawn next to
    // the rest.
    bool wholeWords = false;
};

// The character spacing a text object was set with, from how far each of its glyphs stood past the one before
// it beyond that glyph's advance: none when the distances do not mostly agree on one amount further from
// nothing than the tolerance (kerning, rounding).
std::optional<qreal> characterSpacing(const QList<qreal>& pastAdvance, qreal tolerance);

// The plan for turning the line's text (as the block's text gives it) into the new one; none when the
// characters do not read as that text, nothing but spacing changed, a word cannot be drawn, or the line would
// run past the limit.
std::optional<LinePlan> planLineEdit(const QList<LineChar>& chars, const QString& oldLine, const QString& newLine,
                                     const LineMetrics& metrics);

} // namespace vmk::core::lineedit
