#include "CanvasTestSupport.h"

#include "core/pdfium/PDFEditSession.h"
#include "support/EditPdf.h"
#include "views/BlockTextEditor.h"
#include "views/CanvasEditMode.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;
using views::editgeometry::movedEnough;
using views::editgeometry::resizedRect;

namespace {

bool engineInBuild()
{
    return QFileInfo::exists(core::PDFEditSession::pdfiumLibraryPath());
}

#define SKIP_WITHOUT_ENGINE()                                                                                        \
    if (!engineInBuild())                                                                                            \
    GTEST_SKIP() << "PDFium is not in this build"

// A heading, a two-line paragraph and a picture on one page.
pdf::DocumentPtr editDocument()
{
    EditPageSpec page;
    page.lines = {{QStringLiteral("Quarterly report"), {72, 720}, 18},
                  {QStringLiteral("Sales rose in every region this year,"), {72, 660}, 12},
                  {QStringLiteral("led by the northern offices."), {72, 645}, 12}};
    page.images = {QRectF(300, 400, 160, 100)};
    page.imageColors = {QColor(40, 120, 200)};
    return openPdf(makeEditPdf({page}));
}

struct EditCanvas : CanvasFixture {
    EditCanvas() : CanvasFixture(editDocument()) { editor->setMode(EditorMode::edit); }
    pdf::DocumentPtr pdf() const { return document->pdf(); }
    void hover(QPointF pagePoint)
    {
        const QPointF v = view(pagePoint);
        QMouseEvent event(QEvent::MouseMove, v, canvas->viewport()->mapToGlobal(v), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(canvas->viewport(), &event);
    }
    views::BlockTextEditor* blockEditor() const
    {
        return canvas->blockSession() ? canvas->blockSession()->view.data() : nullptr;
    }
};

} // namespace

TEST(EditGeometry, CornerDragsKeepProportionsUnlessFree)
{
    const QRectF original(100, 100, 200, 100); // ratio 2
    // Corner 2 (top right in page space) anchored at (100, 100): the box shrinks on one side to fit.
    EXPECT_EQ(resizedRect(original, 2, QPointF(500, 150), false), QRectF(100, 100, 100, 50));
    EXPECT_EQ(resizedRect(original, 2, QPointF(160, 400), false), QRectF(100, 100, 60, 30));
    EXPECT_EQ(resizedRect(original, 2, QPointF(500, 150), true), QRectF(100, 100, 400, 50));
    // Each side is at least 8 before proportions apply, so the other may end below 8.
    EXPECT_EQ(resizedRect(original, 2, QPointF(101, 101), false), QRectF(100, 100, 8, 4));
    // Past the anchor the box mirrors instead of going negative.
    EXPECT_EQ(resizedRect(original, 2, QPointF(40, 70), true), QRectF(40, 70, 60, 30));
    // Corner 0 is anchored at the opposite corner (300, 200).
    EXPECT_EQ(resizedRect(original, 0, QPointF(250, 180), true), QRectF(250, 180, 50, 20));
    // A picture without height resizes as if it were 0.01 high.
    const QRectF flat(0, 0, 50, 0);
    const QRectF r = resizedRect(flat, 2, QPointF(100, 100), false);
    EXPECT_DOUBLE_EQ(r.width(), 100);
    EXPECT_NEAR(r.height(), 100 / 5000.0, 1e-9);
}

TEST(EditGeometry, HalfAPointOnAnyEdgeIsAChange)
{
    const QRectF original(10, 10, 50, 50);
    EXPECT_FALSE(movedEnough(original, original.translated(0.49, -0.49)));
    EXPECT_TRUE(movedEnough(original, QRectF(10, 10, 50, 50.5)));
    EXPECT_TRUE(movedEnough(original, original.translated(-0.5, 0)));
}

TEST(CanvasEditMode, HoverAndCursorFollowTheTargetUnderThePointer)
{
    SKIP_WITHOUT_ENGINE();
    EditCanvas f;
    ASSERT_NE(f.editor->editSession(), nullptr);
    f.hover(QPointF(100, 724));
    ASSERT_TRUE(f.editor->editHover() && f.editor->editHover()->isText());
    EXPECT_EQ(f.canvas->editMode().cursorAt(f.view(QPointF(100, 724))), Qt::IBeamCursor);
    f.hover(QPointF(350, 450));
    ASSERT_TRUE(f.editor->editHover() && f.editor->editHover()->isImage());
    EXPECT_EQ(f.canvas->editMode().cursorAt(f.view(QPointF(350, 450))), Qt::OpenHandCursor);
    f.hover(QPointF(550, 200));
    EXPECT_FALSE(f.editor->editHover());
    // Between pages or off the page: no location, no hover.
    EXPECT_FALSE(f.canvas->editMode().editLocation(QPointF(-50, -50)));
    // The bar does not care about the hover; the selection is untouched by it.
    EXPECT_FALSE(f.editor->editSelection());
}

TEST(CanvasEditMode, PressOnTextOpensTheBlockEditorAndEscapeDropsTheTyping)
{
    SKIP_WITHOUT_ENGINE();
    EditCanvas f;
    const pdf::DocumentPtr before = f.pdf();
    f.click(QPointF(100, 724));
    ASSERT_TRUE(f.editor->editSelection() && f.editor->editSelection()->isText());
    views::BlockTextEditor* view = f.blockEditor();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isSingleLine());
    EXPECT_EQ(view->toPlainText(), QStringLiteral("Quarterly report"));
    EXPECT_EQ(view->textCursor().position(), view->toPlainText().size());
    EXPECT_FALSE(view->textCursor().hasSelection());

