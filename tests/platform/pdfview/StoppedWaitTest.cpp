// Opening or unlocking a file that takes seconds to read, stopped by the user with a real key press: the
// caller gets control back within a bound, the reading ends on its worker, nothing is left half-open.

#include "HostilePages.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/engine/WaitRunner.h"
#include "support/MainThreadStall.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace vmk;
using vmk::pdf::detail::runningWaitWorkers;
using vmk::test::scaledMs;

namespace {

// Sixteen pages, each with 8,192 links and their actions packed into a compressed stream of its own: the
// engine parses each stream whole, and opening reads them all ahead, seconds of work. Made once per binary.
const QByteArray& packedData()
{
    static const QByteArray data = test::packedPagesPdf(16, 8192);
    return data;
}

struct TypingWindow {
    QLineEdit field;
    TypingWindow()
    {
        field.resize(200, 30);
        field.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&field));
    }
};

} // namespace

// The same file is read in full on a thread of its own at the same time: how long reading on would take
// on this machine, loaded as it is right now. The stopped reading must end well before that one does.
TEST(StoppedWaits, EscStopsOpeningAHugeFileAtOnceAndItsReadingEndsOnItsWorker)
{
    const QByteArray& data = packedData();
    TypingWindow shown;
    const int workersBefore = runningWaitWorkers();
    QElapsedTimer took;
    took.start();
    std::atomic<qint64> fullReadNs{-1};
    std::atomic<int> fullPages{0};
    std::thread reference([&] {
        const auto full = pdf::Document::fromData(data);
        fullReadNs = took.nsecsElapsed();
        fullPages = full ? full.value()->pageCount() : -1;
    });

    // What happens after the key is measured from the key: a loaded machine may press it late.
    qint64 pressedNs = -1, waitedAtPress = 0;
    QTimer::singleShot(0, &shown.field, [&] {
        waitedAtPress = test::runQueueWaitNs();
        pressedNs = took.nsecsElapsed();
        QTest::keyClick(shown.field.windowHandle(), Qt::Key_Escape);
    });
    bool cancelled = false;
    const auto opened = pdf::Document::fromDataWhileAnswering(data, &cancelled);
    // Time the system kept this thread off the processor is not the wait's doing.
    const qint64 answeredMs = (took.nsecsElapsed() - pressedNs - (test::runQueueWaitNs() - waitedAtPress)) / 1000000;
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(opened);
    ASSERT_GE(pressedNs, 0) << "the opening ended before the key";
    EXPECT_LT(answeredMs, scaledMs(150));
    // The reading stops at its next look and frees what it made, on its own thread. The time allowed only
    // ends a reading that never stops.
    const bool ended = test::eventually([&] { return runningWaitWorkers() == workersBefore; }, scaledMs(60000));
    const qint64 endedNs = took.nsecsElapsed();
    reference.join();
    ASSERT_TRUE(ended);
    ASSERT_EQ(fullPages, 16);
    qInfo("answered %lld ms after the key; the stopped reading ended after %lld ms, the full one after %lld ms",
          answeredMs, endedNs / 1000000, fullReadNs / 1000000);
    // The engine's first reading of the file cannot be left half-way: a quarter of the whole or so.
    EXPECT_LT(double(endedNs), double(fullReadNs) * 0.6);

    // The window takes keys again, and a later opening runs to its end.
    for (char c : {'a', 'b', 'c'})
        QTest::keyClick(shown.field.windowHandle(), c);
    EXPECT_EQ(shown.field.text(), QStringLiteral("abc"));
    const auto again = pdf::Document::fromDataWhileAnswering(test::packedPagesPdf(2, 100), &cancelled);
    EXPECT_FALSE(cancelled);
    ASSERT_TRUE(again);
    EXPECT_EQ(again.value()->pageCount(), 2);
}

TEST(StoppedWaits, EscStopsUnlockingAndTheDocumentStaysLockedUntilUnlockedAgain)
{
    // 65,540 objects packed in one stream behind a password: the unlock reads them all ahead.
    static const QByteArray data = [] {
        const pdf::DocumentPtr plain = pdf::Document::fromData(test::packedLinksPdf(32768)).value();
        return plain->dataRepresentation(pdf::WriteOptions::protect(QStringLiteral("secret"))).value();
    }();
    TypingWindow shown;
    const pdf::DocumentPtr document = pdf::Document::fromData(data).value();
    ASSERT_TRUE(document->isLocked());
    // Pressed as soon as the wait answers the user: the stream being parsed is finished, nothing after it.
    QTimer::singleShot(0, &shown.field, [&] { QTest::keyClick(shown.field.windowHandle(), Qt::Key_Escape); });
    bool cancelled = false;
    EXPECT_FALSE(document->unlock(QStringLiteral("secret"), &cancelled));
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(document->isLocked());
    EXPECT_EQ(document->pageCount(), 0);

    EXPECT_EQ(document->unlock(QStringLiteral("secret"), &cancelled), pdf::PasswordKind::Owner);
    EXPECT_FALSE(cancelled);
    ASSERT_EQ(document->pageCount(), 1);
    EXPECT_EQ(document->page(0)->annotationCount(), 32768u);
}
