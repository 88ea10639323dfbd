#include "CanvasTestSupport.h"

#include "core/AnnotationModel.h"
#include "core/SystemAnnotations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace vmk;
using namespace vmk::test;
using views::Gesture;

namespace {

void annotateWith(CanvasFixture& f, Tool tool)
{
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(tool);
}

QPointF lineEnd(const pdf::Annotation& a, bool start)
{
    return (start ? a.startPoint() : a.endPoint()) + a.bounds().topLeft();
}

} // namespace

TEST(CanvasGestures, AClickWithAShapeToolMakesItsDefaultSizeAndAShortDragCountsAsAClick)
{
    CanvasFixture f;
    annotateWith(f, Tool::rectangle);
    f.click({300, 400});
    ASSERT_EQ(f.annotationCount("Square"), 1);
    const pdf::AnnotationPtr box = f.lastAnnotation();
    EXPECT_EQ(box->bounds(), QRectF(240, 360, 120, 80));
    EXPECT_EQ(f.undo().undoActionName(), "Rectangle");
    EXPECT_EQ(f.editor->selectedAnnotation(), box);
    f.endGroup();

    // Measured in view points: at scale 2, a 3-point drag is still a click, a 5-point drag is not.
    f.canvas->PDFView::setScaleFactor(2.0);
    f.editor->setTool(Tool::arrow);
    QPointF start = f.view({100, 200});
    f.pressView(start);
    f.dragView(start + QPointF(3, 0));
    f.releaseView(start + QPointF(3, 0));
    pdf::AnnotationPtr arrow = f.lastAnnotation();
    ASSERT_EQ(arrow->type(), "Line");
    EXPECT_NEAR(lineEnd(*arrow, true).x(), 50, 1e-6);
    EXPECT_NEAR(lineEnd(*arrow, false).x(), 150, 1e-6);
    EXPECT_EQ(arrow->endLineEnding(), pdf::LineEnding::ClosedArrow);

    start = f.view({100, 500});
    f.pressView(start);
    f.dragView(start + QPointF(5, 0));
    f.releaseView(start + QPointF(5, 0));
    const pdf::AnnotationPtr shortArrow = f.lastAnnotation();
    EXPECT_NEAR(QLineF(lineEnd(*shortArrow, true), lineEnd(*shortArrow, false)).length(), 2.5, 1e-6);
}

TEST(CanvasGestures, APenDragBecomesOneSmoothedInkStrokeWithCloseEventsDropped)
{
    CanvasFixture f;
    annotateWith(f, Tool::pen);
    f.press({100, 300});
    for (int i = 1; i <= 40; ++i)
        f.drag({100.0 + 5 * i, 300 + 30 * std::sin(i / 6.0)});
    // Events closer than 0.8 view points to the last kept point add nothing.
    f.drag({300.3, 300 + 30 * std::sin(40 / 6.0)});
    const auto* ink = std::get_if<views::gesture::Ink>(&*f.canvas->gesture());
    ASSERT_NE(ink, nullptr);
    EXPECT_EQ(ink->points.size(), 41);
    f.release({300, 300});

    EXPECT_FALSE(f.canvas->gesture().has_value());
    ASSERT_EQ(f.annotationCount("Ink"), 1);
    const pdf::AnnotationPtr stroke = f.lastAnnotation();
    EXPECT_EQ(f.undo().undoActionName(), "Draw");
    const QList<QPainterPath> paths = stroke->paths();
    ASSERT_EQ(paths.size(), 1);
    // Smoothed: curves, not a polyline through every sample.
    EXPECT_GT(paths[0].elementCount(), 3);
    EXPECT_GE(stroke->bounds().width(), 200);
    f.endGroup();
    f.undo().undo();
    EXPECT_EQ(f.annotationCount("Ink"), 0);
}

TEST(CanvasGestures, ShiftSnapsLinesToFortyFiveDegreeStepsAndShapesToSquaresAndCircles)
{
    CanvasFixture f;
    annotateWith(f, Tool::line);
    f.dragFromTo({100, 300}, {200, 340}, Qt::ShiftModifier);
    pdf::AnnotationPtr line = f.lastAnnotation();
    ASSERT_EQ(line->type(), "Line");
    const QPointF d = lineEnd(*line, false) - lineEnd(*line, true);
    EXPECT_NEAR(d.y(), 0, 1e-4); // 21.8° rounds to 0°
    EXPECT_NEAR(d.x(), std::hypot(100, 40), 1e-4); // the length stays

    f.editor->setTool(Tool::ellipse);
    f.dragFromTo({400, 300}, {340, 380}, Qt::ShiftModifier);
    const pdf::AnnotationPtr circle = f.lastAnnotation();
    ASSERT_EQ(circle->type(), "Circle");
    EXPECT_EQ(circle->bounds(), QRectF(320, 300, 80, 80)); // on the pointer's side
}

