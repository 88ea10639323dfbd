#include "EditorTestSupport.h"

#include "core/AnnotationModel.h"
#include "core/SystemAnnotations.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

pdf::AnnotationPtr square(const QRectF& bounds = QRectF(100, 100, 50, 40))
{
    pdf::AnnotationPtr a = pdf::Annotation::create(QStringLiteral("Square"), bounds);
    a->setColor(Swatch::red());
    a->setLineWidth(3.0);
    return a;
}

} // namespace

TEST(EditorAnnotations, AddAndRemoveAreAnUndoablePairUnderOneName)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    const pdf::AnnotationPtr a = square();
    const pdf::AnnotationPtr b = square(QRectF(10, 10, 5, 5));

    e.addAnnotation({{a, page}, {b, page}}, QStringLiteral("Rectangle"));
    EXPECT_EQ(e.annotationVersion(), 1);
    EXPECT_EQ(f.canvas->count("annotationsChanged"), 1);
    EXPECT_EQ(page->annotations().size(), 2u);
    EXPECT_TRUE(f.document->isEdited());
    f.endGroup();
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Rectangle"));

    f.undo().undo();
    EXPECT_TRUE(page->annotations().empty());
    EXPECT_EQ(e.annotationVersion(), 3); // a removal refreshes once per item
    EXPECT_EQ(f.undo().redoActionName(), QStringLiteral("Rectangle"));
    EXPECT_FALSE(f.document->isEdited());

    f.undo().redo();
    ASSERT_EQ(page->annotations().size(), 2u);
    EXPECT_EQ(page->annotations()[0], a); // the very same objects come back
    f.undo().undo();
    f.undo().redo();
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Rectangle"));

    // An empty list does nothing at all.
    const int version = e.annotationVersion();
    e.addAnnotation({}, QStringLiteral("Nothing"));
    e.removeAnnotation({}, QStringLiteral("Nothing"));
    EXPECT_EQ(e.annotationVersion(), version);
}

TEST(EditorAnnotations, DeletingTheSelectionNamesItsKindAndUndoDoesNotReselect)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);

    e.addShape(Tool::arrow, page, QPointF(300, 300), QPointF(200, 250));
    f.endGroup();
    ASSERT_NE(e.selectedAnnotation(), nullptr);
    e.deleteAnnotation();
    EXPECT_EQ(e.selectedAnnotation(), nullptr);
    f.endGroup();
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Arrow"));
    f.undo().undo();
    EXPECT_EQ(page->annotations().size(), 1u);
    EXPECT_EQ(e.selectedAnnotation(), nullptr);

    const pdf::AnnotationPtr signature = core::SignatureAnnotation::create(QRectF(0, 0, 50, 20), QByteArray());
    e.addAnnotation({{signature, page}}, QStringLiteral("Add Signature"));
    f.endGroup();
    e.setSelectedAnnotation(signature);
    e.deleteAnnotation();
    f.endGroup();
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Signature"));

    // Nothing selected: nothing happens.
    e.deleteAnnotation();
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Signature"));
}

TEST(EditorAnnotations, GeometryChangesUndoAndRedoExactly)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    e.addInk({QPointF(100, 100), QPointF(120, 130), QPointF(160, 110)}, page);
    f.endGroup();
    const pdf::AnnotationPtr ink = page->annotations().back();
    const core::AnnotationGeometry before = core::captureGeometry(*ink);

    // The canvas moves live, then registers the way back through setGeometry.
    core::AnnotationGeometry moved = before;
    moved.bounds.translate(40, -10);
    core::applyGeometry(moved, *ink);
    f.undo().registerUndo(static_cast<QObject*>(&e), [&e, ink, before, page] {
        e.setGeometry(ink, before, page, QStringLiteral("Move Drawing"));
    });
    f.undo().setActionName(QStringLiteral("Move Drawing"));
    f.endGroup();

    f.undo().undo();
    EXPECT_EQ(core::captureGeometry(*ink), before);
    EXPECT_EQ(f.undo().redoActionName(), QStringLiteral("Move Drawing"));
    f.undo().redo();
    EXPECT_EQ(core::captureGeometry(*ink).bounds, moved.bounds);
}

TEST(EditorAnnotations, ColourGoesToTheSelectionOrToTheCurrentTool)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);

    // No selection with a shape tool: all four shapes change.
    e.setMode(EditorMode::annotate);
    e.setTool(Tool::ellipse);
    e.changeColor(Swatch::green());
    for (Tool shape : {Tool::rectangle, Tool::ellipse, Tool::line, Tool::arrow})
        EXPECT_EQ(e.colorForTool(shape), Swatch::green());
    EXPECT_EQ(e.colorForTool(Tool::pen), Swatch::blue());

    // A selected highlight gets half opacity; its tool keeps the opaque colour.
    const pdf::AnnotationPtr highlight = pdf::Annotation::create(QStringLiteral("Highlight"), QRectF(50, 50, 100, 12));
    highlight->setColor(Swatch::yellow());
    e.addAnnotation({{highlight, page}}, QStringLiteral("Highlight"));
    f.endGroup();
    e.setSelectedAnnotation(highlight);
    e.changeColor(Swatch::pink());
    f.endGroup();
    EXPECT_NEAR(highlight->color().alphaF(), 0.5, 0.01);
    EXPECT_TRUE(colorsMatch(highlight->color(), Swatch::pink()));
    EXPECT_EQ(e.colorForTool(Tool::highlight).alphaF(), 1.0f);
    EXPECT_TRUE(colorsMatch(e.colorForTool(Tool::highlight), Swatch::pink()));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Change Color"));
    f.undo().undo();
    EXPECT_TRUE(colorsMatch(highlight->color(), Swatch::yellow()));

    // A redaction mark keeps its colour; the current tool takes it.
    const pdf::AnnotationPtr mark = core::RedactionMarkAnnotation::create(QRectF(10, 10, 40, 40));
    e.addAnnotation({{mark, page}}, QStringLiteral("Mark for Redaction"));
    f.endGroup();
    const QColor markColor = mark->color();
    e.setSelectedAnnotation(mark);
    e.changeColor(Swatch::blue());
    EXPECT_EQ(mark->color(), markColor);
    EXPECT_EQ(e.colorForTool(Tool::ellipse), Swatch::blue()); // the current tool, a shape
    EXPECT_EQ(e.colorForTool(Tool::rectangle), Swatch::blue());
}

