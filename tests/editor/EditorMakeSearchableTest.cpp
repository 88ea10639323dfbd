#include "LongTaskTestSupport.h"
#include "support/Wait.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

const QString kNoText = QStringLiteral("Found no text to read. Is it upside down, or just pictures?");

struct HeldFixture : EditorFixture {
    std::shared_ptr<HeldRunner> runner = std::make_shared<HeldRunner>();
    explicit HeldFixture(pdf::DocumentPtr pdf) : EditorFixture(std::move(pdf)) { editor->setDetachedRunner(runner); }
};

QString toastText(const Editor& editor) { return editor.toast() ? editor.toast()->text : QString(); }

} // namespace

TEST(EditorMakeSearchable, RefusesWhenThereIsNothingToDoOrItCannotStart)
{
    // Every page has text: a toast only, and the banner goes.
    EditorFixture withText(openPdf(makePdf({true, true})));
    withText.editor->setShowScanSuggestion(true);
    withText.editor->makeSearchable();
    EXPECT_FALSE(withText.editor->showScanSuggestion()); // at once, before the pages' text is read
    ASSERT_TRUE(makeSearchableDecided(*withText.editor));
    EXPECT_EQ(toastText(*withText.editor), QStringLiteral("Already searchable. Every page has text."));
    EXPECT_FALSE(withText.editor->progress().has_value());
    EXPECT_FALSE(withText.editor->showScanSuggestion());
    EXPECT_FALSE(withText.undo().canUndo());

    // Locked, or another task running: nothing at all, not even the banner's removal.
    EditorFixture locked(openPdf(lockedPdf(QStringLiteral("pw"))));
    locked.editor->setShowScanSuggestion(true);
    locked.editor->makeSearchable();
    EXPECT_TRUE(locked.editor->showScanSuggestion());
    EXPECT_FALSE(locked.editor->toast().has_value());

    HeldFixture busy(blankDocument(2, QSizeF(200, 100)));
    busy.editor->setProgress(TaskProgress{TaskProgress::Kind::generic, QStringLiteral("Busy"), std::nullopt, {}});
    busy.editor->setShowScanSuggestion(true);
    busy.editor->makeSearchable();
    EXPECT_TRUE(busy.editor->showScanSuggestion());
    EXPECT_EQ(busy.runner->held(), 0);
    EXPECT_EQ(busy.editor->progress()->title, QStringLiteral("Busy"));
}

TEST(EditorMakeSearchable, ReadsAsManyPagesAtOnceAsThePoolHasThreadsAndStopsWhenAsked)
{
    // Five pages without text; blank pictures read as nothing. Two workers: two pages in flight.
    PoolSize pool(2);
    HeldFixture f(blankDocument(5, QSizeF(200, 100)));
    f.editor->makeSearchable();
    ASSERT_TRUE(makeSearchableDecided(*f.editor));
    ASSERT_TRUE(f.editor->progress().has_value());
    EXPECT_EQ(f.editor->progress()->kind, TaskProgress::Kind::ocr);
    EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Reading page 1 of 5\u2026"));
    EXPECT_EQ(f.editor->progress()->fraction, 0.0);
    ASSERT_TRUE(bool(f.editor->progress()->cancel));
    ASSERT_TRUE(f.editor->runningTask());
    EXPECT_EQ(f.runner->held(), 2);

    // Other long tasks and a second start wait their turn.
    f.editor->makeSearchable();
    f.editor->exportFlattened();
    f.editor->applyRedactions();
    EXPECT_EQ(f.runner->held(), 2);

    // Pages are rendered up to two per worker ahead of their reading, and the costliest waiting page is read
    // first: of these blank ones the first. The title counts the pages read so far.
    ASSERT_TRUE(f.runner->runNext());
    ASSERT_TRUE(f.runner->runNext());
    ASSERT_TRUE(f.runner->runNext());
    EXPECT_EQ(f.runner->held(), 2); // page 4 rendering, page 1 reading
    EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Reading page 1 of 5\u2026"));
    ASSERT_TRUE(f.runner->runJob(1));
    EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Reading page 2 of 5\u2026"));
    EXPECT_DOUBLE_EQ(*f.editor->progress()->fraction, 0.2);
    EXPECT_EQ(f.runner->held(), 2); // pages 4 and 5 rendering
    ASSERT_TRUE(f.runner->runNext()); // four pages wait or render: page 2 is read

    // Stop while page 5 renders and page 2 is read: the reading finishes, nothing else starts.
    const std::function<void()> stop = f.editor->progress()->cancel;
    stop();
    EXPECT_TRUE(f.editor->progress().has_value());
    ASSERT_TRUE(f.runner->runNext());
    EXPECT_TRUE(f.editor->progress().has_value());
    EXPECT_EQ(f.runner->held(), 1);
    ASSERT_TRUE(f.runner->runNext());
    EXPECT_EQ(f.runner->held(), 0);
    EXPECT_FALSE(f.editor->progress().has_value());
    EXPECT_FALSE(f.editor->runningTask());
    EXPECT_EQ(toastText(*f.editor), kNoText);
    EXPECT_FALSE(f.undo().canUndo());

    // Stop after the end changes nothing.
    stop();
    EXPECT_FALSE(f.editor->runningTask());
}

