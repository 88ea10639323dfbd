#pragma once

// Private to the font service: reading a face's metrics and sfnt tables with FreeType.

#include <QByteArray>
#include <QList>
#include <QString>

namespace vmk::platform::freetype {

struct Metrics {
    int unitsPerEm = 0;
    int ascender = 0;
    int descender = 0;
};

// All return empty values when the file cannot be opened as a face. Safe from any thread (one library
// instance, serialised by a lock: FreeType's library object is not thread-safe).
Metrics readMetrics(const QString& filePath, int faceIndex);
QList<quint32> tableTags(const QString& filePath, int faceIndex);
QByteArray tableData(const QString& filePath, int faceIndex, quint32 tag);

} // namespace vmk::platform::freetype
