#include "EditorTestSupport.h"
#include "platform/pdf/document/TextLayout.h"
#include "support/Wait.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

// A selection of `length` characters at the first occurrence of text on the page.
pdf::Selection find(const pdf::PagePtr& page, const QString& text)
{
    const int start = int(page->text().indexOf(text));
    EXPECT_GE(start, 0);
    return page->selection(start, int(text.size()));
}

struct SearchFixture : EditorFixture {
    SearchFixture() : EditorFixture(pdf::Document::fromData(makeLinesPdf(3, 4)).value()) {}

    void waitForEnd() { ASSERT_TRUE(test::eventually([&] { return !editor->isSearching(); }, 10000)); }
};

} // namespace

TEST(EditorSearch, FindsTheTrimmedTextAndReportsItsHits)
{
    SearchFixture f;
    platform::LogCapture log;
    f.editor->search(QStringLiteral("  page 2\t"));
    EXPECT_EQ(f.editor->searchText(), QStringLiteral("  page 2\t"));
    EXPECT_TRUE(f.editor->isSearching());
    EXPECT_EQ(f.editor->sidebarTab(), SidebarTab::search);
    f.waitForEnd();

    const QList<SearchHit> hits = f.editor->searchHits();
    ASSERT_EQ(hits.size(), 4);
    for (int i = 0; i < hits.size(); ++i) {
        EXPECT_EQ(hits[i].id, i);
        EXPECT_EQ(hits[i].pageIndex, 1);
        EXPECT_EQ(hits[i].snippet.mid(hits[i].matchStart, hits[i].matchLength), QStringLiteral("page 2"));
        EXPECT_NEAR(hits[i].selection.color().alphaF(), 0.6, 0.01);
    }
    EXPECT_EQ(f.editor->currentHit(), 0);
    EXPECT_EQ(f.canvas->currentPage(), f.page(1));
    EXPECT_EQ(f.canvas->highlightedSelections().size(), 4);
    EXPECT_EQ(log.linesWithPrefix(QStringLiteral("signpost begin \"Search\"")).size(), 1);
    EXPECT_EQ(log.linesWithPrefix(QStringLiteral("signpost end \"Search\"")).size(), 1);
}

TEST(EditorSearch, BlankTextOrLockedDocumentOnlyClears)
{
    SearchFixture f;
    f.editor->search(QStringLiteral("page 1"));
    f.waitForEnd();
    ASSERT_FALSE(f.editor->searchHits().isEmpty());

    f.editor->search(QStringLiteral(" \t "));
    EXPECT_FALSE(f.editor->isSearching());
    EXPECT_TRUE(f.editor->searchHits().isEmpty());
    EXPECT_FALSE(f.editor->currentHit().has_value());
    EXPECT_TRUE(f.canvas->highlightedSelections().isEmpty());

    EditorFixture locked(pdf::Document::fromData(lockedPdf(QStringLiteral("pw"))).value());
    locked.editor->search(QStringLiteral("Page"));
    EXPECT_FALSE(locked.editor->isSearching());
    EXPECT_EQ(locked.editor->searchText(), QStringLiteral("Page"));
    EXPECT_NE(locked.editor->sidebarTab(), SidebarTab::search);
}

TEST(EditorSearch, ANewSearchReplacesTheRunningOne)
{
    SearchFixture f;
    f.editor->search(QStringLiteral("page 1"));
    f.editor->search(QStringLiteral("page 3"));
    f.waitForEnd();
    ASSERT_EQ(f.editor->searchHits().size(), 4);
    for (const SearchHit& hit : f.editor->searchHits())
        EXPECT_EQ(hit.pageIndex, 2);
}

