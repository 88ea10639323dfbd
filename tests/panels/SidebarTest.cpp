#include "PanelTestSupport.h"

#include "chrome/RollingLabel.h"

#include "panels/FormParts.h"
#include "panels/OutlineSidebar.h"
#include "panels/SearchListRules.h"
#include "panels/SearchSidebar.h"
#include "panels/SidebarView.h"

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QToolButton>
#include <QTreeWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

namespace {

pdf::OutlineItem entry(const QString& label, std::optional<pdf::Destination> destination, QList<pdf::OutlineItem> children = {})
{
    pdf::OutlineItem item;
    item.label = label;
    item.destination = std::move(destination);
    item.children = std::move(children);
    return item;
}

SearchHit hit(int id, int page, const QString& snippet, int start, int length)
{
    SearchHit h;
    h.id = id;
    h.pageIndex = page;
    h.snippet = snippet;
    h.matchStart = start;
    h.matchLength = length;
    return h;
}

// A sidebar whose thumbnails are a plain marker widget, counting how often it was made.
struct SidebarUnderTest {
    int made = 0;
    SidebarView view;
    explicit SidebarUnderTest(Editor* editor)
        : view(editor, [this](Editor*) {
              ++made;
              auto* w = new QWidget;
              w->setObjectName(QStringLiteral("thumbnails"));
              return w;
          })
    {
    }
};

} // namespace

TEST(Sidebar, SegmentsFollowTheEditorsTabBothWays)
{
    PanelFixture f;
    SidebarUnderTest s(f.editor.get());
    ASSERT_EQ(s.view.segments().size(), 3);
    const QStringList tips{"Thumbnails", "Contents", "Search"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.view.segments()[i]->toolTip(), tips[i]);
        EXPECT_TRUE(s.view.segments()[i]->text().isEmpty()) << "segments show their symbol only";
    }
    EXPECT_TRUE(s.view.segments()[0]->isChecked());

    // A segment writes the tab at once.
    click(s.view.segments()[2]);
    EXPECT_EQ(f.editor->sidebarTab(), SidebarTab::search);
    EXPECT_EQ(s.view.currentContent(), s.view.searchList());

    // The tab set from elsewhere switches the segment and the content.
    f.editor->setSidebarTab(SidebarTab::outline);
    EXPECT_TRUE(s.view.segments()[1]->isChecked());
    EXPECT_FALSE(s.view.segments()[2]->isChecked());
    EXPECT_EQ(s.view.currentContent(), s.view.outlineList());
}

TEST(Sidebar, ThumbnailsWaitOneTurnAfterFirstAppearingAndStay)
{
    PanelFixture f;
    SidebarUnderTest s(f.editor.get());
    s.view.resize(240, 500);
    s.view.show();
    EXPECT_FALSE(s.view.isReady());
    EXPECT_EQ(s.view.thumbnails(), nullptr);
    EXPECT_EQ(s.made, 0);

    f.scheduler.runDue();
    EXPECT_TRUE(s.view.isReady());
    ASSERT_NE(s.view.thumbnails(), nullptr);
    EXPECT_EQ(s.view.currentContent(), s.view.thumbnails());

    // Other tabs never wait; coming back shows the same thumbnails at once.
    f.editor->setSidebarTab(SidebarTab::search);
    s.view.hide();
    s.view.show();
    f.scheduler.runDue();
    f.editor->setSidebarTab(SidebarTab::thumbnails);
    EXPECT_EQ(s.view.currentContent(), s.view.thumbnails());
    EXPECT_EQ(s.made, 1);
}

TEST(Sidebar, LockedDocumentShowsLockedInThumbnailsAndEmptyListsElsewhere)
{
    PanelFixture f;
    f.pdf()->setOutline(entry(QString(), std::nullopt, {entry("Intro", pdf::Destination{f.page(1), {}})}));
    // Lock the document: the Editor re-reads it as locked.
    QByteArray data;
    {
        pdf::WriteOptions options;
        options.encryption = pdf::WriteOptions::Encryption::Protect;
        options.userPassword = QStringLiteral("pw");
        options.ownerPassword = QStringLiteral("pw");
        auto bytes = f.pdf()->dataRepresentation(options);
        ASSERT_TRUE(bytes.ok());
        data = *bytes;
    }
    auto locked = pdf::Document::fromData(data);
    ASSERT_TRUE(locked.ok());
    f.document->setPdf(*locked);
    f.editor->attachDocument(false);
    ASSERT_TRUE(f.editor->isLocked());

    SidebarUnderTest s(f.editor.get());
    s.view.show();
    f.scheduler.runDue();
    EXPECT_EQ(s.view.currentContent(), s.view.lockedState());
    EXPECT_EQ(s.view.lockedState()->title(), QStringLiteral("Locked"));
    EXPECT_EQ(s.view.lockedState()->description(), QStringLiteral("Unlock the PDF to see its pages."));
    EXPECT_EQ(s.made, 0);

    // The contents tab shows its own empty state and loads nothing while locked.
    f.editor->setSidebarTab(SidebarTab::outline);
    EXPECT_TRUE(s.view.outlineList()->showsEmptyState());
    EXPECT_FALSE(f.editor->outlineLoaded());
    f.editor->setSidebarTab(SidebarTab::search);
    EXPECT_EQ(s.view.searchList()->state(), SearchListState::prompt);

    // After unlocking, the thumbnails replace the placeholder and the next visit to the contents loads.
    ASSERT_TRUE(f.editor->unlock(QStringLiteral("pw")));
    f.editor->setSidebarTab(SidebarTab::thumbnails);
    EXPECT_EQ(s.view.currentContent(), s.view.thumbnails());
    f.editor->setSidebarTab(SidebarTab::outline);
    EXPECT_TRUE(f.editor->outlineLoaded());
    EXPECT_FALSE(s.view.outlineList()->showsEmptyState());
}

