#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace vmk::test {

// A file in the repository's tests/data folder.
QString dataPath(const QString& name);

// Writes bytes to a new file in dir and returns its path.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

QByteArray readFile(const QString& path);

struct CommandResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a second engine (qpdf, pdftoppm, pdftotext, mutool) to check what we wrote.
CommandResult runCommand(const QString& program, const QStringList& arguments, int timeoutMs = 60000);

bool commandExists(const QString& program);

// What qpdf says of a file's encryption opened with each password in turn (method, permissions, which
// password it took), its complaints included: two files compare equal when they are protected alike.
QString qpdfEncryption(const QString& path, const QStringList& passwords);

// Whether a test may start another program once it has started threads. This ThreadSanitizer loses track
// of the main thread's locks after a child process is started from a process with threads, so under it
// such checks are made before any document is opened, or left out.
#if defined(VMK_SANITIZE_THREAD)
inline constexpr bool kCommandsAfterThreads = false;
#else
inline constexpr bool kCommandsAfterThreads = true;
#endif

} // namespace vmk::test
