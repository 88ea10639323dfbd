// Programs started from the application's threads (second engines in tests, helpers in the app), and the
// thread that started one going on to hand work to other threads under locks afterwards. In a
// ThreadSanitizer build the second half failed: the way Qt starts programs left the starting thread's locks
// unseen by the sanitizer, which then reported races on everything they guard
// (platform/services/SanitizedChildProcesses.cpp).

#include "platform/services/SteadyCondition.h"
#include "support/TestFiles.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

using namespace vmk;
using namespace std::chrono_literals;

TEST(ChildProcesses, TheStartingThreadStillHandsWorkToOtherThreadsUnderLocksAfterwards)
{
    for (int round = 1; round <= 2; ++round) {
        const test::CommandResult child =
            test::runCommand(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("printf started; exit 3")});
        EXPECT_EQ(child.exitCode, 3);
        EXPECT_EQ(child.out, QByteArray("started"));

        // The waiting side looks first and the worker answers later, as a wait for a worker does.
        std::mutex mutex;
        platform::SteadyCondition answered;
        int answer = 0;
        std::thread worker([&] {
            std::this_thread::sleep_for(20ms);
            std::lock_guard held(mutex);
            answer = round;
            answered.notifyAll();
        });
        {
            std::unique_lock lock(mutex);
            EXPECT_TRUE(answered.waitFor(lock, 10s, [&] { return answer != 0; }));
            EXPECT_EQ(answer, round);
        }
        worker.join();
    }

    // A program that cannot be run is still told apart from one that ran.
    QProcess missing;
    missing.start(QStringLiteral("vmk-no-such-program"), {});
    EXPECT_FALSE(missing.waitForStarted());
    EXPECT_EQ(missing.error(), QProcess::FailedToStart);
}
