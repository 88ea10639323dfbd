#include "OrganizerTestSupport.h"

#include "platform/pdf/document/Annotation.h"
#include "views/OrganizerCollectionView.h"
#include "views/PageCell.h"
#include "platform/pdfview/PDFView.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QScreen>
#include <QScrollBar>
#include <QSemaphore>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::views;
using Style = PageOrganizerView::Style;

namespace {

IndexSet selectionOf(const test::OrganizerFixture& f)
{
    return f.organizer->selectedItems();
}

} // namespace

TEST(PageOrganizer, GridRegistersWithTheEditorAndShowsEveryPage)
{
    test::OrganizerFixture f(6);
    EXPECT_EQ(f.editor->pageGrid(), f.organizer.get());
    EXPECT_EQ(f.organizer->collectionView()->model()->rowCount(), 6);
    EXPECT_EQ(f.organizer->version(), f.editor->documentVersion());
    EXPECT_DOUBLE_EQ(f.organizer->itemWidth(), 150);
    EXPECT_EQ(f.organizer->thumbnails().cacheCostLimit(), 167772160);
    ASSERT_NE(f.organizer->cellAt(0), nullptr);
    EXPECT_EQ(f.organizer->cellAt(0)->pageNumber, 1);
    EXPECT_NEAR(f.organizer->cellAt(0)->placeholderAspect, 612.0 / 792.0, 1e-9);
    f.organizer.reset();
    EXPECT_EQ(f.editor->pageGrid(), nullptr);
}

TEST(PageOrganizer, SelectionFollowsTheEditorBothWays)
{
    test::OrganizerFixture f(30);
    f.editor->goToPage(20);
    f.editor->setMode(EditorMode::pages);
    // Entering Pages mode selects the current page; the grid selects it and scrolls it into view.
    EXPECT_EQ(selectionOf(f), IndexSet{20});
    EXPECT_TRUE(f.viewport()->rect().contains(f.itemCentre(20)));
    EXPECT_GT(f.organizer->collectionView()->verticalScrollBar()->value(), 0);

    // A click on a card reaches the Editor.
    QTest::mouseClick(f.viewport(), Qt::LeftButton, Qt::NoModifier, f.itemCentre(21));
    EXPECT_EQ(f.editor->organizerSelection(), IndexSet{21});
    QTest::mouseClick(f.viewport(), Qt::LeftButton, Qt::ShiftModifier, f.itemCentre(23));
    EXPECT_EQ(f.editor->organizerSelection(), (IndexSet{21, 22, 23}));
    EXPECT_TRUE(f.organizer->cellAt(22)->isSelected());

    // An index beyond the last page is left out and not written back.
    f.editor->setOrganizerSelection({2, 99});
    EXPECT_EQ(selectionOf(f), IndexSet{2});
    EXPECT_EQ(f.editor->organizerSelection(), (IndexSet{2, 99}));
    EXPECT_EQ(f.organizer->targetPages(), IndexSet{2});
}

TEST(PageOrganizer, ReturnAndDoubleClickOpenAPageInReadMode)
{
    test::OrganizerFixture f(6);
    f.editor->setMode(EditorMode::pages);
    f.editor->setOrganizerSelection({});
    f.key(Qt::Key_Return); // nothing selected: nothing happens
    EXPECT_EQ(f.editor->mode(), EditorMode::pages);

    f.editor->setOrganizerSelection({4, 2});
    f.key(Qt::Key_Enter);
    EXPECT_EQ(f.editor->mode(), EditorMode::read);
    EXPECT_EQ(f.editor->pageIndex(), 2);

    f.editor->setMode(EditorMode::pages);
    QTest::mouseDClick(f.viewport(), Qt::LeftButton, Qt::NoModifier, f.itemCentre(5));
    EXPECT_EQ(f.editor->mode(), EditorMode::read);
    EXPECT_EQ(f.editor->pageIndex(), 5);
}