TEST(EditorSearch, FirstMatchesShowAtOnceLaterOnesInBatchesAndOnlyTheFirstMovesTheView)
{
    SearchFixture f;
    f.editor->didMatchString({find(f.page(0), QStringLiteral("Line 1")), find(f.page(0), QStringLiteral("Line 2"))});
    ASSERT_EQ(f.editor->searchHits().size(), 2);
    EXPECT_EQ(f.editor->currentHit(), 0);
    EXPECT_EQ(f.canvas->currentSelection(), f.editor->searchHits()[0].selection);

    f.editor->didMatchString({find(f.page(1), QStringLiteral("Line 1"))});
    f.editor->didMatchString({find(f.page(2), QStringLiteral("Line 4"))});
    f.scheduler.advance(0.07);
    EXPECT_EQ(f.editor->searchHits().size(), 2);
    f.scheduler.advance(0.01);
    ASSERT_EQ(f.editor->searchHits().size(), 4);
    EXPECT_EQ(f.editor->searchHits()[3].id, 3);
    EXPECT_EQ(f.editor->searchHits()[3].pageIndex, 2);
    EXPECT_EQ(f.editor->currentHit(), 0);
    EXPECT_EQ(f.canvas->currentPage(), f.page(0));
    EXPECT_EQ(f.canvas->highlightedSelections().size(), 4);
}

TEST(EditorSearch, AFloodOfMatchesIsMadeIntoHitsOverSeveralTurnsInOrderBeforeTheSearchEnds)
{
    SearchFixture f;
    // The matches of a common word come by the thousand at once; the search ends only once all of them
    // are hits, in the order found, however many turns that takes.
    QList<pdf::Selection> flood;
    for (int i = 0; i < 4000; ++i)
        flood << find(f.page(i % 3), QStringLiteral("Line %1").arg(i % 4 + 1));
    f.editor->search(QStringLiteral("Line"));
    f.editor->cancelFind();
    f.editor->didMatchString(flood);
    f.editor->documentDidEndDocumentFind();
    for (int turn = 0; turn < 100 && f.editor->searchHits().size() < flood.size(); ++turn) {
        EXPECT_TRUE(f.editor->isSearching());
        f.scheduler.runDue();
    }
    ASSERT_EQ(f.editor->searchHits().size(), flood.size());
    EXPECT_FALSE(f.editor->isSearching());
    for (int i = 0; i < flood.size(); i += 997) {
        EXPECT_EQ(f.editor->searchHits()[i].id, i);
        EXPECT_EQ(f.editor->searchHits()[i].pageIndex, i % 3);
    }
    EXPECT_EQ(f.canvas->highlightedSelections().size(), flood.size());
}

TEST(EditorSearch, StepsThroughHitsWithWrapAround)
{
    SearchFixture f;
    // No hits: nothing to move to.
    f.editor->nextHit();
    f.editor->previousHit();
    EXPECT_FALSE(f.editor->currentHit().has_value());

    f.editor->didMatchString({find(f.page(0), QStringLiteral("Line 1")), find(f.page(1), QStringLiteral("Line 1")),
                              find(f.page(2), QStringLiteral("Line 1"))});
    f.editor->flushSearchHits();
    EXPECT_EQ(f.editor->currentHit(), 0);
    f.editor->previousHit();
    EXPECT_EQ(f.editor->currentHit(), 2);
    EXPECT_EQ(f.canvas->currentPage(), f.page(2));
    f.editor->nextHit();
    EXPECT_EQ(f.editor->currentHit(), 0);

    f.editor->selectHit(3);
    f.editor->selectHit(-1);
    EXPECT_EQ(f.editor->currentHit(), 0);

    f.editor->setMode(EditorMode::pages);
    f.editor->selectHit(1);
    EXPECT_EQ(f.editor->mode(), EditorMode::read);
    EXPECT_EQ(f.editor->currentHit(), 1);
    EXPECT_EQ(f.canvas->currentPage(), f.page(1));

    // With no current hit, the previous hit is the last one.
    f.editor->setCurrentHit(std::nullopt);
    f.editor->previousHit();
    EXPECT_EQ(f.editor->currentHit(), 2);
}

TEST(EditorSearch, CanvasDrawsTheCurrentHitApartFromTheRest)
{
    SearchFixture f;
    f.editor->didMatchString({find(f.page(0), QStringLiteral("Line 1")), find(f.page(1), QStringLiteral("Line 1"))});
    f.editor->flushSearchHits();
    EXPECT_EQ(f.canvas->highlightedSelections().size(), 2);
    EXPECT_EQ(f.canvas->currentHighlightIndex(), 0);

    // A later batch keeps the hit the user is on marked current.
    f.editor->nextHit();
    f.editor->didMatchString({find(f.page(2), QStringLiteral("Line 1"))});
    f.editor->flushSearchHits();
    EXPECT_EQ(f.canvas->highlightedSelections().size(), 3);
    EXPECT_EQ(f.canvas->currentHighlightIndex(), 1);

    f.editor->nextHit();
    EXPECT_EQ(f.canvas->currentHighlightIndex(), 2);
    EXPECT_EQ(f.canvas->highlightedSelections().size(), 3);
    f.editor->previousHit();
    f.editor->previousHit();
    EXPECT_EQ(f.canvas->currentHighlightIndex(), 0);
    f.editor->selectHit(2);
    EXPECT_EQ(f.canvas->currentHighlightIndex(), 2);
    EXPECT_EQ(f.canvas->highlightedSelections()[2], f.editor->searchHits()[2].selection);

    f.editor->search(QStringLiteral(" "));
    EXPECT_TRUE(f.canvas->highlightedSelections().isEmpty());
    EXPECT_EQ(f.canvas->currentHighlightIndex(), -1);
}

