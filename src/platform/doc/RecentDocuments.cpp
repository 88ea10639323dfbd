#include "platform/doc/RecentDocuments.h"

#include "platform/services/UserDefaults.h"

#include <QFileInfo>

#include <algorithm>

namespace vmk::platform {

namespace {
const QString kKey = QStringLiteral("VMKRecentDocuments");

QString normalised(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}
} // namespace

RecentDocuments::RecentDocuments(UserDefaults& defaults, QObject* parent) : QObject(parent), m_defaults(defaults) {}

QStringList RecentDocuments::stored() const
{
    // Lists are kept as a variant list: a one-element string list would read back as a plain string.
    const QVariant value = m_defaults.object(kKey);
    if (value.metaType().id() == QMetaType::QString)
        return {value.toString()};
    return m_defaults.stringArray(kKey);
}

void RecentDocuments::store(const QStringList& list)
{
    QVariantList values;
    for (const QString& path : list)
        values.append(path);
    m_defaults.set(kKey, values);
    emit changed();
}

QStringList RecentDocuments::paths() const
{
    QStringList out;
    for (const QString& path : stored()) {
        if (QFileInfo(path).isFile())
            out.append(path);
    }
    return out;
}

void RecentDocuments::note(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString entry = normalised(path);
    QStringList list = stored();
    list.removeAll(entry);
    list.prepend(entry);
    while (list.size() > m_maximum)
        list.removeLast();
    store(list);
}

void RecentDocuments::remove(const QString& path)
{
    QStringList list = stored();
    if (list.removeAll(normalised(path)) > 0 || list.removeAll(path) > 0)
        store(list);
}

void RecentDocuments::clear() { store({}); }

void RecentDocuments::setMaximum(int maximum)
{
    m_maximum = std::max(0, maximum);
    QStringList list = stored();
    if (list.size() > m_maximum) {
        list = list.mid(0, m_maximum);
        store(list);
    }
}

} // namespace vmk::platform