TEST(EditorMakeSearchable, TheMostTextIsReadFirstAndStopKeepsWhatWasRead)
{
    PoolSize pool(2);
    HeldFixture f(openPdf(makeScannedPdf({QStringLiteral("HI"), QStringLiteral("WORLD"), QStringLiteral("ON")}, QSizeF(600, 150))));
    const QList<pdf::PagePtr> before = {f.page(0), f.page(1), f.page(2)};
    f.editor->makeSearchable();
    ASSERT_TRUE(makeSearchableDecided(*f.editor));
    ASSERT_TRUE(f.runner->runNext()); // page 1 rendered; page 3 starts rendering
    ASSERT_TRUE(f.runner->runNext()); // page 2 rendered: it holds more text than page 1 and is read first
    ASSERT_EQ(f.runner->held(), 2);
    f.editor->progress()->cancel(); // Stop: page 3's rendering is dropped, page 2's reading is kept
    f.runner->runAll();
    EXPECT_EQ(toastText(*f.editor), QStringLiteral("Text recognized. 1 page is now searchable."));
    EXPECT_TRUE(f.page(1)->text().contains(QStringLiteral("WORLD"), Qt::CaseInsensitive));
    EXPECT_EQ(f.page(0), before[0]);
    EXPECT_TRUE(f.page(0)->text().trimmed().isEmpty());
    EXPECT_EQ(f.page(2), before[2]);
    EXPECT_TRUE(f.page(2)->text().trimmed().isEmpty());
    f.undo().undo();
    EXPECT_TRUE(f.page(1)->text().trimmed().isEmpty());
}

TEST(EditorMakeSearchable, AnEditorThatGoesAwayLeavesTheDocumentAlone)
{
    HeldFixture f(openPdf(makeScannedPdf({QStringLiteral("HELLO")})));
    const pdf::PagePtr page = f.page(0);
    f.editor->makeSearchable();
    ASSERT_TRUE(makeSearchableDecided(*f.editor));
    f.editor.reset();
    f.runner->runAll();
    EXPECT_EQ(f.page(0), page);
    EXPECT_FALSE(f.undo().canUndo());
}

