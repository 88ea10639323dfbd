// Opening or unlocking a file that takes seconds to read, stopped by the user with a real key press: the
// caller gets control back within a bound, the reading ends on its worker, nothing is left half-open.

#include "HostilePages.h"
#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"
#include "platform/pdf/detail/AnsweringWait.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vmk;
using vmk::pdf::detail::runningWaitWorkers;
using vmk::test::scaledMs;

namespace {

// Eight pages, each with 32,768 links and their actions packed into a compressed stream of its own: the
// engine parses each stream whole, and opening reads them all ahead, seconds of work. Made once per binary.
const QByteArray& packedData()
{
    static const QByteArray data = test::packedPagesPdf(8, 32768);
    return data;
}

// Presses Esc in the window `afterMs` into what comes next.
void pressEscAfter(QWidget& window, int afterMs)
{
    QTimer::singleShot(afterMs, &window, [&window] { QTest::keyClick(window.windowHandle(), Qt::Key_Escape); });
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

TEST(StoppedWaits, EscStopsOpeningAHugeFileAtOnceAndItsReadingEndsOnItsWorker)
{
    const QByteArray& data = packedData();
    TypingWindow shown;
    const int workersBefore = runningWaitWorkers();
    pressEscAfter(shown.field, 200);
    QElapsedTimer took;
    took.start();
    bool cancelled = false;
    const auto opened = pdf::Document::fromDataWhileAnswering(data, &cancelled);
    const qint64 stoppedMs = took.elapsed();
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(opened);
    EXPECT_LT(stoppedMs, 200 + scaledMs(150));
    // The reading stops at its next look and frees what it made, on its own thread.
    EXPECT_TRUE(test::eventually([&] { return runningWaitWorkers() == workersBefore; }, scaledMs(3000)));
    qInfo("stopped after %lld ms; worker ended after %lld ms", stoppedMs, took.elapsed());

    // The window takes keys again, and the same data opens in full when nobody stops it.
    for (char c : {'a', 'b', 'c'})
        QTest::keyClick(shown.field.windowHandle(), c);
    EXPECT_EQ(shown.field.text(), QStringLiteral("abc"));
    took.restart();
    const auto again = pdf::Document::fromDataWhileAnswering(data, &cancelled);
    qInfo("a full opening took %lld ms", took.elapsed());
    EXPECT_FALSE(cancelled);
    ASSERT_TRUE(again);
    EXPECT_EQ(again.value()->pageCount(), 8);
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
