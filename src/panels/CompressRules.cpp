#include "panels/CompressRules.h"

#include "panels/ByteCountText.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/RegularFile.h"
#include "platform/services/TempFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUuid>

#include <cmath>

namespace vmk::panels {

QString presetTitle(CompressionPreset preset)
{
    switch (preset) {
    case CompressionPreset::light:
        return QStringLiteral("Low");
    case CompressionPreset::balanced:
        return QStringLiteral("Medium");
    case CompressionPreset::tiny:
        return QStringLiteral("High");
    }
    return {};
}

QString presetDescription(CompressionPreset preset)
{
    const QString note = QStringLiteral(" Scanned and photo pages are re-rendered; text stays sharp and selectable.");
    switch (preset) {
    case CompressionPreset::light:
        return QStringLiteral("Barely touches quality.");
    case CompressionPreset::balanced:
        return QStringLiteral("Smaller. Still looks great.") + note;
    case CompressionPreset::tiny:
        return QStringLiteral("Smallest. Fine for email.") + note;
    }
    return {};
}

std::optional<SavingText> savingText(qint64 originalBytes, qint64 compressedBytes)
{
    if (originalBytes < 1)
        return std::nullopt;
    // Exactly this form: one minus the quotient, so borderline savings round the way they always have.
    const double saving = 1.0 - double(compressedBytes) / double(originalBytes);
    if (saving > 0.005)
        return SavingText{QStringLiteral("\u2212%1%").arg(qint64(std::round(saving * 100))), true};
    return SavingText{QCoreApplication::translate("CompressSheet", "Already lean"), false};
}

QString compressedFileName(const QString& baseName)
{
    return baseName + QStringLiteral(" (compressed).pdf");
}

QString compressedSavedToast(qint64 compressedBytes, qint64 originalBytes)
{
    // A size shown twice, or a "saving" that shows no change, would claim what did not happen.
    if (compressedBytes >= originalBytes || fileSizeText(compressedBytes) == fileSizeText(originalBytes))
        return QCoreApplication::translate("CompressSheet", "Saved a copy of %1. It couldn’t be made smaller.")
            .arg(fileSizeText(compressedBytes));
    return QCoreApplication::translate("CompressSheet", "Saved %1, down from %2.")
        .arg(fileSizeText(compressedBytes), fileSizeText(originalBytes));
}

std::optional<QByteArray> compressionSource(const QString& filePath, bool edited, const pdf::Document& document,
                                            const pdf::WriteOptions& options)
{
    const bool asOnDisk = options.encryption == pdf::WriteOptions::Encryption::KeepExisting;
    if (!edited && asOnDisk && !filePath.isEmpty()) {
        // Only as a regular file: something else put at its path since is never waited on.
        const platform::RegularFileRead file = platform::readRegularFile(filePath);
        if (file.ok() && !file.data.isEmpty())
            return file.data;
    }
    return takeSnapshot(document, options);
}

std::optional<QByteArray> takeSnapshot(const pdf::Document& document, const pdf::WriteOptions& options)
{
    // A private working file: the snapshot is the user's document.
    const QString path = platform::temporaryPdfPath();
    std::optional<QByteArray> bytes;
    if (!path.isEmpty() && document.write(path, options)) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            bytes.reset();
    }
    core::PDFOps::removeFile(path);
    return bytes;
}

std::optional<QByteArray> compressSnapshot(const QByteArray& snapshot, CompressionPreset preset,
                                           const std::optional<QString>& password)
{
    auto opened = pdf::Document::fromData(snapshot);
    if (!opened)
        return std::nullopt;
    return core::PDFOps::compress(**opened, preset, snapshot, password);
}

} // namespace vmk::panels