TEST(EditorMakeSearchable, RebuildsReadPagesInOneUndoableStep)
{
    EditorFixture f(openPdf(makeScannedPdf({QStringLiteral("HELLO"), QString(), QStringLiteral("WORLD")})));
    const QList<pdf::PagePtr> before = {f.page(0), f.page(1), f.page(2)};
    const pdf::AnnotationPtr note = pdf::Annotation::create(QStringLiteral("Square"), QRectF(10, 10, 30, 30));
    before[0]->addAnnotation(note);

    f.editor->makeSearchable();
    ASSERT_TRUE(test::eventually([&] { return f.editor->toast().has_value(); }, 120000));
    EXPECT_FALSE(f.editor->progress().has_value());
    EXPECT_EQ(toastText(*f.editor), QStringLiteral("Text recognized. 2 pages are now searchable."));
    // Rebuilt in place: the same pages, now with text.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(f.page(i), before[i]);
    EXPECT_TRUE(f.page(0)->text().contains(QStringLiteral("HELLO"), Qt::CaseInsensitive));
    EXPECT_TRUE(f.page(2)->text().contains(QStringLiteral("WORLD"), Qt::CaseInsensitive));
    EXPECT_EQ(note->page(), f.page(0));

    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Make Searchable"));
    f.undo().undo();
    EXPECT_EQ(f.page(0), before[0]);
    EXPECT_TRUE(f.page(0)->text().trimmed().isEmpty());
    EXPECT_TRUE(f.page(2)->text().trimmed().isEmpty());
    EXPECT_EQ(note->page(), before[0]);
    f.undo().redo();
    EXPECT_TRUE(f.page(0)->text().contains(QStringLiteral("HELLO"), Qt::CaseInsensitive));
    EXPECT_EQ(note->page(), f.page(0));

    // Pages with text now are left alone the next time: only the blank one is read again.
    QStringList titles;
    QObject::connect(f.editor.get(), &Editor::progressChanged, [&] {
        if (f.editor->progress())
            titles << f.editor->progress()->title;
    });
    f.editor->makeSearchable();
    ASSERT_TRUE(test::eventually([&] { return toastText(*f.editor) == kNoText; }, 120000));
    EXPECT_FALSE(f.editor->progress().has_value());
    EXPECT_EQ(titles.value(0), QStringLiteral("Reading page 1 of 1\u2026"));
}

TEST(EditorMakeSearchable, APageDeletedWhileReadingStaysDeletedWithItsAnnotations)
{
    HeldFixture f(openPdf(makeScannedPdf({QStringLiteral("HELLO"), QStringLiteral("WORLD")})));
    const pdf::PagePtr first = f.page(0);
    const pdf::AnnotationPtr note = pdf::Annotation::create(QStringLiteral("Square"), QRectF(10, 10, 30, 30));
    first->addAnnotation(note);
    f.editor->makeSearchable();
    ASSERT_TRUE(makeSearchableDecided(*f.editor));
    ASSERT_TRUE(f.runner->runNext());
    f.editor->deletePages({0});
    f.endGroup();
    f.runner->runAll();

    EXPECT_EQ(toastText(*f.editor), QStringLiteral("Text recognized. 1 page is now searchable."));
    ASSERT_EQ(f.pdf()->pageCount(), 1);
    EXPECT_TRUE(f.page(0)->text().contains(QStringLiteral("WORLD"), Qt::CaseInsensitive));
    EXPECT_EQ(note->page(), first);
    f.undo().undo(); // Make Searchable
    f.undo().undo(); // the deletion
    EXPECT_EQ(f.page(0), first);
    EXPECT_EQ(note->page(), first);
}

TEST(EditorMakeSearchable, APageTurnedWhileItIsReadKeepsItsTurnAndWhatWasReadIsDropped)
{
    HeldFixture f(openPdf(makeScannedPdf({QStringLiteral("HELLO"), QStringLiteral("WORLD")})));
    const pdf::PagePtr first = f.page(0);
    f.editor->makeSearchable();
    ASSERT_TRUE(makeSearchableDecided(*f.editor));
    ASSERT_TRUE(f.runner->runNext()); // the first page is copied and drawn for reading
    f.editor->rotatePages({first}, 90);
    f.endGroup();
    f.runner->runAll();

    // What was read on the page as it was drawn would land turned on the page as it is now.
    EXPECT_EQ(toastText(*f.editor), QStringLiteral("Text recognized. 1 page is now searchable."));
    EXPECT_EQ(f.page(0), first);
    EXPECT_EQ(first->rotation(), 90);
    EXPECT_TRUE(first->text().trimmed().isEmpty());
    EXPECT_TRUE(f.page(1)->text().contains(QStringLiteral("WORLD"), Qt::CaseInsensitive));
    f.undo().undo(); // Make Searchable
    EXPECT_TRUE(f.page(1)->text().trimmed().isEmpty());
    EXPECT_EQ(first->rotation(), 90);
    f.undo().undo(); // the turn
    EXPECT_EQ(first->rotation(), 0);
}

