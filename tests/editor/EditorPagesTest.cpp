#include "EditorTestSupport.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

QList<pdf::PagePtr> pagesOf(const pdf::DocumentPtr& pdf)
{
    QList<pdf::PagePtr> pages;
    for (int i = 0; i < pdf->pageCount(); ++i)
        pages.append(pdf->page(i));
    return pages;
}

QList<int> order(const QList<pdf::PagePtr>& original, const pdf::DocumentPtr& pdf)
{
    QList<int> result;
    for (const pdf::PagePtr& page : pagesOf(pdf))
        result.append(int(original.indexOf(page)));
    return result;
}

} // namespace

TEST(EditorPages, RotationWrapsAndUndoNamesTheOppositeDirection)
{
    EditorFixture f(blankDocument(5));
    Editor& e = *f.editor;
    f.page(0)->setRotation(270);
    e.rotateSelectedPages({0}, 90);
    f.endGroup();
    EXPECT_EQ(f.page(0)->rotation(), 0);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Rotate Right"));
    f.undo().undo();
    EXPECT_EQ(f.page(0)->rotation(), 270);
    EXPECT_EQ(f.undo().redoActionName(), QStringLiteral("Rotate Left"));

    // Three pages in one step.
    const int version = e.documentVersion();
    e.rotateSelectedPages({1, 3, 4}, -90);
    f.endGroup();
    EXPECT_EQ(f.page(1)->rotation(), 270);
    EXPECT_EQ(f.page(3)->rotation(), 270);
    EXPECT_EQ(f.page(4)->rotation(), 270);
    EXPECT_EQ(f.page(2)->rotation(), 0);
    EXPECT_GT(e.documentVersion(), version);
    f.undo().undo();
    EXPECT_EQ(f.page(3)->rotation(), 0);
}

TEST(EditorPages, BlankPagesTakeTheReferencePageSizeWithoutItsOrigin)
{
    EditorFixture empty(pdf::Document::createEmpty());
    empty.editor->insertBlankPage(std::nullopt);
    ASSERT_EQ(empty.pdf()->pageCount(), 1);
    EXPECT_EQ(empty.page(0)->mediaBox(), QRectF(0, 0, 612, 792));
    EXPECT_EQ(empty.editor->organizerSelection(), (IndexSet{0}));

    pdf::DocumentPtr pdf = pdf::Document::createEmpty();
    pdf->insertPage(pdf::Page::createBlank(QRectF(20, 20, 792, 612), 90), 0);
    pdf->insertPage(pdf::Page::createBlank(QRectF(0, 0, 612, 792)), 1);
    EditorFixture f(pdf);
    f.editor->insertBlankPage(0);
    f.endGroup();
    ASSERT_EQ(f.pdf()->pageCount(), 3);
    EXPECT_EQ(f.page(1)->mediaBox(), QRectF(0, 0, 792, 612));
    EXPECT_EQ(f.page(1)->rotation(), 90);
    EXPECT_EQ(f.editor->pageIndex(), 1);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Insert Blank Page"));
    f.undo().undo();
    EXPECT_EQ(f.pdf()->pageCount(), 2);
}

TEST(EditorPages, DeletingRestoresTheSamePagesAnnotationsAndSelectionOnUndo)
{
    EditorFixture f(blankDocument(5));
    Editor& e = *f.editor;
    const QList<pdf::PagePtr> original = pagesOf(f.pdf());
    const pdf::AnnotationPtr note = e.addNote(f.page(2), QPointF(50, 50));
    e.setMode(EditorMode::pages);
    e.setOrganizerSelection({1, 2});
    f.endGroup();

    e.deletePages({1, 2});
    f.endGroup();
    EXPECT_EQ(f.pdf()->pageCount(), 3);
    EXPECT_EQ(e.organizerSelection(), (IndexSet{1}));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Pages"));
    EXPECT_TRUE(f.document->isEdited());

    f.undo().undo();
    EXPECT_EQ(pagesOf(f.pdf()), original);
    EXPECT_EQ(e.organizerSelection(), (IndexSet{1, 2}));
    ASSERT_EQ(f.page(2)->annotations().size(), 1u);
    EXPECT_EQ(f.page(2)->annotations().front(), note);
    f.undo().redo();
    EXPECT_EQ(f.pdf()->pageCount(), 3);

    EditorFixture four(blankDocument(4));
    four.editor->deletePages({3});
    four.endGroup();
    EXPECT_EQ(four.editor->organizerSelection(), (IndexSet{2}));
    EXPECT_EQ(four.undo().undoActionName(), QStringLiteral("Delete Page"));
}