TEST(OutlineList, LoadsOnceOnFirstAppearanceAndRowsGoToTheirPlace)
{
    PanelFixture f(6);
    f.pdf()->setOutline(entry(QString(), std::nullopt,
                              {entry("Chapter One", pdf::Destination{f.page(2), {0, 700}},
                                     {entry("Section", pdf::Destination{f.page(3), {}})}),
                               entry("Appendix", pdf::Destination{f.page(5), {}})}));
    QSignalSpy loads(f.editor.get(), &Editor::outlineChanged);
    OutlineSidebar list(f.editor.get());
    EXPECT_EQ(loads.count(), 0) << "nothing is built before the list appears";
    EXPECT_TRUE(list.showsEmptyState());
    EXPECT_EQ(list.emptyState()->title(), QStringLiteral("No Table of Contents"));

    list.show();
    EXPECT_TRUE(f.editor->outlineLoaded());
    EXPECT_EQ(loads.count(), 1);
    ASSERT_EQ(list.tree()->topLevelItemCount(), 2);
    QTreeWidgetItem* chapter = list.tree()->topLevelItem(0);
    EXPECT_EQ(chapter->text(0), QStringLiteral("Chapter One"));
    EXPECT_EQ(chapter->text(1), QStringLiteral("3"));
    ASSERT_EQ(chapter->childCount(), 1);
    EXPECT_EQ(chapter->child(0)->text(1), QStringLiteral("4"));

    // Appearing again does not rebuild.
    list.hide();
    list.show();
    EXPECT_EQ(loads.count(), 1);

    // A click goes to the entry's destination.
    list.tree()->itemClicked(list.tree()->topLevelItem(1), 0);
    EXPECT_EQ(f.canvas->currentPage(), f.page(5));

    // So do the keys: arrows move through the rows and open a chapter, Return or Enter goes there.
    QTreeWidget* tree = list.tree();
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Home);
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(f.canvas->currentPage(), f.page(2));
    QTest::keyClick(tree, Qt::Key_Right); // opens the chapter
    QTest::keyClick(tree, Qt::Key_Down);  // to its section
    QTest::keyClick(tree, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(f.canvas->currentPage(), f.page(3));
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(f.canvas->currentPage(), f.page(3)) << "moving through the rows goes nowhere by itself";
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(f.canvas->currentPage(), f.page(5));

    // Without a destination the page index serves; with neither nothing happens; no page, no number.
    OutlineItem byPage;
    byPage.pageIndex = 1;
    list.activate(byPage);
    EXPECT_EQ(f.canvas->currentPage(), f.page(1));
    list.activate(OutlineItem{});
    EXPECT_EQ(f.canvas->currentPage(), f.page(1));
    OutlineItem noPage;
    noPage.title = QStringLiteral("Nowhere");
    f.editor->setOutline(Outline(QList<OutlineItemPtr>{std::make_shared<OutlineItem>(noPage)}));
    ASSERT_EQ(list.tree()->topLevelItemCount(), 1);
    EXPECT_TRUE(list.tree()->topLevelItem(0)->text(1).isEmpty());
}

TEST(OutlineList, DocumentWithoutOutlineShowsTheEmptyState)
{
    PanelFixture f;
    OutlineSidebar list(f.editor.get());
    list.show();
    EXPECT_TRUE(f.editor->outlineLoaded());
    EXPECT_TRUE(list.showsEmptyState());
    EXPECT_EQ(list.emptyState()->description(), QStringLiteral("This PDF keeps things casual. Try thumbnails or search."));
}

