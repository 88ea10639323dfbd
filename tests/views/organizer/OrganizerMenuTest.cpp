#include "OrganizerTestSupport.h"

#include "views/OrganizerMenu.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

using namespace vmk;
using namespace vmk::views;
using Style = PageOrganizerView::Style;

namespace {

QAction* item(QMenu& menu, const QString& title)
{
    for (QAction* action : menu.actions())
        if (action->text() == title)
            return action;
    return nullptr;
}

QStringList enabledTitles(QMenu& menu)
{
    QStringList titles;
    for (QAction* action : menu.actions())
        if (!action->isSeparator() && action->isEnabled())
            titles << action->text();
    return titles;
}

} // namespace

TEST(OrganizerMenu, ItemsAndTheirEnablementFollowTheTargets)
{
    const auto none = organizerMenuItems({}, {});
    QStringList titles;
    for (const auto& i : none)
        titles << (i.isSeparator() ? QStringLiteral("-") : i.title);
    EXPECT_EQ(titles, (QStringList{"Open", "-", "Rotate Left", "Rotate Right", "Duplicate", "Extract to New PDF", "-",
                                   "Insert Blank Page After", QStringLiteral("Insert Pages from File…"), "-",
                                   "Delete Page"}));
    for (const auto& i : none) {
        if (!i.isSeparator()) {
            EXPECT_EQ(i.enabled, i.title.startsWith(QStringLiteral("Insert"))) << i.title.toStdString();
        }
    }

    const auto one = organizerMenuItems({4}, {});
    EXPECT_TRUE(one[0].enabled);
    EXPECT_EQ(one.back().title, QStringLiteral("Delete Page"));
    const auto three = organizerMenuItems({1, 2, 5}, {});
    EXPECT_FALSE(three[0].enabled);
    EXPECT_EQ(three.back().title, QStringLiteral("Delete 3 Pages"));
    EXPECT_EQ(three[2].symbol, QStringLiteral("rotate.left"));

    // Handlers act on the targets captured when the menu was made.
    IndexSet rotated;
    int degrees = 0;
    std::optional<int> blankAfter = -1;
    OrganizerMenuActions actions;
    actions.rotate = [&](const IndexSet& pages, int d) { rotated = pages; degrees = d; };
    actions.insertBlankPage = [&](std::optional<int> after) { blankAfter = after; };
    const auto items = organizerMenuItems({1, 2, 5}, actions);
    items[3].handler();
    EXPECT_EQ(rotated, (IndexSet{1, 2, 5}));
    EXPECT_EQ(degrees, 90);
    items[7].handler();
    EXPECT_EQ(blankAfter, 5);
    organizerMenuItems({}, actions)[7].handler();
    EXPECT_EQ(blankAfter, std::nullopt);
}

TEST(OrganizerMenu, GridRightClickTargetsTheSelectionOrTheClickedCard)
{
    test::OrganizerFixture f(6);
    f.editor->setMode(EditorMode::pages);
    f.editor->setOrganizerSelection({2, 3});

    std::unique_ptr<QMenu> menu(f.organizer->makeContextMenu(3));
    EXPECT_EQ(f.editor->organizerSelection(), (IndexSet{2, 3}));
    EXPECT_FALSE(item(*menu, QStringLiteral("Open"))->isEnabled());
    ASSERT_NE(item(*menu, QStringLiteral("Delete 2 Pages")), nullptr);
    item(*menu, QStringLiteral("Duplicate"))->trigger();
    EXPECT_EQ(f.order(), (QList<int>{1, 2, 3, 4, 0, 0, 5, 6})); // copies after the last target

    menu.reset(f.organizer->makeContextMenu(0));
    EXPECT_EQ(f.editor->organizerSelection(), IndexSet{0});
    EXPECT_EQ(f.organizer->selectedItems(), IndexSet{0});
    EXPECT_TRUE(item(*menu, QStringLiteral("Open"))->isEnabled());
    item(*menu, QStringLiteral("Rotate Left"))->trigger();
    EXPECT_EQ(f.page(0)->rotation(), 270);
    item(*menu, QStringLiteral("Open"))->trigger();
    EXPECT_EQ(f.editor->mode(), EditorMode::read);
    EXPECT_EQ(f.editor->pageIndex(), 0);

    // Without an Editor there is no menu.
    f.organizer.reset();
    f.editor.reset();
    PageOrganizerView orphan(nullptr, Style::grid);
    EXPECT_EQ(orphan.makeContextMenu(0), nullptr);
}

TEST(OrganizerMenu, SidebarEmptySpaceOffersOnlyTheInserts)
{
    test::OrganizerFixture f(4, Style::sidebar, QSize(200, 600));
    f.editor->goToPage(2);
    std::unique_ptr<QMenu> menu(f.organizer->makeContextMenu(std::nullopt));
    EXPECT_EQ(enabledTitles(*menu), (QStringList{"Insert Blank Page After", QStringLiteral("Insert Pages from File…")}));
    item(*menu, QStringLiteral("Insert Blank Page After"))->trigger();
    EXPECT_EQ(f.pdf()->pageCount(), 5);
    EXPECT_EQ(f.order()[3], 0); // the blank page follows the current page

    // A right-click on a thumbnail goes to it and acts on it alone.
    menu.reset(f.organizer->makeContextMenu(1));
    EXPECT_EQ(f.editor->pageIndex(), 1);
    EXPECT_TRUE(item(*menu, QStringLiteral("Open"))->isEnabled());
    item(*menu, QStringLiteral("Delete Page"))->trigger();
    EXPECT_EQ(f.pdf()->pageCount(), 4);
    EXPECT_EQ(f.order(), (QList<int>{1, 3, 0, 4}));
}
