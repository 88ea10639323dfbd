// The user's own install: program, libraries, icon and a desktop entry that the desktop accepts.
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Install, PutsTheProgramEntryAndIconWhereTheDesktopLooks)
{
    const QString source = QDir::cleanPath(QStringLiteral(VMK_TEST_DATA_DIR "/../.."));
    const QString script = source + "/scripts/install-user.sh";
    if (!QFileInfo::exists(QStringLiteral(VMK_BUILD_DIR "/bin/vellumark")))
        GTEST_SKIP() << "the program is not built";
    QTemporaryDir home;
    QProcess install;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.remove("PREFIX");
    install.setProcessEnvironment(env);
    install.start("bash", {script, VMK_BUILD_DIR});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString()
                                     << install.readAllStandardOutput().toStdString();

    const QString program = home.filePath(".local/bin/vellumark");
    const QString entry = home.filePath("data/applications/vellumark.desktop");
    EXPECT_TRUE(QFileInfo(program).isExecutable());
    EXPECT_TRUE(QFileInfo::exists(home.filePath("data/icons/hicolor/scalable/apps/vellumark.svg")));
    const QByteArray text = vmk::test::readFile(entry);
    EXPECT_TRUE(text.contains("Exec=\"" + program.toUtf8() + "\" %F")) << text.toStdString();
    EXPECT_TRUE(text.contains("MimeType=application/pdf;"));
    EXPECT_TRUE(text.contains("Icon=vellumark"));
    if (vmk::test::commandExists("desktop-file-validate")) {
        const auto validated = vmk::test::runCommand("desktop-file-validate", {entry});
        EXPECT_EQ(validated.exitCode, 0) << validated.out.toStdString();
        EXPECT_TRUE(validated.out.trimmed().isEmpty()) << validated.out.toStdString();
    }
    // The installed program finds its own library next to it, not the build tree's.
    const auto linked = vmk::test::runCommand("ldd", {program});
    EXPECT_TRUE(linked.out.contains(home.filePath(".local/bin/../lib/libvmk_platform.so").toUtf8())
                || linked.out.contains(home.filePath(".local/lib/libvmk_platform.so").toUtf8()))
        << linked.out.toStdString();
    EXPECT_FALSE(linked.out.contains("not found")) << linked.out.toStdString();
}
