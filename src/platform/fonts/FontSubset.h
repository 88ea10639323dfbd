#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vmk::platform {

// A TrueType font file cut down to the glyphs that draw the text (and the space, and the missing-glyph
// glyph), glyphs renumbered, layout tables trimmed alike, hinting dropped: what a PDF needs to embed for a
// few words weighs kilobytes, not the whole face. None when the file cannot be read or has no glyf outlines.
std::optional<QByteArray> subsetTrueType(const QByteArray& fontFile, const QString& text);

} // namespace vmk::platform
