#include "platform/services/SettingsWriter.h"
#include "platform/services/UserDefaults.h"

#include "support/MainThreadStall.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

using vmk::platform::SettingsWriter;
using vmk::platform::UserDefaults;
namespace test = vmk::test;

namespace {
constexpr char kQuitChild[] = "VMK_SETTINGS_QUIT_CHILD";

std::atomic<int> g_writes{0};
std::atomic<bool> g_wroteOnMainThread{false};
std::atomic<int> g_writeMs{0};

// The disk at its slowest: each durable write waits as long as the test says.
void slowWrite()
{
    if (QThread::currentThread() == QCoreApplication::instance()->thread())
        g_wroteOnMainThread = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(g_writeMs.load()));
    ++g_writes;
}

struct SlowDisk {
    explicit SlowDisk(int writeMs)
    {
        g_writes = 0;
        g_wroteOnMainThread = false;
        g_writeMs = writeMs;
        SettingsWriter::setWriteHookForTests(&slowWrite);
    }
    ~SlowDisk() { SettingsWriter::setWriteHookForTests(nullptr); }
};

// What the file on the disk holds: read from a copy, since every QSettings of this process on the file
// itself shares the writer's copy in memory.
QVariantMap onDisk(const QString& path)
{
    const QString copy = path + QStringLiteral(".copy.ini");
    QFile::remove(copy);
    if (!QFile::copy(path, copy))
        return {};
    QSettings settings(copy, QSettings::IniFormat);
    QVariantMap values = SettingsWriter::everyValue(settings);
    QFile::remove(copy);
    return values;
}
} // namespace

TEST(UserDefaultsWrites, TheWindowNeverWaitsForTheDiskAndReadsAnswerTheNewestValueAtOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("defaults.ini"));
    SlowDisk disk(300);
    UserDefaults defaults(path);
    // A burst of changes, as closing a window makes; each is read back at once, and none waits for a write.
    test::ThreadTimer burst;
    burst.start();
    for (int page = 0; page < 50; ++page) {
        defaults.set(QStringLiteral("Page"), page);
        EXPECT_EQ(defaults.integer(QStringLiteral("Page")), page);
    }
    defaults.set(QStringLiteral("Gone"), QStringLiteral("soon"));
    defaults.remove(QStringLiteral("Gone"));
    EXPECT_FALSE(defaults.contains(QStringLiteral("Gone")));
    EXPECT_LT(burst.elapsed(), test::scaledMs(100));
    EXPECT_TRUE(defaults.hasUnwrittenChanges());

    const qint64 stall = test::longestMainThreadStall([&] { return defaults.hasUnwrittenChanges(); }, 20000);
    EXPECT_FALSE(defaults.hasUnwrittenChanges());
    EXPECT_LT(stall, test::scaledMs(100)) << "each write waited " << g_writeMs << " ms";
    std::printf("longest main-thread stall %lld ms\n", static_cast<long long>(stall));
    EXPECT_GE(g_writes.load(), 1);
    EXPECT_FALSE(g_wroteOnMainThread.load());
    EXPECT_EQ(defaults.integer(QStringLiteral("Page")), 49);

    const QVariantMap file = onDisk(path);
    EXPECT_EQ(file.value(QStringLiteral("Page")).toInt(), 49);
    EXPECT_FALSE(file.contains(QStringLiteral("Gone")));
}