TEST(EditorAnnotations, LineWidthDragUndoesToTheWidthFromBeforeTheDrag)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    const pdf::AnnotationPtr rect = square();
    e.addAnnotation({{rect, page}}, QStringLiteral("Rectangle"));
    f.endGroup();
    e.setSelectedAnnotation(rect);

    e.beginLineWidthChange();
    e.changeLineWidth(5, false);
    e.changeLineWidth(7, false);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Rectangle")); // live changes register nothing
    e.changeLineWidth(8, true);
    f.endGroup();
    EXPECT_EQ(rect->lineWidth(), 8.0);
    EXPECT_DOUBLE_EQ(e.strokeWidth(), 8.0);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Change Line Width"));
    f.undo().undo();
    EXPECT_EQ(rect->lineWidth(), 3.0);
    f.undo().redo();
    EXPECT_EQ(rect->lineWidth(), 8.0);

    // Live changes without a begin call still undo to the width before them.
    e.changeLineWidth(2, false);
    e.changeLineWidth(1, true);
    f.endGroup();
    f.undo().undo();
    EXPECT_EQ(rect->lineWidth(), 8.0);

    // A text box is not a line-width kind: only the default width changes.
    const pdf::AnnotationPtr box = e.beginFreeText(page, QPointF(100, 500));
    e.changeLineWidth(6, true);
    EXPECT_DOUBLE_EQ(e.strokeWidth(), 6.0);
    EXPECT_EQ(box->lineWidth().value_or(0), 0.0);
}

TEST(EditorAnnotations, FontSizeResizesTheTextBoxKeepingItsTopAndUndoesInOneStep)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    const pdf::AnnotationPtr box = e.beginFreeText(page, QPointF(100, 500));
    e.commitFreeText(box, page, QStringLiteral("Hello there"), true);
    f.endGroup();
    const QRectF before = box->bounds();
    const int version = e.annotationVersion();

    e.changeFontSize(32);
    f.endGroup();
    EXPECT_DOUBLE_EQ(e.fontSize(), 32.0);
    EXPECT_DOUBLE_EQ(box->fontSize(), 32.0);
    EXPECT_GT(box->bounds().height(), before.height());
    EXPECT_DOUBLE_EQ(box->bounds().top() + box->bounds().height(), before.top() + before.height());
    EXPECT_DOUBLE_EQ(box->bounds().width(), before.width());
    EXPECT_EQ(e.annotationVersion(), version + 2);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Change Font Size"));
    f.undo().undo();
    EXPECT_DOUBLE_EQ(box->fontSize(), 16.0);
    EXPECT_EQ(box->bounds(), before);
}

TEST(EditorAnnotations, EditingTextRegistersOnlyRealChanges)
{
    EditorFixture f;
    Editor& e = *f.editor;
    const pdf::PagePtr page = f.page(0);
    const pdf::AnnotationPtr note = e.addNote(page, QPointF(200, 200));
    note->setContents(QStringLiteral("Old"));
    const QRectF bounds = note->bounds();
    f.endGroup();
    const bool couldUndo = f.undo().canUndo();

    e.editFreeText(QStringLiteral("Old"), note);
    EXPECT_EQ(f.undo().canUndo(), couldUndo);
    e.editFreeText(QStringLiteral("New text"), note);
    f.endGroup();
    EXPECT_EQ(note->contents(), QStringLiteral("New text"));
    EXPECT_EQ(note->bounds(), bounds);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Edit Text"));
    f.undo().undo();
    EXPECT_EQ(note->contents(), QStringLiteral("Old"));
}

TEST(EditorAnnotations, ToolsForAnnotationsFollowTheirSubtype)
{
    auto make = [](const char* type) { return pdf::Annotation::create(QLatin1String(type), QRectF(0, 0, 10, 10)); };
    EXPECT_EQ(Editor::toolForAnnotation(make("StrikeOut")), Tool::strikeOut);
    EXPECT_EQ(Editor::toolForAnnotation(make("Text")), Tool::note);
    EXPECT_EQ(Editor::toolForAnnotation(make("Line")), Tool::line);
    const pdf::AnnotationPtr arrow = make("Line");
    arrow->setEndLineEnding(pdf::LineEnding::ClosedArrow);
    EXPECT_EQ(Editor::toolForAnnotation(arrow), Tool::arrow);
    EXPECT_FALSE(Editor::toolForAnnotation(make("Stamp")).has_value());
    EXPECT_FALSE(Editor::toolForAnnotation(nullptr).has_value());
}
