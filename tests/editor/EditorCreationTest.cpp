#include "EditorTestSupport.h"

#include "core/AnnotationModel.h"
#include "core/SystemAnnotations.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

pdf::DocumentPtr linesDocument(int pages, int lines)
{
    return pdf::Document::fromData(makeLinesPdf(pages, lines)).value();
}

pdf::Selection wholePage(const pdf::PagePtr& page)
{
    return page->selection(page->mediaBox());
}

} // namespace

TEST(EditorCreation, MarkupMakesOneAnnotationPerLineInOneStep)
{
    EditorFixture f(linesDocument(1, 3));
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    e.markupSelection(Tool::highlight, wholePage(page));
    f.endGroup();
    const auto annotations = page->annotations();
    ASSERT_EQ(annotations.size(), 3u);
    for (const pdf::AnnotationPtr& a : annotations) {
        EXPECT_EQ(a->type(), QStringLiteral("Highlight"));
        EXPECT_NEAR(a->color().alphaF(), 0.5, 0.01);
        const QList<QPointF> quad = a->quadrilateralPoints();
        ASSERT_EQ(quad.size(), 4);
        const QRectF r = a->bounds();
        EXPECT_NEAR(quad[1].x(), r.width(), 0.01);
        EXPECT_NEAR(quad[0].y(), r.height(), 0.01);
    }
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Highlight"));
    EXPECT_EQ(f.canvas->sweptItems.size(), 3);
    EXPECT_EQ(f.canvas->sweptSubtype, QStringLiteral("Highlight"));
    EXPECT_EQ(f.canvas->sweptColor.alphaF(), 1.0f);
    f.undo().undo();
    EXPECT_TRUE(page->annotations().empty());

    // Strikethrough keeps its colour opaque; other tools do nothing.
    e.markupSelection(Tool::strikeOut, wholePage(page));
    f.endGroup();
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Strikethrough"));
    EXPECT_EQ(page->annotations().front()->color().alphaF(), 1.0f);
    const auto count = page->annotations().size();
    e.markupSelection(Tool::pen, wholePage(page));
    EXPECT_EQ(page->annotations().size(), count);
}

TEST(EditorCreation, MarkupAcrossTwoPagesPutsEachPartOnItsPage)
{
    EditorFixture f(linesDocument(2, 1));
    pdf::Selection selection = wholePage(f.page(0));
    selection.add(wholePage(f.page(1)));
    f.editor->markupSelection(Tool::underline, selection);
    EXPECT_EQ(f.page(0)->annotations().size(), 1u);
    EXPECT_EQ(f.page(1)->annotations().size(), 1u);
}

TEST(EditorCreation, InkIsThinnedSmoothedAndBoundedOnWholeNumbers)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    e.setStrokeWidth(10);
    // At width 10 points closer than 3.5 are dropped.
    e.addInk({QPointF(100.3, 100.2), QPointF(102, 100.2), QPointF(110, 100.2), QPointF(140.6, 120.4)}, page);
    f.endGroup();
    ASSERT_EQ(page->annotations().size(), 1u);
    const pdf::AnnotationPtr ink = page->annotations().front();
    EXPECT_EQ(ink->type(), QStringLiteral("Ink"));
    EXPECT_EQ(ink->lineWidth(), 10.0);
    EXPECT_EQ(ink->color(), Swatch::blue());
    const QRectF b = ink->bounds();
    for (double v : {b.left(), b.top(), b.width(), b.height()})
        EXPECT_DOUBLE_EQ(v, std::round(v));
    // Margin of 1.5 × 10 + 2 = 17 around the stroke.
    EXPECT_LE(b.left(), 100.3 - 17);
    EXPECT_GE(b.left(), 100.3 - 18);
    EXPECT_GE(b.right(), 140.6 + 17);
    ASSERT_EQ(ink->paths().size(), 1);
    EXPECT_EQ(ink->paths()[0].elementCount(), 1 + 3 * 2); // three kept points: two curves
    EXPECT_EQ(e.selectedAnnotation(), nullptr);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Draw"));

    // A stroke without points adds nothing.
    e.addInk({}, page);
    EXPECT_EQ(page->annotations().size(), 1u);

    // One point becomes a dot inside bounds at least twice the margin.
    e.setStrokeWidth(1);
    e.addInk({QPointF(300, 300)}, page);
    const QRectF dot = page->annotations().back()->bounds();
    EXPECT_GE(dot.width(), 7);
    EXPECT_GE(dot.height(), 7);
}

