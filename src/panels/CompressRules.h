#pragma once

#include "core/Compression.h"
#include "platform/pdf/document/PdfTypes.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace vmk::panels {

using core::PDFOps::CompressionPreset;

// "Low", "Medium", "High".
QString presetTitle(CompressionPreset preset);
// The description under the size row, with the re-render note for the two stronger presets.
QString presetDescription(CompressionPreset preset);

// The saving of a compressed copy over its original: "−60 %"-style text in the accent colour, or
// "Already lean" when it saves half a percent or less. Nothing when the original is empty.
struct SavingText {
    QString text;
    bool accent = false;
};
std::optional<SavingText> savingText(qint64 originalBytes, qint64 compressedBytes);

// "<base> (compressed).pdf".
QString compressedFileName(const QString& baseName);
// "Saved <compressed>, down from <original>."; when the copy is no smaller, says so instead.
QString compressedSavedToast(qint64 compressedBytes, qint64 originalBytes);

// The document as it stands, written with `options` to a fresh temporary file ("vmk-<uuid>.pdf" in the
// temporary folder), read back and removed. Nothing when it cannot be written or read.
std::optional<QByteArray> takeSnapshot(const pdf::Document& document, const pdf::WriteOptions& options = {});

// What compression starts from and measures against: the file as it is on disk while the document has no
// unsaved changes and is written with the file's own encryption, else a snapshot of the document as it
// stands, written with `options` (the protection it has now).
std::optional<QByteArray> compressionSource(const QString& filePath, bool edited, const pdf::Document& document,
                                            const pdf::WriteOptions& options = {});

// Opens the snapshot and compresses it (a protected one with the password that unlocked the document,
// keeping its protection); nothing when it does not open or cannot be compressed. Safe to call away from
// the main thread.
std::optional<QByteArray> compressSnapshot(const QByteArray& snapshot, CompressionPreset preset,
                                           const std::optional<QString>& password = std::nullopt);

} // namespace vmk::panels
