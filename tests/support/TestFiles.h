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

} // namespace vmk::test
