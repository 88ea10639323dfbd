#include "EditorTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

class FakeGrid : public PageGridHost {
public:
    double width = 200;
    double itemWidth() const override { return width; }
    void setItemWidth(double w) override { width = w; }
};

} // namespace

TEST(EditorNavigation, GoToPageClampsAndFollowsTheCanvas)
{
    EditorFixture f(blankDocument(10));
    Editor& e = *f.editor;
    e.goToPage(-3);
    EXPECT_EQ(e.pageIndex(), 0);
    e.goToPage(99);
    EXPECT_EQ(e.pageIndex(), 9);
    e.setMode(EditorMode::pages);
    e.goToPage(4);
    EXPECT_EQ(e.organizerSelection(), (IndexSet{4}));
    EXPECT_EQ(e.pageIndex(), 4);

    EditorFixture empty(pdf::Document::createEmpty());
    empty.editor->goToPage(3);
    EXPECT_EQ(empty.editor->pageIndex(), 0);
}

TEST(EditorNavigation, JumpScrollsOutsidePagesMode)
{
    EditorFixture f(blankDocument(10));
    f.editor->jumpToPage(12);
    EXPECT_EQ(f.canvas->count("scrollToPageAnimated"), 1);
    EXPECT_EQ(f.editor->pageIndex(), 9);
    f.editor->setMode(EditorMode::pages);
    f.editor->jumpToPage(3);
    EXPECT_EQ(f.canvas->count("scrollToPageAnimated"), 1);
    EXPECT_EQ(f.editor->pageIndex(), 3);
}

TEST(EditorNavigation, ZoomStepsTheGridWithinItsLimitsAndTheCanvasWithinItsScale)
{
    EditorFixture f;
    FakeGrid grid;
    f.editor->setPageGrid(&grid);
    f.editor->setMode(EditorMode::pages);
    grid.width = 300;
    f.editor->zoomStep(1.25);
    EXPECT_DOUBLE_EQ(grid.width, 340);
    grid.width = 100;
    f.editor->zoomStep(0.8);
    EXPECT_DOUBLE_EQ(grid.width, 90);
    EXPECT_DOUBLE_EQ(PageGridHost::itemHeight(200), 290);

    f.editor->setMode(EditorMode::read);
    f.canvas->setScaleFactor(1.0, false);
    f.editor->zoomStep(1.25);
    EXPECT_FALSE(f.canvas->autoScales());
    EXPECT_DOUBLE_EQ(f.canvas->scaleFactor(), 1.25);
    f.canvas->setScaleFactor(15, false);
    f.editor->zoomStep(1.25);
    EXPECT_DOUBLE_EQ(f.canvas->scaleFactor(), f.canvas->maxScaleFactor());
}

TEST(EditorNavigation, ZoomToFitUsesTheRotatedPageInsideTheInset)
{
    EditorFixture f(blankDocument(1, QSizeF(600, 400)));
    f.canvas->setBoundsSize(QSizeF(648, 848));
    f.editor->zoomToFit();
    EXPECT_DOUBLE_EQ(f.canvas->scaleFactor(), 1.0); // 600 wide into 600
    f.page(0)->setRotation(90);
    f.editor->zoomToFit();
    EXPECT_DOUBLE_EQ(f.canvas->scaleFactor(), 800.0 / 600.0); // 600 high into 800 limits it
}

TEST(EditorNavigation, PageChangesSaveTheLastPositionAfterEightTenths)
{
    EditorFixture f(blankDocument(10));
    const QString path = f.document->filePath();
    for (int i = 1; i <= 9; ++i) {
        f.editor->goToPage(i);
        f.scheduler.advance(0.05);
    }
    EXPECT_FALSE(ReadingPositions::load(*f.defaults, path).has_value());
    // The last change came at 0.40 s; its save is due at 1.20 s.
    f.scheduler.advance(0.74);
    EXPECT_FALSE(ReadingPositions::load(*f.defaults, path).has_value());
    f.scheduler.advance(0.02);
    EXPECT_EQ(ReadingPositions::load(*f.defaults, path), 9);
    // Only the last page of the burst was written.
    EXPECT_EQ(f.defaults->dictionary(QStringLiteral("ReadingPositions")).size(), 1);
}

TEST(EditorNavigation, ReopeningRestoresTheSavedPageWhenItStillExists)
{
    EditorFixture f(blankDocument(10));
    f.editor->goToPage(7);
    f.scheduler.advance(1);

    f.remakeEditor();
    EXPECT_EQ(f.editor->pageIndex(), 0);
    f.editor->restoreReadingPosition();
    EXPECT_EQ(f.editor->pageIndex(), 7);
    f.scheduler.advance(1);
    EXPECT_EQ(ReadingPositions::load(*f.defaults, f.document->filePath()), 7);

    // The document now has five pages: the saved index is beyond it and the view stays.
    for (int i = 0; i < 5; ++i)
        f.pdf()->removePage(5);
    f.remakeEditor();
    f.editor->restoreReadingPosition();
    EXPECT_EQ(f.editor->pageIndex(), 0);
}

TEST(EditorNavigation, AWindowAlreadyShownRestoresOnTheNextTurn)
{
    EditorFixture f(blankDocument(10));
    f.editor->goToPage(6);
    f.scheduler.advance(1);
    f.remakeEditor();
    f.canvas->setInWindow(true);
    f.editor->showDocument(true);
    EXPECT_EQ(f.editor->pageIndex(), 0);
    f.scheduler.runDue();
    EXPECT_EQ(f.editor->pageIndex(), 6);
}

TEST(EditorNavigation, AnUnsavedDocumentNeverWritesAPosition)
{
    EditorFixture f(blankDocument(4), QString());
    f.editor->goToPage(2);
    f.scheduler.advance(1);
    EXPECT_FALSE(f.defaults->contains(QStringLiteral("ReadingPositions")));
}
