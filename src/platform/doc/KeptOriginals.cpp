#include "platform/doc/KeptOriginals.h"

#include "platform/services/RegularFile.h"
#include "platform/services/TempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>

namespace vmk::platform {

namespace {

QString g_folder;
const QString kRecordSuffix = QStringLiteral(".kept.json");

QString samePath(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

bool writeRecord(const QString& recordPath, const KeptOriginals::Version& version)
{
    QJsonObject object;
    object.insert(QStringLiteral("original"), version.originalPath);
    object.insert(QStringLiteral("kept"), version.keptAt.toUTC().toString(Qt::ISODateWithMs));
    QSaveFile file(recordPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(object).toJson(QJsonDocument::Compact));
    return file.commit();
}

// Every kept copy with its record, in no particular order.
QList<std::pair<QString, KeptOriginals::Version>> allVersions()
{
    QList<std::pair<QString, KeptOriginals::Version>> out;
    const QDir dir(KeptOriginals::folder());
    for (const QFileInfo& record : dir.entryInfoList({QStringLiteral("*") + kRecordSuffix}, QDir::Files)) {
        QFile file(record.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
        KeptOriginals::Version version;
        version.keptPath = record.absoluteFilePath().chopped(kRecordSuffix.size());
        version.originalPath = object.value(QStringLiteral("original")).toString();
        version.keptAt = QDateTime::fromString(object.value(QStringLiteral("kept")).toString(), Qt::ISODateWithMs);
        const QFileInfo kept(version.keptPath);
        if (!kept.exists() || version.originalPath.isEmpty() || !version.keptAt.isValid())
            continue;
        version.size = kept.size();
        out.append({record.absoluteFilePath(), version});
    }
    return out;
}

void removeVersion(const QString& recordPath, const KeptOriginals::Version& version)
{
    QFile::remove(version.keptPath);
    QFile::remove(recordPath);
}

} // namespace

QString KeptOriginals::folder()
{
    if (!g_folder.isEmpty())
        return g_folder;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("Originals"));
}

void KeptOriginals::setFolder(const QString& folder) { g_folder = folder; }

std::optional<KeptOriginals::Version> KeptOriginals::keep(const QString& originalPath)
{
    const QFileInfo source(originalPath);
    if (!source.isFile() || !makePrivateFolder(folder()))
        return std::nullopt;
    Version version;
    version.originalPath = samePath(originalPath);
    version.keptAt = QDateTime::currentDateTimeUtc();
    // The name shows what it is to someone looking in the folder; the id keeps names apart.
    const QString stamp = version.keptAt.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
    version.keptPath = QDir(folder()).filePath(QStringLiteral("%1-%2 %3").arg(stamp, id, source.fileName()));
    if (!createExclusiveFile(version.keptPath))
        return std::nullopt;
    // Read as a document is: a pipe put at the path since it was looked at doesn't hold up the save.
    const RegularFileRead in = readRegularFile(originalPath);
    QFile out(version.keptPath);
    bool ok = in.ok() && out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(in.data) == in.data.size();
    ok = ok && out.flush();
    out.close();
    if (!ok || !writeRecord(version.keptPath + kRecordSuffix, version)) {
        QFile::remove(version.keptPath);
        return std::nullopt;
    }
    version.size = QFileInfo(version.keptPath).size();
    prune();
    return version;
}

QList<KeptOriginals::Version> KeptOriginals::versionsOf(const QString& path)
{
    const QString wanted = samePath(path);
    QList<Version> out;
    for (const auto& entry : allVersions())
        if (entry.second.originalPath == wanted)
            out.append(entry.second);
    std::sort(out.begin(), out.end(), [](const Version& a, const Version& b) { return a.keptAt > b.keptAt; });
    return out;
}

int KeptOriginals::forget(const QString& path)
{
    const QString wanted = samePath(path);
    int removed = 0;
    for (const auto& [record, version] : allVersions()) {
        if (version.originalPath != wanted)
            continue;
        removeVersion(record, version);
        removed += QFileInfo::exists(version.keptPath) ? 0 : 1;
    }
    return removed;
}

void KeptOriginals::followMove(const QString& from, const QString& to)
{
    const QString old = samePath(from);
    for (auto [record, version] : allVersions()) {
        if (version.originalPath != old)
            continue;
        version.originalPath = samePath(to);
        writeRecord(record, version);
    }
}

void KeptOriginals::prune(int maxAgeDays, qint64 maxTotalBytes)
{
    auto versions = allVersions();
    std::sort(versions.begin(), versions.end(),
              [](const auto& a, const auto& b) { return a.second.keptAt > b.second.keptAt; });
    const QDateTime oldest = QDateTime::currentDateTimeUtc().addDays(-maxAgeDays);
    qint64 total = 0;
    for (qsizetype i = 0; i < versions.size(); ++i) {
        const auto& [record, version] = versions[i];
        total += version.size;
        const bool newest = i == 0;
        if (!newest && (version.keptAt < oldest || total > maxTotalBytes))
            removeVersion(record, version);
    }
}

} // namespace vmk::platform