TEST(SearchList, RulesForQueryStateCountAndSnippet)
{
    EXPECT_EQ(searchQuery(QStringLiteral(" \tword \t")), QStringLiteral("word"));
    EXPECT_EQ(searchQuery(QStringLiteral("\nword\n")), QStringLiteral("\nword\n")) << "line breaks are not trimmed";

    EXPECT_EQ(searchListState(QStringLiteral("   "), 4, false), SearchListState::prompt);
    EXPECT_EQ(searchListState(QStringLiteral("x"), 0, false), SearchListState::noResults);
    EXPECT_EQ(searchListState(QStringLiteral("x"), 0, true), SearchListState::results);
    EXPECT_EQ(searchListState(QStringLiteral("x"), 2, false), SearchListState::results);

    EXPECT_EQ(matchCountText(1, false), QStringLiteral("1 match"));
    EXPECT_EQ(matchCountText(0, true), QStringLiteral("Searching…"));
    EXPECT_EQ(matchCountText(12, false), QStringLiteral("12 matches"));
    EXPECT_EQ(hitPageText(0), QStringLiteral("Page 1"));

    // The match is emphasised, and the document's own text cannot inject markup.
    const QString html = snippetHtml(hit(0, 0, QStringLiteral("a <b> & the word here"), 12, 4));
    EXPECT_TRUE(html.startsWith(QStringLiteral("a &lt;b&gt; &amp; the ")));
    EXPECT_TRUE(html.contains(QStringLiteral("font-weight:600\">word</span>")));
    // A match range beyond the snippet is clamped rather than read past the end.
    EXPECT_TRUE(snippetHtml(hit(0, 0, QStringLiteral("abc"), 2, 10)).contains(QStringLiteral(">c</span>")));
}

TEST(SearchList, ShowsHitsFollowsTheCurrentHitAndSelectsOnClick)
{
    PanelFixture f(8);
    SearchSidebar list(f.editor.get());
    list.resize(260, 200);
    list.show();
    EXPECT_EQ(list.state(), SearchListState::prompt);
    EXPECT_EQ(list.emptyState()->title(), QStringLiteral("Search This PDF"));

    // A running search with no hits yet: the header and spinner, not the no-results view.
    f.editor->setSearchText(QStringLiteral("word"));
    f.editor->setIsSearching(true);
    EXPECT_EQ(list.state(), SearchListState::results);
    EXPECT_EQ(list.header()->text(), QStringLiteral("Searching…"));
    EXPECT_TRUE(list.spinner()->isVisible());
    EXPECT_EQ(list.list()->count(), 0);

    QList<SearchHit> hits;
    for (int i = 0; i < 30; ++i)
        hits << hit(i, i / 4, QStringLiteral("…the word on a page"), 5, 4);
    f.editor->setSearchHits(hits.mid(0, 10));
    f.editor->setSearchHits(hits);
    f.editor->setIsSearching(false);
    EXPECT_EQ(list.header()->text(), QStringLiteral("30 matches"));
    // The count rolls upward from what showed last, on the spring that never overshoots.
    auto* count = qobject_cast<chrome::RollingLabel*>(list.header());
    ASSERT_NE(count, nullptr);
    EXPECT_TRUE(count->isRolling());
    EXPECT_EQ(count->leavingText(), QStringLiteral("Searching…"));
    EXPECT_EQ(count->rollAnimation().duration(), chrome::settlingSpringMotion().durationMs);
    EXPECT_FALSE(list.spinner()->isVisible());
    ASSERT_EQ(list.list()->count(), 30);
    EXPECT_EQ(list.list()->item(9)->data(Qt::UserRole + 1).toString(), QStringLiteral("Page 3"));

    // A click selects the hit; the Editor makes it current and leaves Pages mode.
    f.editor->setMode(EditorMode::pages);
    list.list()->itemClicked(list.list()->item(5));
    EXPECT_EQ(f.editor->currentHit(), 5);
    EXPECT_EQ(f.editor->mode(), EditorMode::read);
    EXPECT_TRUE(list.list()->item(5)->data(Qt::UserRole + 3).toBool());

    // Moving to a far hit (the find bar's next) marks it and scrolls it into view.
    f.editor->selectHit(29);
    EXPECT_FALSE(list.list()->item(5)->data(Qt::UserRole + 3).toBool());
    EXPECT_TRUE(list.list()->item(29)->data(Qt::UserRole + 3).toBool());
    const QRect row = list.list()->visualItemRect(list.list()->item(29));
    EXPECT_TRUE(list.list()->viewport()->rect().contains(row)) << "the current row is visible";

    // Only spaces: the invitation, whatever hits remain. No hits after a finished search: no results.
    f.editor->setSearchText(QStringLiteral("  "));
    EXPECT_EQ(list.state(), SearchListState::prompt);
    f.editor->setSearchText(QStringLiteral("zebra"));
    f.editor->setSearchHits({});
    EXPECT_EQ(list.state(), SearchListState::noResults);
    EXPECT_EQ(list.list()->count(), 0);

    f.editor->setSearchHits({hit(0, 2, QStringLiteral("one zebra"), 4, 5)});
    EXPECT_EQ(list.header()->text(), QStringLiteral("1 match"));
}
