#include "platform/services/Secrets.h"

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vmk::platform;

namespace {
template <typename String>
bool allZero(const String& s)
{
    for (auto unit : s)
        if (unit != decltype(unit)(0))
            return false;
    return true;
}
} // namespace

TEST(Secrets, OnlyABufferNobodyElseHoldsIsOverwritten)
{
    QString alone = ownedCopy(QStringLiteral("hunter2"));
    alone.reserve(64); // the spare room (where an earlier, longer password may have been) goes as well
    const QChar* buffer = alone.constData();
    EXPECT_TRUE(overwrite(alone));
    EXPECT_EQ(alone.constData(), buffer);
    EXPECT_EQ(alone.size(), 7);
    EXPECT_TRUE(allZero(QStringView(buffer, alone.capacity())));

    QByteArray bytes = QByteArrayLiteral("hunter2").toUpper();
    EXPECT_TRUE(overwrite(bytes));
    EXPECT_TRUE(allZero(bytes));

    // Another holder's password is never taken from under it, nor is a literal's read-only text touched.
    QString mine = ownedCopy(QStringLiteral("hunter2"));
    const QString theirs = mine;
    EXPECT_FALSE(overwrite(mine));
    EXPECT_EQ(theirs, "hunter2");
    QString literal = QStringLiteral("hunter2");
    EXPECT_FALSE(overwrite(literal));
    EXPECT_EQ(literal, "hunter2");

    // A copy of one's own shares nothing; wiping empties.
    EXPECT_FALSE(ownedCopy(theirs).data_ptr().isSharedWith(theirs.data_ptr()));
    std::optional<QString> held = ownedCopy(theirs);
    wipe(held);
    EXPECT_FALSE(held);
    EXPECT_EQ(theirs, "hunter2");
}

TEST(Secrets, AProcessThatKeepsItsMemoryPrivateWritesNoCoreFile)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        keepProcessMemoryPrivate();
        rlimit core {};
        ::getrlimit(RLIMIT_CORE, &core);
        ::_exit(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 && core.rlim_cur == 0 && core.rlim_max == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
