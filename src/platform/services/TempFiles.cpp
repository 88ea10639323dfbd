#include "platform/services/TempFiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSettings>
#include <QStandardPaths>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmk::platform {

namespace {

QString newUuid() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

// The names we give working copies and their folders; nothing else in a temporary folder is ours.
const QString kUuid = QStringLiteral("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
bool isOurCopyName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^vmk-%1\\.pdf$").arg(kUuid));
    return pattern.match(name).hasMatch();
}
bool isOurFolderName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^vmk-%1$").arg(kUuid));
    return pattern.match(name).hasMatch();
}
// Put inside every folder temporaryPrivateFolder() makes: a folder of our name without it is not ours.
const QString kFolderMarker = QStringLiteral(".vmk-folder");

bool lstatOf(const QString& path, struct stat* st)
{
    return ::lstat(QFile::encodeName(path).constData(), st) == 0;
}

// A regular file of this user's (never a link or anything else), removed by its exact path.
bool removeOwnRegularFile(const QString& path)
{
    struct stat st {};
    if (!lstatOf(path, &st) || !S_ISREG(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return ::unlink(QFile::encodeName(path).constData()) == 0;
}

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
    if (!createExclusiveFile(QDir(path).filePath(kFolderMarker))) {
        ::rmdir(QFile::encodeName(path).constData());
        return {};
    }
    return path;
}

bool removeTemporaryPrivateFolder(const QString& path)
{
    const QFileInfo info(path);
    struct stat st {};
    if (!isOurFolderName(info.fileName()) || !lstatOf(path, &st) || !S_ISDIR(st.st_mode)
        || st.st_uid != ::getuid() || (st.st_mode & 07777) != 0700)
        return false;
    const QDir dir(path);
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    // Ours holds the marker and at most the one copy it was made for, both plain files: a folder holding
    // anything else (a subfolder, a link, more files) is left as it is.
    if (!names.contains(kFolderMarker) || names.size() > 2)
        return false;
    for (const QString& name : names) {
        struct stat entry {};
        if (!lstatOf(dir.filePath(name), &entry) || !S_ISREG(entry.st_mode) || entry.st_uid != ::getuid())
            return false;
    }
    for (const QString& name : names) {
        if (name != kFolderMarker)
            removeOwnRegularFile(dir.filePath(name));
    }
    removeOwnRegularFile(dir.filePath(kFolderMarker));
    // Fails, keeping the folder, should anything have appeared in it meanwhile.
    return ::rmdir(QFile::encodeName(path).constData()) == 0;
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
    // Only the names we give, each checked for being what we made: the private folder may be one the
    // user had before (it is adopted when it is theirs), and its socket and lock belong to the running
    // instance.
    const QString folder = privateTemporaryFolder();
    if (!folder.isEmpty()) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (isOurCopyName(name))
                removeOwnRegularFile(dir.filePath(name));
            else if (isOurFolderName(name))
                removeTemporaryPrivateFolder(dir.filePath(name));
        }
    }
    // Earlier versions wrote their working copies ("vmk-" + UUID + ".pdf") straight into the shared
    // temporary folder: only such files of this user, never through links, and only old ones, which no
    // running process still uses. Folders there are never touched: nothing shows that one is ours.
    const QDateTime cutoff = QDateTime::currentDateTime().addSecs(-3600);
    const QDir shared = QDir::temp();
    for (const QString& name : shared.entryList({QStringLiteral("vmk-*.pdf")}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QString path = shared.filePath(name);
        if (isOurCopyName(name) && QFileInfo(path).lastModified() <= cutoff)
            removeOwnRegularFile(path);
    }
}

} // namespace vmk::platform