TEST(EditorPages, TheLastPageCannotBeDeleted)
{
    EditorFixture f(blankDocument(3));
    f.editor->deletePages({0, 1, 2});
    EXPECT_EQ(f.pdf()->pageCount(), 3);
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("A PDF needs at least one page. Even this one."));
    EXPECT_EQ(f.editor->toast()->symbol, QStringLiteral("exclamationmark.circle.fill"));
    EXPECT_FALSE(f.undo().canUndo());
    f.editor->deletePages({});
    EXPECT_FALSE(f.undo().canUndo());
}

TEST(EditorPages, MovingReordersOnceAndDropsInPlaceDoNothing)
{
    EditorFixture f(blankDocument(5));
    const QList<pdf::PagePtr> original = pagesOf(f.pdf());
    f.editor->movePages({0, 1}, 4);
    f.endGroup();
    EXPECT_EQ(order(original, f.pdf()), (QList<int>{2, 3, 0, 1, 4}));
    EXPECT_EQ(f.editor->organizerSelection(), (IndexSet{2, 3}));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Move Pages"));
    f.undo().undo();
    EXPECT_EQ(pagesOf(f.pdf()), original);

    f.undo().removeAllActions();
    const int version = f.editor->documentVersion();
    f.editor->movePages({2}, 2);
    f.editor->movePages({2}, 3);
    EXPECT_FALSE(f.undo().canUndo());
    EXPECT_EQ(f.editor->documentVersion(), version);

    f.editor->movePages({4}, 0);
    f.endGroup();
    EXPECT_EQ(order(original, f.pdf()), (QList<int>{4, 0, 1, 2, 3}));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Move Page"));
}

TEST(EditorPages, DuplicatesFollowTheLastSelectedPage)
{
    EditorFixture f(blankDocument(4));
    const QList<pdf::PagePtr> original = pagesOf(f.pdf());
    f.editor->addNote(f.page(0), QPointF(30, 30));
    f.editor->duplicatePages({0, 2});
    f.endGroup();
    EXPECT_EQ(f.pdf()->pageCount(), 6);
    EXPECT_EQ(f.editor->organizerSelection(), (IndexSet{3, 4}));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Duplicate"));
    EXPECT_FALSE(original.contains(f.page(3)));
    EXPECT_EQ(f.page(3)->annotations().size(), 1u); // the copy carries the note
    f.undo().undo();
    EXPECT_EQ(pagesOf(f.pdf()), original);
}

TEST(EditorPages, PageSwapsRebuildInPlaceAndUndoPutsEverythingBack)
{
    EditorFixture f(blankDocument(3));
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(1);
    const pdf::AnnotationPtr note = e.addNote(page, QPointF(40, 40));
    const pdf::AnnotationPtr dropped = e.addNote(page, QPointF(200, 200));
    f.endGroup();
    const pdf::PagePtr drawing = pdf::Page::createBlank(QRectF(0, 0, 300, 400), 90);
    e.swapPages({PageSwap{page, drawing, {note, dropped}, {note}}}, QStringLiteral("Make Searchable"));
    f.endGroup();
    // The same page object with the other drawing; the previous one waits in the swap's page.
    EXPECT_EQ(f.page(1), page);
    EXPECT_EQ(page->mediaBox(), QRectF(0, 0, 300, 400));
    EXPECT_EQ(page->rotation(), 90);
    EXPECT_EQ(drawing->mediaBox(), QRectF(0, 0, 612, 792));
    EXPECT_EQ(drawing->document(), nullptr);
    EXPECT_EQ(note->page(), page);
    EXPECT_EQ(dropped->page(), nullptr);
    EXPECT_EQ(e.selectedAnnotation(), nullptr);
    f.undo().undo();
    EXPECT_EQ(f.page(1), page);
    EXPECT_EQ(page->mediaBox(), QRectF(0, 0, 612, 792));
    EXPECT_EQ(page->rotation(), 0);
    EXPECT_EQ(dropped->page(), page);
    EXPECT_EQ(page->annotations().size(), 2u);
    EXPECT_EQ(f.undo().redoActionName(), QStringLiteral("Make Searchable"));
    f.undo().redo();
    EXPECT_EQ(page->mediaBox(), QRectF(0, 0, 300, 400));
    EXPECT_EQ(page->annotations().size(), 1u);

    // A page deleted in between is not brought back by the swap.
    e.deletePages({1});
    f.endGroup();
    e.swapPages({PageSwap{page, drawing, {note}, {note}}}, QStringLiteral("Make Searchable"));
    EXPECT_EQ(f.pdf()->pageCount(), 2);
    EXPECT_EQ(page->mediaBox(), QRectF(0, 0, 300, 400));
}
