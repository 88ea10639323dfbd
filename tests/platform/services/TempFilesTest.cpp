#include "platform/services/TempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <ctime>

namespace {
mode_t modeOf(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

void writeFile(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("contents");
}

// Two hours old, file or folder.
void makeOld(const QString& path)
{
    const timeval old = {::time(nullptr) - 7200, 0};
    const timeval times[2] = {old, old};
    ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), times), 0) << path.toStdString();
}
} // namespace

TEST(TempFiles, WorkingCopiesAreNewPrivateFilesInAPrivateFolder)
{
    const QString a = vmk::platform::temporaryPdfPath();
    const QString b = vmk::platform::temporaryPdfPath();
    ASSERT_FALSE(a.isEmpty());
    EXPECT_NE(a, b);
    static const QRegularExpression pattern("^vmk-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.pdf$");
    EXPECT_TRUE(pattern.match(QFileInfo(a).fileName()).hasMatch()) << a.toStdString();
    // Each test process has its own runtime folder; the copies live in it, never in the shared /tmp.
    EXPECT_EQ(QFileInfo(a).absolutePath(), QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath("vellumark"));
    EXPECT_EQ(modeOf(a), mode_t(0600));
    EXPECT_EQ(QFileInfo(a).size(), 0);
    EXPECT_EQ(modeOf(QFileInfo(a).absolutePath()), mode_t(0700));
    // Exclusive: an existing file is never taken over.
    EXPECT_FALSE(vmk::platform::createExclusiveFile(a));
    const QString folder = vmk::platform::temporaryPrivateFolder();
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    QFile::remove(a);
    QFile::remove(b);
    QDir(folder).removeRecursively();
}

TEST(TempFiles, PrivateFoldersAreTightenedAndFilesMadeOwnerOnly)
{
    QTemporaryDir root;
    const QString folder = root.filePath("a/b/Private");
    ASSERT_TRUE(vmk::platform::makePrivateFolder(folder));
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    QFile::setPermissions(folder, QFileDevice::Permissions(0x7755));
    ASSERT_TRUE(vmk::platform::makePrivateFolder(folder));
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    QFile file(folder + "/x");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(vmk::platform::makeFilePrivate(file.fileName()));
    EXPECT_EQ(modeOf(file.fileName()), mode_t(0600));
}

TEST(TempFiles, AStartRemovesOnlyTheCopiesTheApplicationMade)
{
    // The shared temporary folder is this test's own.
    QTemporaryDir sharedRoot;
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(sharedRoot.path()));
    const QDir shared(sharedRoot.path());
    const QString folder = vmk::platform::privateTemporaryFolder();
    const QString uuid = "0F8FAD5B-D9CB-469F-A165-70867728950E";

    // Ours: a working copy, a copy folder with its file, and an hour-old copy an earlier version left.
    const QString copy = vmk::platform::temporaryPdfPath();
    const QString copyFolder = vmk::platform::temporaryPrivateFolder();
    writeFile(copyFolder + "/Report.pdf");
    const QString legacy = shared.filePath("vmk-" + uuid + ".pdf");
    writeFile(legacy);
    makeOld(legacy);

    // Not ours, whatever the name begins with: each survives with what it holds.
    const QStringList foreign = {
        shared.filePath("vmk-notes/notes.txt"),            // the user's own folder, an hour old
        shared.filePath("vmk-" + uuid + "/Report.pdf"),    // our name, but nothing shows it is ours
        shared.filePath("vmk-" + uuid.toLower() + ".pdf"), // not the exact name
        folder + "/vmk-notes.pdf",
        folder + "/vmk-" + uuid + "/Report.pdf", // our folder's name without the marker
        folder + "/notes.txt",
    };
    for (const QString& path : foreign) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        writeFile(path);
        makeOld(path);
        makeOld(QFileInfo(path).absolutePath());
    }
    // A copy folder of ours that someone put more into is left whole.
    const QString filledFolder = vmk::platform::temporaryPrivateFolder();
    QDir().mkpath(filledFolder + "/kept");
    writeFile(filledFolder + "/kept/notes.txt");
    const QString fresh = shared.filePath("vmk-" + QString(uuid).replace('0', '1') + ".pdf");
    writeFile(fresh); // too young to be judged stale: a running older version may still use it
    QLocalServer server;
    ASSERT_TRUE(server.listen(folder + "/test.socket"));

    vmk::platform::removeStaleTemporaryFiles();
    qputenv("TMPDIR", savedTmp);

    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_FALSE(QFileInfo::exists(copyFolder));
    EXPECT_FALSE(QFileInfo::exists(legacy));
    for (const QString& path : foreign)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_TRUE(QFileInfo::exists(filledFolder + "/kept/notes.txt"));
    EXPECT_TRUE(QFileInfo::exists(fresh));
    EXPECT_TRUE(QFileInfo::exists(folder + "/test.socket"));
    QDir(filledFolder).removeRecursively();
}

TEST(TempFiles, TheApplicationsFoldersAreTheUsersAlone)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    QFile::setPermissions(data, QFileDevice::Permissions(0x7755));
    QSettings().setValue("probe", 1);
    QSettings().sync();
    vmk::platform::makeApplicationFoldersPrivate();
    EXPECT_EQ(modeOf(data), mode_t(0700));
    EXPECT_EQ(modeOf(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)), mode_t(0700));
    EXPECT_EQ(modeOf(QFileInfo(QSettings().fileName()).absolutePath()), mode_t(0700));
    EXPECT_EQ(modeOf(QSettings().fileName()), mode_t(0600));
    // Later writes of the settings keep the file private.
    QSettings().setValue("probe", 2);
    QSettings().sync();
    EXPECT_EQ(modeOf(QSettings().fileName()), mode_t(0600));
}
