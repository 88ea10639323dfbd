#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace vmk::platform {

// What sits at a path, as far as reading it goes. Only a regular file (or a link to one) is ever read: a
// named pipe blocks whoever opens it until some writer comes, a device such as /dev/zero never ends, and
// opening some devices already does something.
enum class FileKind { missing, regular, folder, pipe, socket, device, other };

// Follows symbolic links; `missing` also when the path cannot be looked at (no permission on a folder).
FileKind fileKindOf(const QString& path);

struct RegularFileRead {
    QByteArray data;
    qsizetype size = 0; // the bytes read
    FileKind kind = FileKind::missing;
    int error = 0; // errno of a failed open or read of a regular file; 0 otherwise
    bool ok() const { return kind == FileKind::regular && error == 0; }
};

// Reads the whole of a user's file, only when it is a regular file: its kind is looked at before it is
// opened, it is opened without waiting for a writer, and what was opened is looked at again before the
// first byte is read (something else may have been put at the path meanwhile). At most the size it had
// when opened is read. Anything else comes back with its kind and no data.
RegularFileRead readRegularFile(const QString& path);

// The same, into memory of the caller's: `place` is given the size the file had when opened and returns
// where that many bytes go, or nothing when they cannot be held (ENOMEM). `data` stays empty.
RegularFileRead readRegularFileInto(const QString& path, const std::function<char*(qsizetype size)>& place);

// For a path that is there but is not a regular file: "“name” isn’t a regular file." (or "is a folder"),
// and what it is instead, for the recovery suggestion.
QString notRegularFileMessage(const QString& name, FileKind kind);
QString notRegularFileSuggestion(FileKind kind);

} // namespace vmk::platform
