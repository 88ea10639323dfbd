#include "platform/services/TempFiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSettings>
#include <QStandardPaths>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmk::platform {

namespace {

QString newUuid() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

// A folder we may keep private things in: a real folder (no link), ours, and nobody else's to enter.
bool isOwnPrivateFolder(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 077) != 0 && ::chmod(QFile::encodeName(path).constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

bool makePrivateFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray encoded = QFile::encodeName(path);
    if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST) {
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return false;
        if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    if (::stat(encoded.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if ((st.st_mode & 077) != 0 && st.st_uid == ::getuid())
        return ::chmod(encoded.constData(), 0700) == 0;
    return true;
}

bool makeFilePrivate(const QString& path)
{
    return ::chmod(QFile::encodeName(path).constData(), 0600) == 0;
}

QString privateTemporaryFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        const QString folder = QDir(runtime).filePath(QStringLiteral("vellumark"));
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
        if (isOwnPrivateFolder(folder))
            return folder;
    }
    const QString folder = QDir::temp().filePath(QStringLiteral("vellumark-%1").arg(::getuid()));
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return isOwnPrivateFolder(folder) ? folder : QString();
}

bool createExclusiveFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

QString temporaryPdfPath()
{
    const QString folder = privateTemporaryFolder();
    if (folder.isEmpty())
        return {};
    const QString path = QDir(folder).filePath(QStringLiteral("vmk-%1.pdf").arg(newUuid()));
    return createExclusiveFile(path) ? path : QString();
}

QString temporaryPrivateFolder()
{
    const QString folder = privateTemporaryFolder();
    if (folder.isEmpty())
        return {};
    const QString path = QDir(folder).filePath(QStringLiteral("vmk-%1").arg(newUuid()));
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0)
        return {};
    return path;
}

void makeApplicationFoldersPrivate()
{
    for (const auto location : {QStandardPaths::AppDataLocation, QStandardPaths::AppConfigLocation,
                                QStandardPaths::CacheLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (folder.isEmpty())
            continue;
        // The organisation's folder above the application's is ours as well.
        const QString parent = QFileInfo(folder).absolutePath();
        if (QFileInfo(parent).fileName() == QCoreApplication::organizationName())
            makePrivateFolder(parent);
        makePrivateFolder(folder);
    }
    const QString settings = QSettings().fileName();
    makePrivateFolder(QFileInfo(settings).absolutePath());
    if (QFileInfo::exists(settings))
        makeFilePrivate(settings);
}

void removeStaleTemporaryFiles()
{
    const QString folder = privateTemporaryFolder();
    if (!folder.isEmpty()) {
        const auto entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo& entry : entries) {
            struct stat st {};
            if (::lstat(QFile::encodeName(entry.absoluteFilePath()).constData(), &st) != 0)
                continue;
            // The running instance's socket and lock are not copies.
            if (S_ISSOCK(st.st_mode) || entry.fileName().endsWith(QLatin1String(".lock")))
                continue;
            if (S_ISDIR(st.st_mode))
                QDir(entry.absoluteFilePath()).removeRecursively();
            else
                QFile::remove(entry.absoluteFilePath());
        }
    }
    // Copies older versions left in the shared temporary folder: only this user's, never through links,
    // and only old ones, which no running process still uses.
    const QDateTime cutoff = QDateTime::currentDateTime().addSecs(-3600);
    const auto entries = QDir::temp().entryInfoList({QStringLiteral("vmk-*")}, QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        struct stat st {};
        if (::lstat(QFile::encodeName(entry.absoluteFilePath()).constData(), &st) != 0 || st.st_uid != ::getuid())
            continue;
        if (entry.lastModified() > cutoff)
            continue;
        if (S_ISDIR(st.st_mode))
            QDir(entry.absoluteFilePath()).removeRecursively();
        else if (S_ISREG(st.st_mode))
            QFile::remove(entry.absoluteFilePath());
    }
}

} // namespace vmk::platform
