#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace vmk::test {

QString dataPath(const QString& name)
{
    return QDir(QStringLiteral(VMK_TEST_DATA_DIR)).filePath(name);
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

CommandResult runCommand(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess p;
    p.start(program, arguments);
    CommandResult r;
    if (!p.waitForStarted(timeoutMs))
        return r;
    p.waitForFinished(timeoutMs);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

bool commandExists(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QString qpdfEncryption(const QString& path, const QStringList& passwords)
{
    QString seen;
    for (const QString& password : passwords) {
        const CommandResult shown = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--show-encryption"),
                                                                       QStringLiteral("--password=") + password, path});
        // The complaint names the file; only what it says of the encryption counts.
        seen += QStringLiteral("[%1] %2%3").arg(password, QString::fromUtf8(shown.out),
                                                 QString::fromUtf8(shown.err).replace(path, QStringLiteral("FILE")));
    }
    return seen;
}

} // namespace vmk::test