TEST(UserDefaultsWrites, ChangesReachTheFileInOrderAndWhatAnotherProcessWroteIsTakenIn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("defaults.ini"));
    // Writes slow enough that changes keep arriving while one is under way, and written stores come back
    // while later changes are still on their way.
    SlowDisk disk(15);
    UserDefaults defaults(path);
    QVariantMap model;
    // Values keep their type until the file is read again.
    auto check = [&](int round, bool asText = false) {
        for (const QString& key : {QStringLiteral("Count"), QStringLiteral("Key0"), QStringLiteral("Key1"),
                                   QStringLiteral("Key2"), QStringLiteral("Window/Frame"), QStringLiteral("Window/Split")}) {
            if (asText)
                EXPECT_EQ(defaults.string(key), model.value(key).toString()) << qPrintable(key);
            else
                EXPECT_EQ(defaults.object(key), model.value(key)) << qPrintable(key) << " in round " << round;
        }
    };
    for (int round = 0; round < 40; ++round) {
        const QString key = QStringLiteral("Key%1").arg(round % 3);
        defaults.set(QStringLiteral("Count"), round);
        defaults.set(key, round);
        model[QStringLiteral("Count")] = round;
        model[key] = round;
        if (round % 4 == 0) {
            defaults.remove(QStringLiteral("Key0"));
            model.remove(QStringLiteral("Key0"));
        }
        if (round % 10 == 3) {
            defaults.set(QStringLiteral("Window/Frame"), QStringLiteral("0 0 %1 400").arg(round));
            defaults.set(QStringLiteral("/Window//Split/"), round);
            model[QStringLiteral("Window/Frame")] = QStringLiteral("0 0 %1 400").arg(round);
            model[QStringLiteral("Window/Split")] = round;
        }
        if (round % 10 == 7) {
            // Removing a key removes the keys under it.
            defaults.remove(QStringLiteral("Window"));
            model.remove(QStringLiteral("Window/Frame"));
            model.remove(QStringLiteral("Window/Split"));
        }
        check(round);
        QTest::qWait(round % 5 == 0 ? 30 : 2);
        check(round);
    }
    defaults.sync();
    QVariantMap file = onDisk(path);
    for (auto it = file.begin(); it != file.end(); ++it)
        *it = it->toString();
    QVariantMap expected;
    for (auto it = model.begin(); it != model.end(); ++it)
        expected.insert(it.key(), it->toString());
    EXPECT_EQ(file, expected);

    // Another process adds a key to the file: the next write takes it in, and keeps this one's values.
    QFile other(path);
    ASSERT_TRUE(other.open(QIODevice::Append));
    other.write("\n[Elsewhere]\nOther=5\n");
    other.close();
    defaults.sync();
    ASSERT_TRUE(test::eventually([&] { return defaults.integer(QStringLiteral("Elsewhere/Other")) == 5; }));
    check(40, true);
}

// The child of the next test: the process's standard defaults, with changes made just before the event
// loop quits and after it has quit, each written slowly.
TEST(UserDefaultsWrites, QuitChild)
{
    const QString dir = qEnvironmentVariable(kQuitChild);
    if (dir.isEmpty())
        GTEST_SKIP() << "runs only as a child of WhatWasSetBeforeTheProcessEndsIsOnTheDisk";
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    SlowDisk disk(400);
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(QStringLiteral("BeforeQuit"), QStringLiteral("kept"));
    QTimer::singleShot(0, [&defaults] {
        for (int i = 0; i <= 9; ++i)
            defaults.set(QStringLiteral("Last"), i);
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    // Once the loop is over, the application object goes at the end of main.
    defaults.set(QStringLiteral("AfterQuit"), 7);
}

TEST(UserDefaultsWrites, WhatWasSetBeforeTheProcessEndsIsOnTheDisk)
{
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kQuitChild, dir.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=UserDefaultsWrites.QuitChild"});
    const bool finished = child.waitForFinished(test::scaledMs(20000));
    if (!finished)
        child.kill();
    const QByteArray output = child.readAll();
    ASSERT_TRUE(finished) << output.constData();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.constData();

    // Read by this process, which never had the file open.
    QSettings file(dir.filePath(QStringLiteral("VellumarkTests/VellumarkTests.conf")), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("BeforeQuit")).toString(), QStringLiteral("kept"));
    EXPECT_EQ(file.value(QStringLiteral("Last")).toInt(), 9);
    EXPECT_EQ(file.value(QStringLiteral("AfterQuit")).toInt(), 7);
}