TEST(EditorSearch, SnippetsShowTheWordsAroundTheMatchAcrossLinesAndUpToTheEndOfThePage)
{
    SearchFixture f; // four lines a page: "Line n of page p text"
    f.editor->search(QStringLiteral("page 1"));
    f.waitForEnd();
    const QList<SearchHit> hits = f.editor->searchHits();
    ASSERT_EQ(hits.size(), 4);
    const QString ellipsis(QChar(0x2026));
    // The first line starts the page's text: its first word is whole and stays; the context runs on into
    // the next lines, which read as one line.
    EXPECT_EQ(hits[0].snippet, QStringLiteral("Line 1 of page 1 text Line 2 of page 1 text Line 3 of page 1") + ellipsis);
    // In the middle, a fragment before the context gives way to an ellipsis.
    EXPECT_TRUE(hits[1].snippet.startsWith(ellipsis)) << hits[1].snippet.toStdString();
    EXPECT_TRUE(hits[1].snippet.contains(QStringLiteral("text Line 2 of page 1 text Line 3"))) << hits[1].snippet.toStdString();
    // The last line ends the page's text: its last word is whole, so no ellipsis takes its place.
    EXPECT_TRUE(hits[3].snippet.endsWith(QStringLiteral("Line 4 of page 1 text"))) << hits[3].snippet.toStdString();
    for (const SearchHit& hit : hits) {
        EXPECT_EQ(hit.snippet.mid(hit.matchStart, hit.matchLength), QStringLiteral("page 1"));
        EXPECT_GT(hit.matchStart, 4) << "words before the match: " << hit.snippet.toStdString();
        // The emphasis is on this hit's line, not on the same words of the line before.
        EXPECT_TRUE(hit.snippet.left(hit.matchStart).endsWith(QStringLiteral("Line %1 of ").arg(hit.id + 1)))
            << hit.snippet.toStdString();
        EXPECT_GT(hit.snippet.size() - hit.matchStart - hit.matchLength, 4) << "words after the match";
    }
}

TEST(EditorSearch, AHitOnAShortPageShowsItsWholeLineNotTheMatchAndAnEllipsis)
{
    EditorFixture f(pdf::Document::fromData(makeLinesPdf(2, 1)).value()); // "Line 1 of page p text"
    f.editor->search(QStringLiteral("Line"));
    ASSERT_TRUE(test::eventually([&] { return !f.editor->isSearching(); }, 10000));
    const QList<SearchHit> hits = f.editor->searchHits();
    ASSERT_EQ(hits.size(), 2);
    EXPECT_EQ(hits[0].snippet, QStringLiteral("Line 1 of page 1 text"));
    EXPECT_EQ(hits[1].snippet, QStringLiteral("Line 1 of page 2 text"));
    EXPECT_EQ(hits[1].matchStart, 0);
    EXPECT_EQ(hits[1].matchLength, 4);
}

TEST(EditorSearch, ClosingTheDocumentReleasesItsPageText)
{
    const int textsBefore = pdf::TextLayout::liveCount();
    {
        SearchFixture f;
        f.editor->search(QStringLiteral("page"));
        f.waitForEnd();
        ASSERT_FALSE(f.editor->searchHits().isEmpty());
        EXPECT_EQ(pdf::TextLayout::liveCount(), textsBefore + f.pdf()->pageCount());
    }
    // The hits, their selections and the pages went with the window and its document.
    EXPECT_TRUE(test::eventually([&] { return pdf::TextLayout::liveCount() == textsBefore; }));
}
