#pragma once

#include <QString>

#include <optional>

namespace vmk::chrome {

// A page number typed into the page pill: blanks (spaces, tabs, other space separators; not line breaks)
// trimmed from both ends, then an optional sign and ASCII digits within 64 bits. Anything else: nothing.
std::optional<qint64> parseTypedPageNumber(const QString& text);

// What committing the typed text does.
struct PageJump {
    enum class Kind { none, goTo, outOfReach };
    Kind kind = Kind::none;
    int pageIndex = -1;  // for goTo
    QString message;     // for outOfReach
};

PageJump pageJumpFor(const QString& text, int pageCount);

inline const QString kOutOfReachSymbol = QStringLiteral("questionmark.circle.fill");

} // namespace vmk::chrome
