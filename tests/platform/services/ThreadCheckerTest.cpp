// The thread-sanitized build must see races in our code wherever it runs, Qt's worker threads included:
// its suppressions name third-party frames only.
#include <QCoreApplication>
#include <QProcess>
#include <QThreadPool>
#include <gtest/gtest.h>

// Run only by the test below, in a process of its own: two threads write one int with nothing between.
TEST(ThreadChecker, DISABLED_RaceOnAPoolThread)
{
    auto* value = new int(0);
    QThreadPool pool;
    pool.start([value] { *value = 2; });
    *value = 1;
    pool.waitForDone();
    delete value;
}

TEST(ThreadChecker, ARaceOfOursOnAPoolThreadIsReported)
{
#if !defined(VMK_SANITIZE_THREAD)
    GTEST_SKIP() << "only a thread-sanitized build looks for races";
#endif
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=ThreadChecker.DISABLED_RaceOnAPoolThread"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray errors = child.readAllStandardError();
    EXPECT_TRUE(errors.contains("WARNING: ThreadSanitizer: data race")) << errors.toStdString();
    EXPECT_EQ(child.exitCode(), 66); // the build's exit code for a report
}
