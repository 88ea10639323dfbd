#include "platform/doc/SafeSave.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vmk::platform {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("vmk::platform::SafeSave", text); }

DocumentError writeError(const QString& targetPath, int err)
{
    const QString name = QFileInfo(targetPath).fileName();
    if (err == EACCES || err == EPERM || err == EROFS) {
        return {DocumentError::FileWriteNoPermission,
                tr("The file “%1” couldn’t be saved because you don’t have permission.").arg(name),
                tr("Try saving a copy to a different folder.")};
    }
    if (err == ENOSPC || err == EDQUOT) {
        return {DocumentError::FileWriteUnknown,
                tr("The file “%1” couldn’t be saved because there isn’t enough space.").arg(name),
                tr("Free some space or save a copy to a different disk.")};
    }
    return {DocumentError::FileWriteUnknown, tr("The file “%1” couldn’t be saved.").arg(name),
            tr("Try saving a copy to a different folder.")};
}

bool syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The file a save replaces: a symbolic link is followed so that the link stays and its target is updated.
QString resolvedTarget(const QString& targetPath)
{
    const QFileInfo info(targetPath);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            return target;
        return info.symLinkTarget();
    }
    return info.absoluteFilePath();
}

// A save that has not finished within this long is taken for one whose process was killed.
constexpr qint64 kStaleSaveSeconds = 3600;

QString temporaryNameFor(const QString& targetName)
{
    return QStringLiteral(".%1.vmk-%2.tmp").arg(targetName, QUuid::createUuid().toString(QUuid::WithoutBraces).left(8));
}

bool isTemporaryNameFor(const QString& name, const QString& targetName)
{
    const QRegularExpression pattern(QStringLiteral("^\\.%1\\.vmk-[0-9a-f]{8}\\.tmp$")
                                         .arg(QRegularExpression::escape(targetName)));
    return pattern.match(name).hasMatch();
}

// Everything after the temporary file was made: write, flush and check it, then replace the target with it.
// Any failure removes the temporary file. `targetPath` names the file in errors; `target` is where it lies.
MaybeError writeOver(const QString& targetPath, const QString& target, const QString& temporary,
                     const SafeSaveSteps& steps)
{
    const QString folder = QFileInfo(target).absolutePath();
    const QByteArray temporaryName = QFile::encodeName(temporary);
    auto fail = [&](DocumentError error) -> MaybeError {
        ::unlink(temporaryName.constData());
        return error;
    };

    if (MaybeError error = steps.write(temporary))
        return fail(*error);

    struct stat written {};
    if (::stat(temporaryName.constData(), &written) != 0 || !S_ISREG(written.st_mode))
        return fail(writeError(targetPath, errno ? errno : EIO));
    if (!syncPath(temporary, O_RDONLY))
        return fail(writeError(targetPath, errno));

    if (steps.verify) {
        if (MaybeError error = steps.verify(temporary))
            return fail(*error);
    }

    // The new file takes the original's permissions, or the usual ones for a new file.
    struct stat original {};
    mode_t mode;
    if (::stat(QFile::encodeName(target).constData(), &original) == 0) {
        mode = original.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::chmod(temporaryName.constData(), mode) != 0)
        return fail(writeError(targetPath, errno));

    if (steps.beforeReplace) {
        if (MaybeError error = steps.beforeReplace())
            return fail(*error);
    }
    if (::rename(temporaryName.constData(), QFile::encodeName(target).constData()) != 0)
        return fail(writeError(targetPath, errno));

    // Make the rename itself durable.
    syncPath(folder, O_RDONLY | O_DIRECTORY);
    return std::nullopt;
}

} // namespace

MaybeError writeBytesToFile(const QString& path, const QByteArray& bytes)
{
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return writeError(path, errno);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            return writeError(path, err);
        }
        written += n;
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        return writeError(path, err);
    }
    if (::close(fd) != 0)
        return writeError(path, errno);
    return std::nullopt;
}

void removeStaleSaveFiles(const QString& targetPath)
{
    const QFileInfo targetInfo(resolvedTarget(targetPath));
    const QDir folder = targetInfo.absoluteDir();
    const QString prefix = QStringLiteral(".%1.vmk-").arg(targetInfo.fileName());
    const qint64 cutoff = QDateTime::currentSecsSinceEpoch() - kStaleSaveSeconds;
    const QStringList names = folder.entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!name.startsWith(prefix) || !isTemporaryNameFor(name, targetInfo.fileName()))
            continue;
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()
            || st.st_nlink != 1 || st.st_mtime > cutoff)
            continue;
        ::unlink(path.constData());
    }
}

MaybeError safeSaveFile(const QString& targetPath, const SafeSaveSteps& steps)
{
    const QString target = resolvedTarget(targetPath);
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();

    removeStaleSaveFiles(target);
    // A hidden name in the same folder keeps the rename on one file system, so it replaces atomically.
    const QString temporary = QDir(folder).filePath(temporaryNameFor(targetInfo.fileName()));
    const QByteArray temporaryName = QFile::encodeName(temporary);

    // Creating the file exclusively proves the folder is writable before any work is done, and that
    // nothing of anyone else's is in the way.
    const int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return writeError(targetPath, errno);
    ::close(fd);

    auto fail = [&](DocumentError error) -> MaybeError {
        ::unlink(temporaryName.constData());
        return error;
    };

    if (steps.prepare) {
        if (MaybeError error = steps.prepare())
            return fail(*error);
    }
    if (!steps.write)
        return fail(writeError(targetPath, EINVAL));
    if (!steps.run)
        return writeOver(targetPath, target, temporary, steps);
    MaybeError result;
    steps.run([&] { result = writeOver(targetPath, target, temporary, steps); });
    return result;
}

} // namespace vmk::platform