TEST(EditorCreation, ShapesFollowTheDragAndBecomeTheSelection)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    e.addShape(Tool::rectangle, page, QPointF(200, 300), QPointF(100, 250));
    f.endGroup();
    const pdf::AnnotationPtr rect = e.selectedAnnotation();
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->type(), QStringLiteral("Square"));
    EXPECT_EQ(rect->bounds(), QRectF(100, 250, 100, 50));
    EXPECT_FALSE(rect->interiorColor().has_value());
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Rectangle"));

    // An arrow dragged right to left keeps its head at the release point.
    e.setStrokeWidth(2);
    e.addShape(Tool::arrow, page, QPointF(300, 400), QPointF(200, 380));
    f.endGroup();
    const pdf::AnnotationPtr arrow = e.selectedAnnotation();
    const double grow = 4 * 2 + 6;
    EXPECT_EQ(arrow->bounds(), QRectF(200 - grow, 380 - grow, 100 + 2 * grow, 20 + 2 * grow));
    EXPECT_EQ(arrow->bounds().topLeft() + arrow->endPoint(), QPointF(200, 380));
    EXPECT_EQ(arrow->bounds().topLeft() + arrow->startPoint(), QPointF(300, 400));
    EXPECT_EQ(arrow->endLineEnding(), pdf::LineEnding::ClosedArrow);
    EXPECT_TRUE(arrow->interiorColor().has_value());
    EXPECT_EQ(e.lastShape(), Tool::arrow);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Arrow"));

    // A zero-width rectangle is still made (the canvas sizes clicks itself).
    e.addShape(Tool::ellipse, page, QPointF(50, 50), QPointF(50, 90));
    EXPECT_EQ(e.selectedAnnotation()->bounds().width(), 0.0);
}

TEST(EditorCreation, TextBoxesHangBelowTheClickAndCommitWithTheirText)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    const int version = e.annotationVersion();
    const pdf::AnnotationPtr near = e.beginFreeText(page, QPointF(612 - 30, 500));
    EXPECT_EQ(near->bounds(), QRectF(582, 500 - 27, 60, 27));
    EXPECT_EQ(e.selectedAnnotation(), near);
    EXPECT_EQ(e.annotationVersion(), version);
    EXPECT_FALSE(f.undo().canUndo());

    // Only spaces: the new box goes without an undo step.
    e.commitFreeText(near, page, QStringLiteral("   "), true);
    EXPECT_TRUE(page->annotations().empty());
    EXPECT_EQ(e.selectedAnnotation(), nullptr);
    EXPECT_FALSE(f.undo().canUndo());

    const pdf::AnnotationPtr box = e.beginFreeText(page, QPointF(100, 500));
    EXPECT_EQ(box->bounds().width(), 240);
    e.commitFreeText(box, page, QStringLiteral("Hi"), true);
    f.endGroup();
    EXPECT_EQ(box->bounds().width(), 40); // "Hi" + 12 is under the 40 minimum
    EXPECT_EQ(box->bounds().top() + box->bounds().height(), 500); // top edge kept
    EXPECT_EQ(box->contents(), QStringLiteral("Hi"));
    EXPECT_EQ(e.selectedAnnotation(), box);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Add Text"));

    e.commitFreeText(box, page, QStringLiteral("Hi again"), false);
    f.endGroup();
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Edit Text"));

    // Emptying an existing box deletes it; undo brings it back with its text.
    e.commitFreeText(box, page, QStringLiteral("\n "), false);
    f.endGroup();
    EXPECT_TRUE(page->annotations().empty());
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Text"));
    f.undo().undo();
    ASSERT_EQ(page->annotations().size(), 1u);
    EXPECT_EQ(page->annotations().front()->contents(), QStringLiteral("Hi again"));
}

TEST(EditorCreation, NotesSitCentredOnTheClickWithoutUndoUntilTheyAreKept)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    const pdf::AnnotationPtr note = e.addNote(page, QPointF(200, 300));
    EXPECT_EQ(note->bounds(), QRectF(189, 289, 22, 22));
    EXPECT_EQ(note->type(), QStringLiteral("Text"));
    EXPECT_EQ(e.selectedAnnotation(), note);
    EXPECT_EQ(e.annotationVersion(), 1);
    EXPECT_FALSE(f.undo().canUndo());
}

