#include "CanvasTestSupport.h"

#include "views/InlineTextView.h"
#include "views/NoteEditorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;
using views::InlineTextView;

namespace {

InlineTextView* openTextView(CanvasFixture& f)
{
    return f.canvas->textSession() ? f.canvas->textSession()->view.data() : nullptr;
}

} // namespace

TEST(TextBoxes, ANewBoxIsCommittedWithEscapeAsAddTextAndSelected)
{
    CanvasFixture f;
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::text);
    f.click({100, 400});
    InlineTextView* view = openTextView(f);
    ASSERT_NE(view, nullptr);
    const pdf::AnnotationPtr box = f.canvas->textSession()->annotation;
    // Only the text view shows the text while typing; the file's own flag never changes for it.
    EXPECT_TRUE(f.canvas->isAnnotationExcluded(box));
    EXPECT_TRUE(box->shouldDisplay());
    QTest::keyClicks(view, QStringLiteral("Hello"));
    const int oneLine = view->height();
    const int top = view->y();
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClicks(view, QStringLiteral("there"));
    EXPECT_GT(view->height(), oneLine); // grows downwards
    EXPECT_EQ(view->y(), top);
    EXPECT_FALSE(f.undo().canUndo());   // typing stays inside the text view

    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(f.canvas->textSession());
    EXPECT_FALSE(f.canvas->isAnnotationExcluded(box));
    EXPECT_EQ(box->contents(), "Hello\nthere");
    EXPECT_EQ(f.undo().undoActionName(), "Add Text");
    EXPECT_EQ(f.editor->selectedAnnotation(), box);
    EXPECT_EQ(box->page(), f.page());
}

TEST(TextBoxes, ABlankNewBoxDisappearsWithoutAnUndoStep)
{
    CanvasFixture f;
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::text);
    f.click({100, 400});
    ASSERT_NE(openTextView(f), nullptr);
    QTest::keyClicks(openTextView(f), QStringLiteral("  "));
    f.click({300, 200}); // a press elsewhere commits it (and opens the next box)
    EXPECT_EQ(f.annotationCount("FreeText"), 1);
    EXPECT_FALSE(f.undo().canUndo());
    f.canvas->commitTextSession();
    EXPECT_EQ(f.annotationCount("FreeText"), 0);
}

TEST(TextBoxes, ExistingBoxesAreEditedOrDeletedOnFocusLossAndZoom)
{
    CanvasFixture f;
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::text);
    f.click({100, 400});
    QTest::keyClicks(openTextView(f), QStringLiteral("First"));
    f.canvas->commitTextSession();
    const pdf::AnnotationPtr box = f.lastAnnotation();
    f.endGroup();

    // A double click with the select tool opens it again.
    f.editor->setTool(Tool::select);
    f.doubleClick(box->bounds().center());
    InlineTextView* view = openTextView(f);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->toPlainText(), "First");
    QTest::keyClicks(view, QStringLiteral("Second"));
    QFocusEvent focusOut(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(view, &focusOut);
    EXPECT_FALSE(f.canvas->textSession());
    EXPECT_EQ(box->contents(), "Second");
    EXPECT_EQ(f.undo().undoActionName(), "Edit Text");
    f.endGroup();

    f.editor->setTool(Tool::text);
    f.click(box->bounds().center());
    ASSERT_NE(openTextView(f), nullptr);
    openTextView(f)->clear();
    f.canvas->PDFView::setScaleFactor(2.0); // zooming commits
    EXPECT_FALSE(f.canvas->textSession());
    EXPECT_EQ(f.annotationCount("FreeText"), 0);
    EXPECT_EQ(f.undo().undoActionName(), "Delete Text");
}

TEST(TextBoxes, TheTextViewIsScaledWithTheZoomAndStaysOnTheBoxWhileScrolling)
{
    CanvasFixture f(nullptr, 2.0);
    f.editor->setFontSize(12);
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::text);
    f.click({100, 500});
    InlineTextView* view = openTextView(f);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->font().pixelSize(), 24);
    EXPECT_EQ(view->insets(), QMargins(8, 6, 8, 6));
    const pdf::AnnotationPtr box = f.canvas->textSession()->annotation;
    const int height = view->height();
    f.canvas->scrollToY(f.canvas->scrollOrigin().y() + 120);
    const QRectF frame = f.canvas->convertRectFromPage(box->bounds(), 0);
    EXPECT_EQ(view->pos(), frame.topLeft().toPoint());
    EXPECT_EQ(view->height(), height);
    // A mode change commits it.
    QTest::keyClicks(view, QStringLiteral("Kept"));
    f.editor->setMode(EditorMode::read);
    EXPECT_EQ(box->contents(), "Kept");
}