TEST(CanvasGestures, MovingAnAnnotationAppliesLiveAndRegistersOneUndoStep)
{
    CanvasFixture f;
    const pdf::AnnotationPtr box = f.addSquare({200, 300, 100, 60});
    annotateWith(f, Tool::select);

    f.click({250, 330}); // a click selects and moves nothing
    EXPECT_EQ(f.editor->selectedAnnotation(), box);
    EXPECT_FALSE(f.undo().canUndo());

    f.press({250, 330});
    f.drag({270, 320});
    EXPECT_EQ(box->bounds(), QRectF(220, 290, 100, 60)); // live, from the press point
    EXPECT_FALSE(f.undo().canUndo());
    f.drag({300, 350});
    f.release({300, 350});
    EXPECT_EQ(box->bounds(), QRectF(250, 320, 100, 60));
    EXPECT_EQ(f.undo().undoActionName(), "Move Rectangle");
    f.endGroup();
    const int version = f.editor->annotationVersion();

    f.undo().undo();
    EXPECT_EQ(box->bounds(), QRectF(200, 300, 100, 60));
    EXPECT_EQ(f.undo().redoActionName(), "Move Rectangle");
    EXPECT_GT(f.editor->annotationVersion(), version);
    f.undo().redo();
    EXPECT_EQ(box->bounds(), QRectF(250, 320, 100, 60));
}

TEST(CanvasGestures, ResizingAnchorsTheOppositeCornerFlipsPastItAndRegistersUndo)
{
    CanvasFixture f;
    const pdf::AnnotationPtr box = f.addSquare({200, 300, 100, 60});
    annotateWith(f, Tool::select);
    f.click({250, 330});
    // Corner 2 (maximum x and y) dragged past the anchor at (200, 300).
    f.press({300, 360});
    ASSERT_TRUE(std::holds_alternative<views::gesture::Resize>(*f.canvas->gesture()));
    f.drag({330, 380});
    EXPECT_EQ(box->bounds(), QRectF(200, 300, 130, 80));
    f.drag({150, 280});
    EXPECT_EQ(box->bounds(), QRectF(150, 280, 50, 20));
    f.drag({198, 299}); // never below 8 × 8
    f.release({198, 299});
    EXPECT_EQ(box->bounds(), QRectF(192, 292, 8, 8));
    EXPECT_EQ(f.undo().undoActionName(), "Resize Rectangle");
    f.endGroup();
    f.undo().undo();
    EXPECT_EQ(box->bounds(), QRectF(200, 300, 100, 60));
}

TEST(CanvasGestures, AModeChangeInTheMiddleOfADragKeepsTheMoveUndoable)
{
    CanvasFixture f;
    const pdf::AnnotationPtr box = f.addSquare({200, 300, 100, 60});
    annotateWith(f, Tool::select);
    f.press({250, 330});
    f.drag({280, 330});
    f.editor->setMode(EditorMode::read);
    EXPECT_FALSE(f.canvas->gesture().has_value());
    f.release({280, 330});
    EXPECT_EQ(box->bounds(), QRectF(230, 300, 100, 60));
    EXPECT_EQ(f.undo().undoActionName(), "Move Rectangle");
    f.endGroup();
    f.undo().undo();
    EXPECT_EQ(box->bounds(), QRectF(200, 300, 100, 60));
}

