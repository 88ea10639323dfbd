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

namespace {
mode_t modeOf(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
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

TEST(TempFiles, StaleCopiesGoAtStartButTheInstanceSocketStays)
{
    const QString stale = vmk::platform::temporaryPdfPath();
    const QString staleFolder = vmk::platform::temporaryPrivateFolder();
    QFile(staleFolder + "/Report.pdf").open(QIODevice::WriteOnly);
    const QString folder = vmk::platform::privateTemporaryFolder();
    QLocalServer server;
    ASSERT_TRUE(server.listen(folder + "/test.socket"));
    vmk::platform::removeStaleTemporaryFiles();
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_FALSE(QFileInfo::exists(staleFolder));
    EXPECT_TRUE(QFileInfo::exists(folder + "/test.socket"));
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