    QTest::keyClicks(view, QStringLiteral(" draft"));
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(f.canvas->blockSession());
    EXPECT_EQ(f.pdf(), before);
    EXPECT_FALSE(f.undo().canUndo());
    EXPECT_TRUE(f.editor->editSelection()); // the block stays selected
}

TEST(CanvasEditMode, ReturnCommitsAOneLineBlockAndTheViewStays)
{
    SKIP_WITHOUT_ENGINE();
    EditCanvas f;
    const QPointF scrollBefore = f.canvas->scrollOrigin();
    const double scaleBefore = f.canvas->scaleFactor();
    f.click(QPointF(100, 724));
    views::BlockTextEditor* view = f.blockEditor();
    ASSERT_NE(view, nullptr);
    const int widthBefore = view->width();
    QTest::keyClicks(view, QStringLiteral(" for the whole of the year"));
    EXPECT_GT(view->width(), widthBefore); // one line widens instead of wrapping
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_FALSE(f.canvas->blockSession());
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Edit Text"));
    EXPECT_TRUE(f.pdf()->page(0)->text().contains(QStringLiteral("for the whole of the year")));
    EXPECT_EQ(f.canvas->document(), f.pdf());
    EXPECT_EQ(f.canvas->scrollOrigin(), scrollBefore);
    EXPECT_DOUBLE_EQ(f.canvas->scaleFactor(), scaleBefore);
    ASSERT_TRUE(f.editor->editSelection());
    EXPECT_TRUE(f.editor->editSelection()->block.text.contains(QStringLiteral("whole of the year")));
}

TEST(CanvasEditMode, SeveralLinesTakeReturnAsALineBreakAndAPressElsewhereCommits)
{
    SKIP_WITHOUT_ENGINE();
    EditCanvas f;
    f.click(QPointF(100, 663));
    views::BlockTextEditor* view = f.blockEditor();
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->isSingleLine());
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_TRUE(f.canvas->blockSession()); // a line break, not a commit
    QTest::keyClicks(view, QStringLiteral("Costs fell."));
    f.click(QPointF(550, 100)); // an empty spot
    EXPECT_FALSE(f.canvas->blockSession());
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Edit Text"));
    EXPECT_TRUE(f.pdf()->page(0)->text().contains(QStringLiteral("Costs fell.")));
    EXPECT_FALSE(f.editor->editSelection());
}

TEST(CanvasEditMode, ReturnOpensTheSelectedBlockAndAScanPageExplainsItself)
{
    SKIP_WITHOUT_ENGINE();
    EditCanvas f;
    f.editor->setEditSelection(f.editor->editTargetAt(0, QPointF(100, 724)));
    ASSERT_TRUE(f.editor->editSelection());
    f.key(Qt::Key_Return);
    ASSERT_NE(f.blockEditor(), nullptr);
    EXPECT_EQ(f.canvas->blockSession()->block.id, f.editor->editSelection()->block.id);
    QTest::keyClick(f.blockEditor(), Qt::Key_Escape);
    EXPECT_FALSE(f.canvas->blockSession());

    // A press on an empty spot of a page that is one big picture says how to get text onto it.
    EditPageSpec scan;
    scan.images = {QRectF(0, 0, 612, 792)};
    CanvasFixture g(openPdf(makeEditPdf({scan})));
    g.editor->setMode(EditorMode::edit);
    g.click(QPointF(300, 400));
    ASSERT_TRUE(g.editor->toast());
    EXPECT_EQ(g.editor->toast()->text, QStringLiteral("This page is a scan. Run Make Searchable first, then use a text box."));
    EXPECT_EQ(g.editor->toast()->symbol, QStringLiteral("text.viewfinder"));
    EXPECT_FALSE(g.editor->editSelection());
}

TEST(CanvasEditMode, ChangingTheModeCommitsTheOpenBlockEditor)
{
    SKIP_WITHOUT_ENGINE();
    EditCanvas f;
    f.click(QPointF(100, 724));
    ASSERT_NE(f.blockEditor(), nullptr);
    QTest::keyClicks(f.blockEditor(), QStringLiteral("!"));
    f.editor->setMode(EditorMode::read);
    EXPECT_FALSE(f.canvas->blockSession());
    EXPECT_TRUE(f.pdf()->page(0)->text().contains(QStringLiteral("Quarterly report!")));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Edit Text"));
    EXPECT_EQ(f.editor->editSession(), nullptr);
    EXPECT_FALSE(f.editor->editSelection());
}

