#pragma once

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/PdfTypes.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>

// A smaller copy of a document: pages that are essentially pictures are re-rendered as one JPEG each, the
// images of the rest are re-encoded, and the smallest of the results (never larger than the source) wins.
namespace vmk::core::PDFOps {

enum class CompressionPreset { light, balanced, tiny };

struct CompressionSettings {
    double dpi = 150;
    double jpegQuality = 0.8;  // 0...1
    bool optimizeForScreen = false; // also scale down images larger than their page could show
};

// All presets, in order.
QList<CompressionPreset> allCompressionPresets();
CompressionSettings settings(CompressionPreset preset);
QString rawValue(CompressionPreset preset);
// Nothing for any other text.
std::optional<CompressionPreset> compressionPresetFromRawValue(const QString& raw);

// The longer side of a rendered page image is at most this many pixels.
inline constexpr int kMaxRenderedSide = 6000;
// A page keeps its own content when its trimmed text has more user-perceived characters than this.
inline constexpr int kMaxCharactersOfPicturePage = 15;

// The pixel size a page of the display size is rendered at for the resolution (each side at least 1).
QSize renderPixelSize(const QSizeF& displaySize, double dpi);

// Whether the page text (trimmed of white space and line breaks) is short enough for a picture page.
bool hasLittleText(const QString& pageText);

// The per-entry image test: an image, or a form (looked into while depth is at most 1) holding one.
bool xObjectIsImage(const pdf::XObjectNode& node, int depth);
// Whether the entries of a /Resources /XObject dictionary, walked at `depth`, hold an image.
bool resourcesContainImage(const QList<pdf::XObjectNode>& xObjects, int depth);

// The compressed bytes of the document, given optionally the bytes it was opened from (when absent the
// document is written first). Works on its own copy; the document is not changed. Never larger than the
// source bytes; those come back unchanged when they cannot be opened or nothing smaller can be made.
// Nothing only when the document cannot be written at all. Runs on any one thread at a time per call.
// Bytes of a protected document are opened with the password and the result keeps their protection;
// without the password they come back unchanged.
std::optional<QByteArray> compress(const pdf::Document& document, CompressionPreset preset,
                                   const std::optional<QByteArray>& data = std::nullopt,
                                   const std::optional<QString>& password = std::nullopt);
// The same from bytes alone, for callers away from the document's thread.
QByteArray compress(const QByteArray& source, CompressionPreset preset,
                    const std::optional<QString>& password = std::nullopt);

// Removes a file, ignoring any failure.
void removeFile(const QString& path);

} // namespace vmk::core::PDFOps