TEST(EditorCreation, SignaturesArePlacedAtTheVisibleCentreWithinTheirSizes)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    f.canvas->setVisibleCentre(QPointF(306, 396));
    e.addSignature(SignaturePlacement{QByteArray(), QImage(), 3.0});
    f.endGroup();
    EXPECT_EQ(e.mode(), EditorMode::sign);
    const pdf::AnnotationPtr signature = e.selectedAnnotation();
    ASSERT_NE(signature, nullptr);
    EXPECT_DOUBLE_EQ(signature->bounds().width(), 190);
    EXPECT_NEAR(signature->bounds().height(), 63.333, 0.001);
    EXPECT_NEAR(signature->bounds().center().x(), 306, 0.001);
    EXPECT_NEAR(signature->bounds().center().y(), 396, 0.001);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Add Signature"));
    EXPECT_EQ(f.canvas->signatureWrites, 1);
    EXPECT_EQ(core::annotationKindName(*signature), QStringLiteral("Signature"));

    // A very tall signature is capped at a quarter of the page height; near a corner it keeps 8 points.
    f.canvas->setVisibleCentre(QPointF(0, 0));
    e.addSignature(SignaturePlacement{QByteArray(), QImage(), 0.05});
    const QRectF tall = e.selectedAnnotation()->bounds();
    EXPECT_DOUBLE_EQ(tall.height(), 198);
    EXPECT_NEAR(tall.width(), 9.9, 1e-4); // the file keeps single precision
    EXPECT_DOUBLE_EQ(tall.left(), 8);
    EXPECT_DOUBLE_EQ(tall.top(), 8);

    // On a page turned a quarter the 3:1 artwork is 3:1 as displayed, so 1:3 in page space, and sized
    // against the displayed page.
    page->setRotation(90);
    f.canvas->setVisibleCentre(QPointF(306, 396));
    e.addSignature(SignaturePlacement{QByteArray(), QImage(), 3.0});
    const QRectF turned = e.selectedAnnotation()->bounds();
    EXPECT_NEAR(turned.width(), 63.333, 0.001);
    EXPECT_DOUBLE_EQ(turned.height(), 190);
    EXPECT_NEAR(turned.center().x(), 306, 0.001);
    EXPECT_NEAR(turned.center().y(), 396, 0.001);
}

TEST(EditorCreation, ASignaturePlacedAgainStepsAsideInsteadOfLandingOnTheLastOne)
{
    EditorFixture f;
    Editor& e = *f.editor;
    f.canvas->setVisibleCentre(QPointF(306, 396));
    QList<QRectF> placed;
    for (int i = 0; i < 3; ++i) {
        e.addSignature(SignaturePlacement{QByteArray(), QImage(), 3.0});
        f.endGroup();
        placed << e.selectedAnnotation()->bounds();
    }
    EXPECT_NEAR(placed[1].left() - placed[0].left(), 18, 0.01);
    EXPECT_NEAR(placed[1].top() - placed[0].top(), -18, 0.01); // lower on the page
    EXPECT_NEAR(placed[2].left() - placed[1].left(), 18, 0.01);
    for (const QRectF& r : placed)
        EXPECT_TRUE(f.page(0)->cropBox().contains(r));
}

TEST(EditorRedaction, SelectionsBecomeMarksAndTheListIsCachedUntilAVersionMoves)
{
    EditorFixture f(linesDocument(1, 2));
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    const pdf::Selection selection = wholePage(page);
    e.markSelectionForRedaction(selection);
    f.endGroup();
    QList<AnnotationItem> marks = e.redactionMarks();
    ASSERT_EQ(marks.size(), 2);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Mark for Redaction"));
    const QList<pdf::Selection> lines = selection.selectionsByLine();
    EXPECT_EQ(marks[0].first->bounds(), lines[0].bounds(page).adjusted(-1, -1, 1, 1));

    // Without a version change the cached answer stands, even if the page changed behind its back.
    page->addAnnotation(core::RedactionMarkAnnotation::create(QRectF(300, 300, 20, 20)));
    EXPECT_EQ(e.redactionMarks().size(), 2);
    e.addShape(Tool::rectangle, page, QPointF(0, 0), QPointF(10, 10));
    EXPECT_EQ(e.redactionMarks().size(), 3);

    // Undo removes the marks of the step.
    f.endGroup();
    f.undo().undo(); // the rectangle
    f.undo().undo(); // the two marks
    EXPECT_EQ(e.redactionMarks().size(), 1);

    // A plain Square tagged as a mark (as read from a file) counts too.
    const pdf::AnnotationPtr tagged = pdf::Annotation::create(QStringLiteral("Square"), QRectF(5, 5, 5, 5));
    tagged->setUserName(QStringLiteral("Vellumark.RedactionMark"));
    e.addAnnotation({{tagged, page}}, QStringLiteral("Mark for Redaction"));
    EXPECT_EQ(e.redactionMarks().size(), 2);
}
