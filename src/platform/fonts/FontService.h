#pragma once

#include "platform/fonts/Font.h"

#include <QString>
#include <QStringList>

namespace vmk::platform {

// Finds installed fonts through fontconfig and reads them with FreeType. Fontconfig always answers with some
// font; these look-ups accept only a real match and otherwise return an invalid Font ("missing"), except
// where a function says it substitutes. Thread-safe: all functions may be called from any thread.
class FontService {
public:
    // A face by PostScript name ("DejaVuSans-Bold") or full name ("DejaVu Sans Bold"), compared
    // case-insensitively. Missing unless an installed face carries that name.
    static Font fontNamed(const QString& name, qreal pointSize = 12.0);

    // A face of an installed family (any of the family's names, case-insensitively) with the closest
    // weight and slant. Missing when no installed face belongs to the family.
    static Font fontForFamily(const QString& family, bool bold, bool italic, qreal pointSize = 12.0);

    // Like fontForFamily, but a family that is not installed gets fontconfig's configured substitute
    // (e.g. a metric-compatible face for "Times New Roman"). Missing only when there are no fonts at all.
    static Font substituteForFamily(const QString& family, bool bold, bool italic, qreal pointSize = 12.0);

    // The default user-interface face ("sans-serif" as fontconfig resolves it).
    static Font systemFont(qreal pointSize = 12.0, bool bold = false, bool italic = false);

    // Every installed family name, sorted, without duplicates.
    static QStringList installedFamilies();

private:
    static Font make(std::shared_ptr<const Font::Data> data, qreal pointSize);
};

} // namespace vmk::platform