TEST(Notes, ANewNoteIsKeptAsAddNoteEvenWithoutText)
{
    CanvasFixture f;
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::note);
    f.click({300, 300});
    ASSERT_TRUE(f.canvas->noteSession());
    const pdf::AnnotationPtr note = f.canvas->noteSession()->annotation;
    EXPECT_FALSE(f.undo().canUndo());
    f.canvas->closeNotePopover();
    EXPECT_FALSE(f.canvas->noteSession());
    EXPECT_EQ(f.annotationCount("Text"), 1);
    EXPECT_EQ(note->contents(), "");
    EXPECT_EQ(f.undo().undoActionName(), "Add Note");
    EXPECT_EQ(f.editor->selectedAnnotation(), note);
    f.endGroup();
    f.undo().undo();
    EXPECT_EQ(f.annotationCount("Text"), 0);
}

TEST(Notes, OpeningASecondNoteKeepsTheFirstNotesText)
{
    CanvasFixture f;
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::note);
    f.click({300, 300});
    ASSERT_TRUE(f.canvas->noteSession());
    const pdf::AnnotationPtr first = f.canvas->noteSession()->annotation;
    QPlainTextEdit* text = f.canvas->noteSession()->popover->editorView()->textEditor();
    QTest::keyClicks(text, QStringLiteral("Check the totals"));

    // The second note's popover opens while the first one's is still open.
    const pdf::AnnotationPtr second = f.editor->addNote(f.page(), {100, 100});
    f.canvas->showNotePopover(second, f.page(), true);
    EXPECT_EQ(first->contents(), "Check the totals");
    ASSERT_TRUE(f.canvas->noteSession());
    EXPECT_EQ(f.canvas->noteSession()->annotation, second);

    // An existing note is edited under "Edit Text".
    f.canvas->closeNotePopover();
    f.endGroup();
    f.canvas->showNotePopover(first, f.page(), false);
    QPlainTextEdit* again = f.canvas->noteSession()->popover->editorView()->textEditor();
    EXPECT_EQ(again->toPlainText(), "Check the totals");
    again->setPlainText(QStringLiteral("Totals checked"));
    f.canvas->closeNotePopover();
    EXPECT_EQ(first->contents(), "Totals checked");
    EXPECT_EQ(f.undo().undoActionName(), "Edit Text");
}

TEST(TextBoxes, TheTypedTextStaysOnScreenUntilThePageIsDrawnWithTheBox)
{
    CanvasFixture f;
    auto rendered = [&] {
        QElapsedTimer timer;
        timer.start();
        while (!f.canvas->isFullyRendered() && timer.elapsed() < 5000) {
            f.canvas->grab();
            QTest::qWait(5);
        }
        return f.canvas->isFullyRendered();
    };
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::text);
    f.click({100, 400});
    InlineTextView* view = openTextView(f);
    ASSERT_NE(view, nullptr);
    QTest::keyClicks(view, QStringLiteral("WWWWWWWW"));
    ASSERT_TRUE(rendered());
    const QRect box = view->geometry();
    auto darkPixels = [&] {
        const QImage frame = f.canvas->viewport()->grab(box).toImage();
        int dark = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                dark += qGray(frame.pixel(x, y)) < 100;
        return dark;
    };
    const int typed = darkPixels();
    ASSERT_GT(typed, 20);

    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(f.canvas->textSession());
    // The very next frame still shows the words, whether from the text view or the redrawn page.
    EXPECT_GT(darkPixels(), typed / 2);
    ASSERT_TRUE(rendered());
    QApplication::processEvents();
    EXPECT_GT(darkPixels(), typed / 2);
    // The text view has gone once the page shows the box.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (InlineTextView* left : f.canvas->findChildren<InlineTextView*>())
        EXPECT_FALSE(left->isVisible());
}