TEST(PageOrganizer, DeleteKeysDeleteTheSelectedPagesWithUndo)
{
    test::OrganizerFixture f(5);
    f.editor->setMode(EditorMode::pages);
    f.editor->setOrganizerSelection({1, 3});
    f.key(Qt::Key_Backspace);
    EXPECT_EQ(f.order(), (QList<int>{1, 3, 5}));
    EXPECT_EQ(f.organizer->collectionView()->model()->rowCount(), 3);
    f.endGroup();
    f.undo().undo();
    EXPECT_EQ(f.order(), (QList<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(f.organizer->collectionView()->model()->rowCount(), 5);

    // A one-page document keeps its page; the Editor says why.
    test::OrganizerFixture single(1);
    single.editor->setMode(EditorMode::pages);
    single.key(Qt::Key_Delete);
    EXPECT_EQ(single.pdf()->pageCount(), 1);
    EXPECT_EQ(single.organizer->collectionView()->model()->rowCount(), 1);
    ASSERT_TRUE(single.editor->toast().has_value());
    EXPECT_EQ(single.editor->toast()->text, QStringLiteral("A PDF needs at least one page. Even this one."));
}

TEST(PageOrganizer, ZoomStepsAndPinchResizeTheItems)
{
    test::OrganizerFixture f(6);
    f.editor->setMode(EditorMode::pages);
    f.editor->zoomStep(1.25);
    EXPECT_DOUBLE_EQ(f.organizer->itemWidth(), 187.5);
    EXPECT_EQ(f.organizer->collectionView()->flowLayout().itemSize(), QSizeF(187.5, 1.3 * 187.5 + 30));
    // The selection survives the reload.
    EXPECT_EQ(selectionOf(f), IndexSet{0});
    f.organizer->magnify(5.0);
    EXPECT_DOUBLE_EQ(f.organizer->itemWidth(), 340);
    f.organizer->magnify(-0.9);
    EXPECT_DOUBLE_EQ(f.organizer->itemWidth(), 90);
    // The new width is part of every key, so cells ask for new thumbnails.
    ASSERT_NE(f.organizer->cellAt(0), nullptr);
    EXPECT_TRUE(f.organizer->cellAt(0)->representedKey->endsWith(QStringLiteral("-90")));
}

TEST(PageOrganizer, ThumbnailsFillTheCardsAndFollowAnnotations)
{
    test::OrganizerFixture f(3);
    ASSERT_TRUE(f.waitForThumbnails());
    PageCell* cell = f.organizer->cellAt(1);
    ASSERT_NE(cell, nullptr);
    ASSERT_TRUE(cell->thumbnail.has_value());
    EXPECT_EQ(cell->thumbnail->pointSize, QSize(150, 195));
    const QString before = *cell->representedKey;

    // Annotating bumps the annotation version: every key changes and the pages render again.
    auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(50, 50, 100, 100));
    f.editor->addAnnotation({{square, f.page(1)}}, QStringLiteral("Rectangle"));
    cell = f.organizer->cellAt(1);
    ASSERT_NE(cell, nullptr);
    EXPECT_NE(*cell->representedKey, before);
    EXPECT_FALSE(cell->thumbnail.has_value());
    ASSERT_TRUE(f.waitForThumbnails());
    EXPECT_TRUE(f.organizer->cellAt(1)->thumbnail.has_value());
}

TEST(PageOrganizer, MovingPagesKeepsTheirThumbnailsAndRotatingRendersOnlyThatPage)
{
    test::OrganizerFixture f(4);
    ASSERT_TRUE(f.waitForThumbnails());
    f.editor->setMode(EditorMode::pages);
    f.editor->movePages({0}, 4);
    // Every cell finds its page's thumbnail in the cache: nothing is queued.
    EXPECT_EQ(f.organizer->thumbnails().pendingCount(), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(f.organizer->cellAt(i)->thumbnail.has_value()) << i;
    f.editor->rotateSelectedPages({2}, 90);
    EXPECT_EQ(f.organizer->thumbnails().pendingCount(), 1);
    EXPECT_FALSE(f.organizer->cellAt(2)->thumbnail.has_value());
    EXPECT_GT(f.organizer->cellAt(2)->placeholderAspect, 1.0);
}

TEST(PageOrganizer, CardsScrolledAwayCancelTheirQueuedRenders)
{
    test::OrganizerFixture f(90, Style::grid, QSize(900, 400));
    ASSERT_TRUE(f.waitForThumbnails());
    auto* view = f.organizer->collectionView();
    auto& renderer = f.organizer->thumbnails();
    test::GatedRender gated;
    renderer.setRenderFunction(gated.function());

    // Scrolling to the middle queues the cards that come into view; three start at once.
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
    const int middle = renderer.pendingCount();
    EXPECT_GE(middle, 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gated.running.load() == 3; }, 10000));
    // Scrolling on to the end cancels the middle cards' renders that have not started.
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    int shown = 0;
    for (int i = 0; i < 90; ++i)
        shown += f.organizer->cellAt(i) ? 1 : 0;
    EXPECT_EQ(renderer.pendingCount(), shown);
    EXPECT_EQ(f.organizer->cellAt(0), nullptr);

    gated.gate.release(1000);
    ASSERT_TRUE(f.waitForThumbnails());
    EXPECT_EQ(gated.started.load(), 3 + shown);
    EXPECT_EQ(gated.maxRunning.load(), 3);
    EXPECT_TRUE(f.organizer->cellAt(89)->thumbnail.has_value());
}