TEST(EditorMakeSearchable, ThePagesAreAskedAboutOnWorkersFirstAndWhatChangesMeanwhileCounts)
{
    // While the text is read a second start is ignored; a task started meanwhile wins.
    {
        HeldFixture f(openPdf(makeScannedPdf({QStringLiteral("HELLO"), QStringLiteral("WORLD")})));
        f.editor->makeSearchable();
        EXPECT_TRUE(f.editor->isCheckingForText());
        EXPECT_FALSE(f.editor->progress().has_value());
        f.editor->makeSearchable();
        f.editor->setProgress(TaskProgress{TaskProgress::Kind::generic, QStringLiteral("Busy"), std::nullopt, {}});
        ASSERT_TRUE(eventually([&] { return !f.editor->isCheckingForText(); }, 20000));
        EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Busy"));
        EXPECT_EQ(f.runner->held(), 0);
        EXPECT_FALSE(f.editor->toast().has_value());
    }
    // A document put in place while the text is read (a revert) ends the check without a word.
    {
        HeldFixture f(openPdf(makeScannedPdf({QStringLiteral("HELLO")})));
        f.editor->makeSearchable();
        ASSERT_TRUE(f.editor->isCheckingForText());
        f.document->setPdf(openPdf(makeScannedPdf({QStringLiteral("WORLD")})));
        f.editor->documentDidRevert();
        EXPECT_FALSE(f.editor->isCheckingForText());
        QTest::qWait(50);
        EXPECT_FALSE(f.editor->progress().has_value());
        EXPECT_FALSE(f.editor->toast().has_value());
        EXPECT_EQ(f.runner->held(), 0);
    }
    // A page deleted while the text is read is not read; one added meanwhile was not asked about.
    {
        HeldFixture f(openPdf(makeScannedPdf({QStringLiteral("HELLO"), QString(), QStringLiteral("WORLD")})));
        const pdf::PagePtr last = f.page(2);
        f.editor->makeSearchable();
        f.editor->deletePages({0});
        f.endGroup();
        ASSERT_TRUE(f.pdf()->insertPage(pdf::Page::createBlank(QRectF(0, 0, 300, 150)), 0).ok());
        ASSERT_TRUE(makeSearchableDecided(*f.editor));
        ASSERT_TRUE(f.editor->progress().has_value());
        EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Reading page 1 of 2\u2026"));
        f.runner->runAll();
        EXPECT_EQ(toastText(*f.editor), QStringLiteral("Text recognized. 1 page is now searchable."));
        EXPECT_EQ(f.page(2), last);
        EXPECT_TRUE(last->text().contains(QStringLiteral("WORLD"), Qt::CaseInsensitive));
        EXPECT_TRUE(f.page(0)->text().isEmpty());
    }
}

// Painting in this Qt hands large fills to Qt's global pool and waits for them: work of a long task must
// not sit there, or every frame of the window waits for a page to be read.
TEST(EditorMakeSearchable, WorkOfALongTaskLeavesTheWindowFreeToPaint)
{
    PoolSize pool(2);
    QSemaphore gate;
    QObject context;
    for (int i = 0; i < std::max(DetachedRunner::taskPool().maxThreadCount(), QThreadPool::globalInstance()->maxThreadCount()); ++i)
        DetachedRunner::threadPool()->run(&context, [&gate] { gate.tryAcquire(1, 20000); }, [] {});
    QImage frame(1600, 1000, QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer clock;
    clock.start();
    QPainter painter(&frame);
    painter.fillRect(frame.rect(), QColor(20, 40, 60, 200));
    painter.end();
    EXPECT_LT(clock.elapsed(), 5000);
    gate.release(64);
    DetachedRunner::taskPool().waitForDone();
}
