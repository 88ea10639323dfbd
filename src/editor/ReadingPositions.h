#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

#include <optional>

namespace vmk::platform {
class UserDefaults;
}

namespace vmk {

// Each file's last page, remembered between launches in one user-defaults entry keyed by file path.
namespace ReadingPositions {

inline constexpr const char* kDefaultsKey = "ReadingPositions";
// Above this many entries a save trims the dictionary back to kTrimTo (plus the current path).
inline constexpr int kTrimAbove = 500;
inline constexpr int kTrimTo = 400;

using Positions = QMap<QString, int>;

// The stored value as path → page index; none when it is not a dictionary or any value is not an integer.
std::optional<Positions> decode(const QVariant& stored);

// Sets path to index and trims an oversized dictionary: the first (count − 400) keys in iteration order
// go, except currentPath.
void insertTrimmed(Positions& positions, const QString& currentPath, int index);

// The saved page of the file at path; none without a path or a usable entry.
std::optional<int> load(platform::UserDefaults& defaults, const QString& path);

// Stores index for the file at path; an empty path (unsaved document) writes nothing.
void save(platform::UserDefaults& defaults, const QString& path, int index);

} // namespace ReadingPositions
} // namespace vmk
