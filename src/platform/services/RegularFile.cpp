#include "platform/services/RegularFile.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace vmk::platform {

namespace {

FileKind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::regular;
    if (S_ISDIR(mode))
        return FileKind::folder;
    if (S_ISFIFO(mode))
        return FileKind::pipe;
    if (S_ISSOCK(mode))
        return FileKind::socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::device;
    return FileKind::other;
}

QString tr(const char* text) { return QCoreApplication::translate("vmk::platform::RegularFile", text); }

} // namespace

FileKind fileKindOf(const QString& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return FileKind::missing;
    return kindOfMode(st.st_mode);
}

RegularFileRead readRegularFileInto(const QString& path, const std::function<char*(qsizetype size)>& place)
{
    RegularFileRead out;
    const QByteArray encoded = QFile::encodeName(path);
    struct stat before {};
    if (path.isEmpty() || ::stat(encoded.constData(), &before) != 0) {
        out.error = errno;
        return out;
    }
    out.kind = kindOfMode(before.st_mode);
    if (out.kind != FileKind::regular)
        return out; // never opened
    // Without waiting: should a pipe have been put at the path since, the open still returns at once.
    const int fd = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        out.error = errno;
        return out;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        out.error = errno;
        ::close(fd);
        return out;
    }
    out.kind = kindOfMode(opened.st_mode);
    if (out.kind == FileKind::regular && (opened.st_dev != before.st_dev || opened.st_ino != before.st_ino))
        out.kind = FileKind::other; // replaced between the two looks: not what was asked about
    if (out.kind != FileKind::regular) {
        ::close(fd);
        return out;
    }
    const qsizetype size = qsizetype(opened.st_size);
    char* target = place(size);
    if (!target && size > 0) {
        ::close(fd);
        out.error = ENOMEM;
        return out;
    }
    // Up to the size it had when opened: a file that keeps growing meanwhile does not keep us reading.
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, target + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            out.error = errno;
            done = 0;
            break;
        }
        if (n == 0)
            break; // it shrank: what there is
        done += n;
    }
    ::close(fd);
    out.size = done;
    return out;
}

RegularFileRead readRegularFile(const QString& path)
{
    QByteArray data;
    RegularFileRead out = readRegularFileInto(path, [&data](qsizetype size) -> char* {
        try {
            data = QByteArray(size, Qt::Uninitialized);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return data.data();
    });
    if (out.error == 0)
        data.truncate(out.size);
    else
        data.clear();
    out.data = std::move(data);
    return out;
}

QString notRegularFileMessage(const QString& name, FileKind kind)
{
    if (kind == FileKind::folder)
        return tr("“%1” is a folder.").arg(name);
    return tr("“%1” isn’t a regular file.").arg(name);
}

QString notRegularFileSuggestion(FileKind kind)
{
    switch (kind) {
    case FileKind::folder:
        return tr("Open the PDFs inside it instead.");
    case FileKind::pipe:
        return tr("It’s a pipe that another program writes into. Save what it sends as a file, then open that.");
    case FileKind::socket:
        return tr("It’s a socket that programs talk through, not a file with a PDF inside.");
    case FileKind::device:
        return tr("It’s a device, not a file with a PDF inside.");
    case FileKind::missing:
    case FileKind::regular:
    case FileKind::other:
        break;
    }
    return tr("Only files saved on a disk can be opened.");
}

} // namespace vmk::platform
