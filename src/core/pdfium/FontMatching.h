#pragma once

// Picks the installed font that best stands in for a PDF font, and rebuilds a font's file from its sfnt
// tables so that it can be embedded.

#include "platform/fonts/Font.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace vmk::core::fontmatching {

// The installed-font look-ups matching makes, in the order it makes them; replaceable for tests.
struct FontLookup {
    std::function<platform::Font(const QString& name, qreal size)> named;
    std::function<platform::Font(const QString& family, bool bold, bool italic, qreal size)> family;
    // A configured stand-in for a family that is not installed (last resort before the system font).
    std::function<platform::Font(const QString& family, bool bold, bool italic, qreal size)> substitute;
    std::function<platform::Font(qreal size)> system;
    static FontLookup installed();
};

// The PDF font name as a platform name: subset tag removed, "," turned into "-" (Arial,Bold -> Arial-Bold).
QString platformName(const QString& pdfFontName);
// The family part of a platform name: before the first "-", without "MT" and "PS" (ArialMT -> Arial).
QString familyPart(const QString& name);
// A space between a lower-case and an upper-case letter (TimesNewRoman -> Times New Roman).
QString spacedFamily(const QString& family);
// "Menlo" (fixed pitch), "Times New Roman" (serif) or "Helvetica", from the flags and words in the name.
QString fallbackFamily(const QString& name, int32_t flags);

// The installed font for a PDF font that can be embedded (TrueType outlines), of the same kind, weight and
// slant as the best match; the best match itself only when no TrueType face of its kind is installed.
platform::Font matchSystemFont(const QString& pdfFontName, qreal size, bool bold, bool italic, int32_t flags,
                               const FontLookup& lookup = FontLookup::installed());
// The best match by name, family and kind, whatever its outlines; never missing (the system font is the
// last resort).
platform::Font matchAnySystemFont(const QString& pdfFontName, qreal size, bool bold, bool italic, int32_t flags,
                                  const FontLookup& lookup = FontLookup::installed());
// Whether the face has glyf outlines.
bool hasTrueTypeOutlines(const platform::Font& font);
// The found face when it has TrueType outlines, else a Liberation or DejaVu face of its kind, weight and
// slant; missing when none is installed.
platform::Font embeddableStandIn(const platform::Font& found, const QString& pdfFontName, qreal size, bool bold,
                                 bool italic, int32_t flags, const FontLookup& lookup = FontLookup::installed());

// An sfnt file from tables (tag, data); none without glyf or CFF outlines. Tables are written in tag order.
std::optional<QByteArray> makeFontFile(QList<std::pair<quint32, QByteArray>> tables);
std::optional<QByteArray> makeFontFile(const platform::Font& font);
// The same, with the PostScript name inside the font changed, so that the name a PDF gives the embedded
// font differs from every font already in the document (PDFium tells the fonts of new text apart by name).
std::optional<QByteArray> makeFontFile(const platform::Font& font, const QString& postScriptName);

// A name table whose PostScript name records (name id 6) read postScriptName; none when the table cannot
// be read or the new strings do not fit. Other records are left as they are.
std::optional<QByteArray> renamedNameTable(const QByteArray& table, const QString& postScriptName);
// Six random capitals and "+" before the name: a subset-style tag, which readers (and our own scan) strip.
QString taggedName(const QString& postScriptName);

} // namespace vmk::core::fontmatching