TEST(CanvasEditMode, OnATurnedPageTheBlockEditorLiesAlongTheTextInsideThePage)
{
    SKIP_WITHOUT_ENGINE();
    for (const int rotation : {90, 180, 270}) {
        SCOPED_TRACE(rotation);
        EditPageSpec layout;
        layout.rotation = rotation;
        layout.lines = {{QStringLiteral("Quarterly report"), {72, 720}, 18},
                        {QStringLiteral("Sales rose in every region this year,"), {72, 660}, 12},
                        {QStringLiteral("led by the northern offices."), {72, 645}, 12}};
        CanvasFixture f(openPdf(makeEditPdf({layout})));
        f.editor->setMode(EditorMode::edit);
        const QRectF page = f.canvas->pageRectInView(0);
        for (const QPointF at : {QPointF(100, 724), QPointF(100, 663)}) {
            f.click(at);
            ASSERT_TRUE(f.canvas->blockSession());
            QTest::keyClicks(f.canvas->blockSession()->view, QStringLiteral(" and more words typed in"));
            const QRect frame = f.canvas->blockSession()->frame->geometry();
            EXPECT_TRUE(page.contains(frame)) << frame.x() << ',' << frame.y() << ' ' << frame.width() << 'x'
                                              << frame.height();
            // The box runs the way the page's lines run on screen.
            EXPECT_EQ(frame.height() > frame.width(), rotation != 180);
            QTest::keyClick(f.canvas->blockSession()->view, Qt::Key_Escape);
        }
    }
}

TEST(CanvasEditMode, DraggingAPictureMovesItAndACornerResizesIt)
{
    SKIP_WITHOUT_ENGINE();
    EditCanvas f;
    // A press and release without movement only selects.
    f.click(QPointF(350, 450));
    ASSERT_TRUE(f.editor->editSelection() && f.editor->editSelection()->isImage());
    EXPECT_FALSE(f.undo().canUndo());

    f.dragFromTo(QPointF(350, 450), QPointF(250, 250));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Move Image"));
    ASSERT_TRUE(f.editor->editSelection() && f.editor->editSelection()->isImage());
    const QRectF moved = f.editor->editSelection()->image.bounds;
    EXPECT_NEAR(moved.left(), 200, 1);
    EXPECT_NEAR(moved.top(), 200, 1);
    f.endGroup();

    // The top-right corner in page space (corner 2), 5 view points off: a proportional resize.
    const QPointF corner = f.view(QPointF(moved.right(), moved.bottom())) + QPointF(4, 3);
    EXPECT_EQ(f.canvas->editMode().imageHandle(corner), 2);
    EXPECT_EQ(f.canvas->editMode().cursorAt(corner), Qt::CrossCursor);
    f.pressView(corner);
    f.dragView(f.view(QPointF(moved.left() + 80, moved.top() + 200)));
    ASSERT_TRUE(f.canvas->editMode().imageDragRect());
    f.releaseView(f.view(QPointF(moved.left() + 80, moved.top() + 200)));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Move Image"));
    ASSERT_TRUE(f.editor->editSelection());
    EXPECT_NEAR(f.editor->editSelection()->image.bounds.width(), 80, 1);
    EXPECT_NEAR(f.editor->editSelection()->image.bounds.height(), 50, 1);

    // Delete removes the selected picture.
    f.endGroup();
    f.key(Qt::Key_Delete);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Image"));
    EXPECT_FALSE(f.editor->editSelection());
}

TEST(CanvasEditMode, ScreenshotWithABlockSelected)
{
    SKIP_WITHOUT_ENGINE();
    EditCanvas f;
    f.editor->setEditSelection(f.editor->editTargetAt(0, QPointF(100, 663)));
    f.hover(QPointF(350, 450));
    QElapsedTimer timer;
    timer.start();
    while (!f.canvas->isFullyRendered() && timer.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    const QImage shot = f.canvas->grab().toImage();
    const QString path = QDir(QStringLiteral(VMK_BUILD_DIR)).filePath(QStringLiteral("screenshots/edit-mode.png"));
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(shot.save(path));
    // The selection outline is drawn in the accent colour just outside the paragraph.
    const QRectF block = f.canvas->editMode().toView(f.editor->editSelection()->bounds(), 0).adjusted(-3, -3, 3, 3);
    const QColor accent = f.canvas->palette().color(QPalette::Highlight);
    int accentPixels = 0;
    for (int x = int(block.left()); x < int(block.right()); ++x) {
        const QColor c = shot.pixelColor(x, int(block.top()));
        accentPixels += std::abs(c.hue() - accent.hue()) < 20 && c.saturation() > 80;
    }
    EXPECT_GT(accentPixels, block.width() / 2);

    // The block editor open over the heading, mid-typing.
    f.click(QPointF(100, 724));
    ASSERT_NE(f.blockEditor(), nullptr);
    QTest::keyClicks(f.blockEditor(), QStringLiteral(" (draft)"));
    QApplication::processEvents();
    EXPECT_TRUE(f.canvas->grab().toImage().save(QFileInfo(path).path() + QStringLiteral("/edit-mode-typing.png")));
    QTest::keyClick(f.blockEditor(), Qt::Key_Escape);
}