TEST(CanvasGestures, ToolsDecideWhatAPressOnAnAnnotationDoes)
{
    CanvasFixture f;
    const pdf::AnnotationPtr box = f.addSquare({200, 300, 100, 60});
    annotateWith(f, Tool::pen);
    f.dragFromTo({220, 320}, {260, 340});
    EXPECT_EQ(f.annotationCount("Ink"), 1); // the pen draws over it instead of picking it
    EXPECT_EQ(box->bounds(), QRectF(200, 300, 100, 60));

    // A highlight can be picked but not moved and shows no handles; a note has no handles either.
    pdf::AnnotationPtr highlight = pdf::Annotation::create(QStringLiteral("Highlight"), QRectF(60, 600, 200, 20));
    f.page()->addAnnotation(highlight);
    f.editor->setTool(Tool::select);
    f.press({100, 610});
    EXPECT_EQ(f.editor->selectedAnnotation(), highlight);
    EXPECT_FALSE(f.canvas->gesture().has_value());
    f.release({100, 610});
    EXPECT_TRUE(f.canvas->interaction().handlePoints(highlight, f.page()).isEmpty());

    // Redaction marks belong to Redact mode, where nothing else can be picked.
    pdf::AnnotationPtr mark = core::RedactionMarkAnnotation::create(QRectF(400, 100, 80, 40));
    f.page()->addAnnotation(mark);
    EXPECT_EQ(f.canvas->interaction().hitTestAnnotation({440, 120}, f.page()), nullptr);
    f.editor->setMode(EditorMode::redact);
    EXPECT_EQ(f.canvas->interaction().hitTestAnnotation({440, 120}, f.page()), mark);
    EXPECT_EQ(f.canvas->interaction().hitTestAnnotation({250, 330}, f.page()), nullptr);
    EXPECT_EQ(f.canvas->interaction().hitTestAnnotation({100, 610}, f.page()), nullptr);
}

TEST(CanvasGestures, RedactBoxesAndCropRectanglesBelowTheirSmallestSizeAreDropped)
{
    CanvasFixture f;
    f.editor->setMode(EditorMode::redact);
    f.dragFromTo({100, 300}, {102, 340}); // 2 view points wide
    EXPECT_EQ(f.annotationCount("Square"), 0);
    f.dragFromTo({100, 300}, {180, 340});
    ASSERT_EQ(f.annotationCount("Square"), 1);
    EXPECT_TRUE(core::isRedactionMark(*f.lastAnnotation()));
    EXPECT_EQ(f.lastAnnotation()->bounds(), QRectF(100, 300, 80, 40));
    EXPECT_EQ(f.undo().undoActionName(), "Mark for Redaction");

    annotateWith(f, Tool::crop);
    f.dragFromTo({100, 100}, {107, 300});
    EXPECT_FALSE(f.editor->pendingCrop().has_value());
    // Partly outside the page: cut to the media box.
    f.dragFromTo({500, 700}, {700, 900});
    ASSERT_TRUE(f.editor->pendingCrop().has_value());
    EXPECT_EQ(f.editor->pendingCrop()->rect, QRectF(500, 700, 112, 92));
    EXPECT_EQ(f.editor->pendingCrop()->page, f.page());
}

TEST(CanvasGestures, DraggingOverTextWithAMarkupToolMarksEachLine)
{
    CanvasFixture f;
    annotateWith(f, Tool::highlight);
    // From the first line (baseline 100 points from the top) into the second.
    f.dragFromTo({75, 792 - 95}, {200, 792 - 125});
    EXPECT_EQ(f.annotationCount("Highlight"), 2);
    EXPECT_EQ(f.undo().undoActionName(), "Highlight");
    EXPECT_FALSE(f.canvas->currentSelection().has_value());

    f.endGroup();
    f.editor->setMode(EditorMode::redact);
    f.dragFromTo({75, 792 - 155}, {250, 792 - 155});
    EXPECT_EQ(f.undo().undoActionName(), "Mark for Redaction");
    EXPECT_TRUE(core::isRedactionMark(*f.lastAnnotation()));
}

TEST(CanvasGestures, CursorsFollowTheToolAndTheTextUnderThePointerInRedactMode)
{
    CanvasFixture f;
    const views::CanvasInteraction& in = f.canvas->interaction();
    EXPECT_FALSE(in.cursorAt(f.view({300, 300})).has_value()); // Read mode: the base view decides
    annotateWith(f, Tool::pen);
    EXPECT_EQ(in.cursorAt(f.view({300, 300})), Qt::CrossCursor);
    f.editor->setTool(Tool::note);
    EXPECT_EQ(in.cursorAt(f.view({300, 300})), Qt::PointingHandCursor);
    f.editor->setTool(Tool::text);
    EXPECT_EQ(in.cursorAt(f.view({300, 300})), Qt::IBeamCursor);
    f.editor->setMode(EditorMode::redact);
    EXPECT_EQ(in.cursorAt(f.view({120, 792 - 95})), Qt::IBeamCursor);
    EXPECT_EQ(in.cursorAt(f.view({300, 300})), Qt::CrossCursor);
    EXPECT_EQ(in.cursorAt(QPointF(2, 2)), Qt::CrossCursor); // beside the page
}
