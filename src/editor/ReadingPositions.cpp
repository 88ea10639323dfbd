#include "editor/ReadingPositions.h"

#include "platform/services/UserDefaults.h"

#include <QVariantMap>

namespace vmk::ReadingPositions {

namespace {

bool isInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<Positions> decode(const QVariant& stored)
{
    if (stored.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = stored.toMap();
    Positions result;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (!isInteger(it.value()))
            return std::nullopt;
        bool ok = false;
        const qlonglong v = it.value().toLongLong(&ok);
        if (!ok || v < INT_MIN || v > INT_MAX)
            return std::nullopt;
        result.insert(it.key(), int(v));
    }
    return result;
}

void insertTrimmed(Positions& positions, const QString& currentPath, int index)
{
    positions.insert(currentPath, index);
    if (positions.size() <= kTrimAbove)
        return;
    const qsizetype excess = positions.size() - kTrimTo;
    QStringList doomed;
    for (auto it = positions.cbegin(); it != positions.cend() && doomed.size() < excess; ++it)
        doomed.append(it.key());
    for (const QString& key : doomed)
        if (key != currentPath)
            positions.remove(key);
}

std::optional<int> load(platform::UserDefaults& defaults, const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QVariant stored = defaults.object(QString::fromLatin1(kDefaultsKey));
    if (!stored.isValid())
        return std::nullopt;
    const std::optional<Positions> positions = decode(stored);
    if (!positions || positions->isEmpty())
        return std::nullopt;
    const auto it = positions->constFind(path);
    if (it == positions->cend())
        return std::nullopt;
    return it.value();
}

void save(platform::UserDefaults& defaults, const QString& path, int index)
{
    if (path.isEmpty())
        return;
    Positions positions = decode(defaults.object(QString::fromLatin1(kDefaultsKey))).value_or(Positions{});
    insertTrimmed(positions, path, index);
    QVariantMap map;
    for (auto it = positions.cbegin(); it != positions.cend(); ++it)
        map.insert(it.key(), it.value());
    defaults.set(QString::fromLatin1(kDefaultsKey), map);
}

} // namespace vmk::ReadingPositions
