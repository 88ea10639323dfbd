#include "app/LaunchSwitches.h"

#include "platform/services/UserDefaults.h"

#include <QMetaType>

namespace vmk::app {

std::optional<qint64> parseWholeInteger(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    int start = 0;
    if (text[0] == QLatin1Char('+') || text[0] == QLatin1Char('-'))
        start = 1;
    if (start == text.size())
        return std::nullopt;
    for (int i = start; i < text.size(); ++i)
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    // QString::toLongLong accepts a leading "+" and reports overflow through ok.
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<qint64> integerDefault(const platform::UserDefaults& defaults, const QString& key)
{
    const QVariant value = defaults.object(key);
    if (!value.isValid())
        return std::nullopt;
    // A stored number counts by its decimal text; other kinds of value are not numbers.
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return parseWholeInteger(value.toString());
    default:
        return std::nullopt;
    }
}

LaunchSwitches readLaunchSwitches(const platform::UserDefaults& defaults)
{
    LaunchSwitches s;
    if (const auto mode = integerDefault(defaults, QStringLiteral("VMKInitialMode")); mode && *mode >= 0 && *mode <= 5)
        s.mode = int(*mode);
    if (const auto tool = integerDefault(defaults, QStringLiteral("VMKInitialTool")); tool && *tool >= 0 && *tool <= 11)
        s.tool = int(*tool);
    s.page = integerDefault(defaults, QStringLiteral("VMKInitialPage"));
    if (defaults.contains(QStringLiteral("VMKShowSidebar")))
        s.showSidebar = defaults.boolean(QStringLiteral("VMKShowSidebar"));
    if (defaults.contains(QStringLiteral("VMKShowInspector")))
        s.showInspector = defaults.boolean(QStringLiteral("VMKShowInspector"));
    const QVariant search = defaults.object(QStringLiteral("VMKSearch"));
    if (search.isValid() && search.typeId() == QMetaType::QString)
        s.search = search.toString();
    return s;
}

QString documentSubtitle(int pageIndex, int pageCount, bool locked)
{
    if (locked || pageCount < 1)
        return {};
    if (pageCount == 1)
        return QStringLiteral("1 page");
    return QStringLiteral("Page %1 of %2").arg(pageIndex + 1).arg(pageCount);
}

} // namespace vmk::app
