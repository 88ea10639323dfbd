#pragma once

#include <QByteArray>
#include <QString>

namespace vmk::platform {

// What sits at a path, as far as reading it goes. Only a regular file (or a link to one) is ever read: a
// named pipe blocks whoever opens it until some writer comes, a device such as /dev/zero never ends, and
// opening some devices already does something.
enum class FileKind { missing, regular, folder, pipe, socket, device, other };

// Follows symbolic links; `missing` also when the path cannot be looked at (no permission on a folder).
FileKind fileKindOf(const QString& path);

struct RegularFileRead {
    QByteArray data;
    FileKind kind = FileKind::missing;
    int error = 0; // errno of a failed open or read of a regular file; 0 otherwise
    bool ok() const { return kind == FileKind::regular && error == 0; }
};

// Reads the whole of a user's file, only when it is a regular file: its kind is looked at before it is
// opened, it is opened without waiting for a writer, and what was opened is looked at again before the
// first byte is read (something else may have been put at the path meanwhile). At most the size it had
// when opened is read. Anything else comes back with its kind and no data.
RegularFileRead readRegularFile(const QString& path);

// For a path that is there but is not a regular file: "“name” isn’t a regular file." (or "is a folder"),
// and what it is instead, for the recovery suggestion.
QString notRegularFileMessage(const QString& name, FileKind kind);
QString notRegularFileSuggestion(FileKind kind);

} // namespace vmk::platform
