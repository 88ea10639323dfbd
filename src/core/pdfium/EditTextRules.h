#pragma once

// Small string and geometry rules of the edit engine, free of PDFium so that tests drive them directly.

#include "core/pdfium/PDFiumAPI.h"

#include <QString>

#include <set>

namespace vmk::core::editrules {

// Whitespace is a tab or a space separator (category Zs); newlines are U+000A to U+000D, U+0085, U+2028
// and U+2029. Trimming "whitespace" alone leaves newlines in place.
bool isWhitespace(char32_t c);
bool isNewline(char32_t c);
QString trimmedWhitespace(const QString& s);
QString trimmedWhitespaceAndNewlines(const QString& s);
QString removingWhitespace(const QString& s); // drops whitespace and newlines everywhere
std::set<char32_t> unicodeScalarSet(const QString& s);
// Whether text read back from a written line matches the line: the same words in the same order, however
// much whitespace stands between them. A space that read back as nothing was a glyph the font lacks (a
// subset made without a space draws a box there), so words that run together do not match.
bool sameWords(const QString& readBack, const QString& expected);

// A subset tag (six upper-case letters and "+") removed from the front of a font name.
QString stripSubsetPrefix(const QString& name);
// Whether any scalar lies in the Hebrew/Arabic/Syriac/Thaana/NKo blocks or their presentation forms.
bool containsRightToLeft(const QString& s);
// Whether text drawn with this matrix runs left to right, upright and unmirrored (small skews allowed).
bool isUpright(const FS_MATRIX& m);
// Whether every character has a Windows-1252 code.
bool fitsWindows1252(const QString& s);

// Whether a page with no editable text is mostly one picture.
bool looksScanned(bool anyEditableBlock, float pageWidth, float pageHeight, float largestImageArea);

// The bold and italic choice made before matching a system font to a PDF font.
bool wantsBold(const QString& fontName, int fontWeight);
bool wantsItalic(const QString& fontName, int fontFlags);

} // namespace vmk::core::editrules
