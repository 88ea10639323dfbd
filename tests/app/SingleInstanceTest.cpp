// Two launches of the real program in one session: the second hands its files to the first and ends.
#include "platform/services/SingleInstance.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

using vmk::platform::SingleInstance;

namespace {

QString program() { return QStringLiteral(VMK_BUILD_DIR "/bin/vellumark"); }

QString onePagePdf(const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    QPdfWriter writer(path);
    QPainter painter(&writer);
    painter.drawText(200, 400, name);
    return path;
}

// The running process's answer, once it listens.
std::optional<QStringList> waitForInstance(QProcess& first)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000 && first.state() == QProcess::Running) {
        if (QFileInfo::exists(SingleInstance::socketPath("vellumark")))
            if (auto answer = SingleInstance::handOver("vellumark", {}, 2000))
                return answer;
        QThread::msleep(50);
    }
    return std::nullopt;
}

void stop(QProcess& process)
{
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

TEST(SingleInstance, ASecondLaunchHandsItsFilesToTheFirstAndEnds)
{
    if (!QFileInfo::exists(program()))
        GTEST_SKIP() << "the program is not built";
    QTemporaryDir dir;
    const QString a = onePagePdf(dir, "a.pdf");
    const QString b = onePagePdf(dir, "b.pdf");

    // A folder of the user's own whose name begins like our copies', two hours old: the start that
    // clears stale copies leaves it, and what it holds, alone.
    QTemporaryDir shared;
    const QString notes = shared.filePath("vmk-notes/notes.txt");
    QDir().mkpath(QFileInfo(notes).absolutePath());
    QFile(notes).open(QIODevice::WriteOnly);
    for (const QString& path : {notes, QFileInfo(notes).absolutePath()}) {
        const qint64 old = QDateTime::currentSecsSinceEpoch() - 7200;
        const timeval times[2] = {{old, 0}, {old, 0}};
        ::utimes(QFile::encodeName(path).constData(), times);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", shared.path());

    // Both processes share this test's private runtime folder, as two launches in one session do.
    QProcess first;
    first.setProcessEnvironment(environment);
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(program(), {a});
    ASSERT_TRUE(first.waitForStarted(5000));
    const auto before = waitForInstance(first);
    ASSERT_TRUE(before) << "the first launch never answered";
    EXPECT_EQ(*before, QStringList({a}));
    EXPECT_TRUE(QFileInfo::exists(notes));

    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(program(), {a, b});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    // One document per file across launches: a is still open once, b joined it.
    const auto after = SingleInstance::handOver("vellumark", {}, 5000);
    ASSERT_TRUE(after);
    EXPECT_EQ(*after, QStringList({a, b}));
    EXPECT_EQ(first.state(), QProcess::Running);

    stop(first);
    // A socket left by a process that is gone is taken over by the next launch.
    SingleInstance next;
    EXPECT_TRUE(next.claim());
    EXPECT_TRUE(next.isListening());
}

TEST(SingleInstance, APipeOrADeviceGivenAsTheFileHoldsUpNeitherTheLaunchNorLaterHandOvers)
{
    if (!QFileInfo::exists(program()))
        GTEST_SKIP() << "the program is not built";
    QTemporaryDir dir;
    const QString pipe = dir.filePath("pipe.pdf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString b = onePagePdf(dir, "b.pdf");

    // Waiting on the pipe for a writer, the first launch would never answer.
    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(program(), {pipe});
    ASSERT_TRUE(first.waitForStarted(5000));
    const auto before = waitForInstance(first);
    if (!before)
        stop(first);
    ASSERT_TRUE(before) << "the launch with a pipe never answered";
    EXPECT_TRUE(before->isEmpty());

    // Handed over, the pipe and an endless device are refused, and the real file beside them opens.
    QElapsedTimer clock;
    clock.start();
    const auto handed = SingleInstance::handOver("vellumark", {pipe, "/dev/zero", b}, 10000);
    EXPECT_LT(clock.elapsed(), 5000);
    ASSERT_TRUE(handed);
    EXPECT_EQ(*handed, QStringList({b}));
    EXPECT_EQ(first.state(), QProcess::Running);
    stop(first);
}
