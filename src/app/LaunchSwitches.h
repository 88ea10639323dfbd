#pragma once

#include <QString>

#include <optional>

namespace vmk::platform {
class UserDefaults;
}

namespace vmk::app {

// A default read as a whole decimal number: an optional single "+" or "-" and one or more digits,
// nothing else, within 64 bits. Absent, empty or anything else gives nothing.
std::optional<qint64> integerDefault(const platform::UserDefaults& defaults, const QString& key);
std::optional<qint64> parseWholeInteger(const QString& text);

// The launch switches a document window applies when it is first shown. Each switch that is absent or
// does not parse is left out; the rest still apply.
struct LaunchSwitches {
    std::optional<int> mode;          // an editor mode raw value 0…5
    std::optional<int> tool;          // a tool position 0…11
    std::optional<qint64> page;       // a page number counted from 1, not clamped here
    std::optional<bool> showSidebar;
    std::optional<bool> showInspector;
    std::optional<QString> search;    // an empty text included
};

LaunchSwitches readLaunchSwitches(const platform::UserDefaults& defaults);

// "Page 3 of 10", "1 page", or nothing for a locked document or one without pages.
QString documentSubtitle(int pageIndex, int pageCount, bool locked);

} // namespace vmk::app
