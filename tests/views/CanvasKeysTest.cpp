#include "CanvasTestSupport.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

TEST(CanvasKeys, EscapeClearsThePendingCropThenTheSelectionThenTheTool)
{
    CanvasFixture f;
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::crop);
    f.dragFromTo({100, 100}, {300, 400});
    ASSERT_TRUE(f.editor->pendingCrop());
    f.key(Qt::Key_Escape);
    EXPECT_FALSE(f.editor->pendingCrop());
    EXPECT_EQ(f.editor->tool(), Tool::crop);
    f.key(Qt::Key_Escape);
    EXPECT_EQ(f.editor->tool(), Tool::select);

    const pdf::AnnotationPtr box = f.addSquare({200, 300, 100, 60});
    f.editor->setTool(Tool::pen);
    f.editor->setSelectedAnnotation(box);
    f.key(Qt::Key_Escape);
    EXPECT_EQ(f.editor->selectedAnnotation(), nullptr);
    EXPECT_EQ(f.editor->tool(), Tool::pen);
    f.key(Qt::Key_Escape);
    EXPECT_EQ(f.editor->tool(), Tool::select);
}

TEST(CanvasKeys, ReturnAppliesThePendingCropToItsOwnPageOnly)
{
    CanvasFixture f;
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::crop);
    const QRectF before = f.page(1)->cropBox();
    f.key(Qt::Key_Return); // nothing pending: nothing of the canvas's own
    EXPECT_EQ(f.page()->cropBox(), before);
    f.dragFromTo({100, 100}, {300, 400});
    f.key(Qt::Key_Enter); // the keypad's Enter works as Return
    EXPECT_EQ(f.page()->cropBox(), QRectF(100, 100, 200, 300));
    EXPECT_EQ(f.page(1)->cropBox(), before);
    EXPECT_EQ(f.undo().undoActionName(), "Crop");
}

TEST(CanvasKeys, DeleteRemovesTheSelectionAndTheMenuItemFollowsIt)
{
    CanvasFixture f;
    const pdf::AnnotationPtr box = f.addSquare({200, 300, 100, 60});
    f.editor->setMode(EditorMode::annotate);
    EXPECT_FALSE(f.canvas->validateDelete());
    f.editor->setSelectedAnnotation(box);
    EXPECT_TRUE(f.canvas->validateDelete());
    f.key(Qt::Key_Backspace);
    EXPECT_EQ(f.annotationCount("Square"), 0);
    EXPECT_EQ(f.undo().undoActionName(), "Delete Rectangle");
    EXPECT_FALSE(f.canvas->validateDelete());
}

TEST(CanvasKeys, ArrowsNudgeByOneOrTenPointsEachAsItsOwnUndoStep)
{
    CanvasFixture f;
    const pdf::AnnotationPtr box = f.addSquare({200, 300, 100, 60});
    f.editor->setMode(EditorMode::annotate);
    f.editor->setSelectedAnnotation(box);
    f.key(Qt::Key_Right);
    f.endGroup();
    f.key(Qt::Key_Up, Qt::ShiftModifier);
    f.endGroup();
    EXPECT_EQ(box->bounds(), QRectF(201, 310, 100, 60));
    EXPECT_EQ(f.undo().undoActionName(), "Move Rectangle");
    f.key(Qt::Key_Up, Qt::ControlModifier); // not a nudge
    EXPECT_EQ(box->bounds(), QRectF(201, 310, 100, 60));

    f.undo().undo();
    EXPECT_EQ(box->bounds(), QRectF(201, 300, 100, 60));
    f.undo().undo();
    EXPECT_EQ(box->bounds(), QRectF(200, 300, 100, 60));
    f.undo().redo();
    EXPECT_EQ(box->bounds(), QRectF(201, 300, 100, 60));

    // Highlights stay where they are.
    pdf::AnnotationPtr highlight = pdf::Annotation::create(QStringLiteral("Highlight"), QRectF(60, 600, 200, 20));
    f.page()->addAnnotation(highlight);
    f.editor->setSelectedAnnotation(highlight);
    f.key(Qt::Key_Left);
    EXPECT_EQ(highlight->bounds(), QRectF(60, 600, 200, 20));
}

TEST(CanvasKeys, ArrowsFollowTheScreenOnATurnedPage)
{
    pdf::DocumentPtr pdf = openPdf(textPdf(1));
    pdf->page(0)->setRotation(90);
    CanvasFixture f(pdf);
    const pdf::AnnotationPtr box = f.addSquare({200, 300, 100, 60});
    f.editor->setMode(EditorMode::annotate);
    f.editor->setSelectedAnnotation(box);
    const QPointF before = f.view(box->bounds().center());
    f.key(Qt::Key_Right, Qt::ShiftModifier);
    const QPointF after = f.view(box->bounds().center());
    EXPECT_NEAR(after.x() - before.x(), 10, 1e-6);
    EXPECT_NEAR(after.y() - before.y(), 0, 1e-6);
}

TEST(CanvasKeys, ToolLettersWorkInAnnotateModeOnlyAndWithoutModifiers)
{
    CanvasFixture f;
    f.key(Qt::Key_R);
    EXPECT_EQ(f.editor->tool(), Tool::select); // Read mode
    f.editor->setMode(EditorMode::annotate);
    f.key(Qt::Key_R, Qt::ShiftModifier);
    EXPECT_EQ(f.editor->tool(), Tool::select);
    f.key(Qt::Key_R);
    EXPECT_EQ(f.editor->tool(), Tool::rectangle);
    f.key(Qt::Key_K);
    EXPECT_EQ(f.editor->tool(), Tool::strikeOut);
    f.key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(f.editor->tool(), Tool::strikeOut);
    f.key(Qt::Key_V);
    EXPECT_EQ(f.editor->tool(), Tool::select);
}