TEST(PageOrganizer, SidebarFollowsTheCurrentPage)
{
    test::OrganizerFixture f(20, Style::sidebar, QSize(200, 500));
    EXPECT_EQ(f.editor->pageGrid(), nullptr);
    EXPECT_EQ(f.organizer->thumbnails().cacheCostLimit(), 62914560);
    EXPECT_DOUBLE_EQ(f.organizer->itemWidth(), 160);
    EXPECT_EQ(selectionOf(f), IndexSet{0});

    QTest::mouseClick(f.viewport(), Qt::LeftButton, Qt::NoModifier, f.itemCentre(1));
    EXPECT_EQ(f.editor->pageIndex(), 1);
    f.editor->goToPage(15);
    EXPECT_EQ(selectionOf(f), IndexSet{15});
    EXPECT_TRUE(f.viewport()->rect().contains(f.itemCentre(15)));

    // Width changes of 4 points or less keep the items as they are.
    f.organizer->resize(203, 500);
    EXPECT_DOUBLE_EQ(f.organizer->itemWidth(), 160);
    f.organizer->resize(205, 500);
    EXPECT_DOUBLE_EQ(f.organizer->itemWidth(), 165);
    // The sidebar deletes what it has selected.
    f.key(Qt::Key_Delete);
    EXPECT_EQ(f.pdf()->pageCount(), 19);
}

// The grid comes and goes over the page canvas with a fade. Whatever it repaints or scrolls meanwhile
// must go through that fade: drawn straight into the window, the grid flashed back at full strength over
// the canvas while it was leaving (seen as a grey grid with a white box where the page pill came in).
TEST(PageOrganizer, TheGridRepaintsThroughItsFadeOverWhatLiesBelow)
{
    test::OrganizerFixture f(40);
    QWidget window;
    window.resize(900, 700);
    auto* below = new QWidget(&window);
    below->setAutoFillBackground(true);
    QPalette white = below->palette();
    white.setColor(QPalette::Window, Qt::white);
    below->setPalette(white);
    below->setGeometry(window.rect());
    f.organizer->setParent(&window);
    f.organizer->setGeometry(window.rect());
    auto* fade = new QGraphicsOpacityEffect;
    fade->setOpacity(0.5);
    f.organizer->setGraphicsEffect(fade);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();

    // What the window shows, from its backing store, between the cards (the grid's own background).
    auto shownBackground = [&] {
        const QImage shown = window.screen()->grabWindow(window.winId()).toImage();
        return shown.pixelColor(f.organizer->mapTo(&window, QPoint(4, f.organizer->height() / 2)));
    };
    const QColor grey = pdfview::PDFView::underPageBackgroundColor();
    const int half = (grey.red() + 255) / 2;
    EXPECT_NEAR(shownBackground().red(), half, 6);
    // A scroll and a repaint of the grid alone, as thumbnails arriving or the selection changing make.
    f.organizer->findChild<OrganizerCollectionView*>()->verticalScrollBar()->setValue(120);
    QApplication::processEvents();
    EXPECT_NEAR(shownBackground().red(), half, 6) << "scrolled";
    f.viewport()->update();
    QApplication::processEvents();
    EXPECT_NEAR(shownBackground().red(), half, 6) << "repainted";
    for (QWidget* part : f.organizer->findChildren<QWidget*>())
        EXPECT_FALSE(part->testAttribute(Qt::WA_OpaquePaintEvent) || part->autoFillBackground())
            << part->metaObject()->className() << " counts as opaque";
    f.organizer->setGraphicsEffect(nullptr);
    f.organizer->setParent(nullptr); // the fixture owns it
}
