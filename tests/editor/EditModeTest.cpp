#include "EditorTestSupport.h"

#include "core/pdfium/PDFEditSession.h"
#include "support/EditPdf.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

bool engineInBuild()
{
    return QFileInfo::exists(core::PDFEditSession::pdfiumLibraryPath());
}

#define SKIP_WITHOUT_ENGINE()                                                                                        \
    if (!engineInBuild())                                                                                            \
    GTEST_SKIP() << "PDFium is not in this build"

// Page 0: two paragraphs far apart and two overlapping pictures, the second drawn later; the first picture
// also lies under the lower paragraph. Page 1: one line. Page 2: a page-filling picture (a scan).
QByteArray editDocument()
{
    EditPageSpec first;
    first.lines = {{QStringLiteral("Quarterly report"), {72, 700}, 14}, {QStringLiteral("Figures follow"), {72, 400}, 12}};
    first.images = {QRectF(60, 380, 200, 120), QRectF(200, 300, 100, 100)};
    first.imageColors = {QColor(Qt::red), QColor(Qt::blue)};
    EditPageSpec second;
    second.lines = {{QStringLiteral("Second page"), {72, 700}, 12}};
    EditPageSpec scan;
    scan.images = {QRectF(0, 0, 612, 792)};
    return makeEditPdf({first, second, scan});
}

struct EditFixture : EditorFixture {
    EditFixture() : EditorFixture(pdf::Document::fromData(editDocument()).value()) {}
    EditTarget textAt(int page, QPointF p)
    {
        const auto t = editor->editTargetAt(page, p);
        EXPECT_TRUE(t && t->isText());
        return t.value_or(EditTarget());
    }
};

QString pageText(const pdf::DocumentPtr& doc, int page)
{
    return doc->page(page)->text().simplified();
}

} // namespace

TEST(EditTargets, EqualByBlockAndPageOnly)
{
    core::EditableTextBlock a;
    a.id = 4;
    a.bounds = QRectF(10, 10, 100, 20);
    a.text = QStringLiteral("one");
    core::EditableTextBlock b = a;
    b.text = QStringLiteral("two");
    b.fontSize = 30;
    EXPECT_EQ(EditTarget::text(a, 0), EditTarget::text(b, 0));
    EXPECT_FALSE(EditTarget::text(a, 0) == EditTarget::text(a, 1));
    b.bounds.translate(0.5, 0);
    EXPECT_FALSE(EditTarget::text(a, 0) == EditTarget::text(b, 0));
    core::EditableImage image;
    image.id = 4;
    image.bounds = a.bounds;
    EXPECT_FALSE(EditTarget::text(a, 0) == EditTarget::picture(image, 0));
}

TEST(EditMode, LockedDocumentGoesBackToReadSilently)
{
    EditorFixture f(pdf::Document::fromData(lockedPdf(QStringLiteral("secret"))).value());
    f.editor->setMode(EditorMode::edit);
    EXPECT_EQ(f.editor->mode(), EditorMode::read);
    EXPECT_FALSE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->editSession(), nullptr);
}

TEST(EditMode, EngineThatCannotStartShowsOneToastThenRead)
{
    EditorFixture f;
    f.editor->setEditSessionOpener([](const QByteArray&) -> core::PDFiumResult<std::shared_ptr<core::PDFEditSession>> {
        return core::PDFiumError::unavailable(QStringLiteral("libpdfium.so: cannot open shared object file"));
    });
    QSignalSpy toasts(f.editor.get(), &Editor::toastChanged);
    f.editor->setMode(EditorMode::edit);
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text,
              core::PDFiumError::unavailable(QStringLiteral("libpdfium.so: cannot open shared object file")).message());
    EXPECT_EQ(f.editor->toast()->symbol, QStringLiteral("exclamationmark.triangle.fill"));
    EXPECT_EQ(f.editor->mode(), EditorMode::edit); // Read mode follows on the next turn
    f.scheduler.runDue();
    EXPECT_EQ(f.editor->mode(), EditorMode::read);
    EXPECT_EQ(toasts.count(), 1);
    EXPECT_EQ(f.editor->editSession(), nullptr);
    EXPECT_FALSE(f.editor->editHover() || f.editor->editSelection());
}

TEST(EditMode, EnteringOpensASessionAndLeavingClearsEverything)
{
    SKIP_WITHOUT_ENGINE();
    EditFixture f;
    platform::LogCapture log;
    f.editor->setMode(EditorMode::edit);
    ASSERT_NE(f.editor->editSession(), nullptr);
    EXPECT_EQ(log.linesWithPrefix(QStringLiteral("signpost end")).filter(QStringLiteral("Enter Edit Mode")).size(), 1);
    EXPECT_FALSE(f.editor->toast().has_value());

    f.editor->setEditHover(f.editor->editTargetAt(0, QPointF(80, 704)));
    f.editor->setEditSelection(f.editor->editTargetAt(0, QPointF(250, 350)));
    ASSERT_TRUE(f.editor->editSelection());
    f.canvas->calls.clear();
    f.editor->setMode(EditorMode::annotate);
    EXPECT_TRUE(f.canvas->calls.contains(QStringLiteral("endBlockSession:1")));
    EXPECT_EQ(f.editor->editSession(), nullptr);
    EXPECT_FALSE(f.editor->editHover() || f.editor->editSelection());
    EXPECT_FALSE(f.editor->editTargetAt(0, QPointF(80, 704)));
}

TEST(EditMode, HitTestPrefersTextThenTheTopmostPicture)
{
    SKIP_WITHOUT_ENGINE();
    EditFixture f;
    f.editor->setMode(EditorMode::edit);
    ASSERT_NE(f.editor->editSession(), nullptr);

    const EditTarget heading = f.textAt(0, QPointF(80, 704));
    EXPECT_EQ(heading.block.text, QStringLiteral("Quarterly report"));
    // Just outside the block's bounds still hits it; the same margin around a picture does not.
    const QRectF b = heading.block.bounds;
    EXPECT_TRUE(f.editor->editTargetAt(0, QPointF(b.left() - 1.9, b.center().y())));
    EXPECT_FALSE(f.editor->editTargetAt(0, QPointF(b.left() - 2.5, b.center().y())));
    EXPECT_FALSE(f.editor->editTargetAt(0, QPointF(301.5, 350)));

    // The lower paragraph lies over the red picture: the text wins.
    EXPECT_EQ(f.textAt(0, QPointF(80, 403)).block.text, QStringLiteral("Figures follow"));
    // Where the two pictures overlap the later one (blue, 200..300) wins.
    const auto overlap = f.editor->editTargetAt(0, QPointF(230, 390));
    ASSERT_TRUE(overlap && overlap->isImage());
    EXPECT_NEAR(overlap->image.bounds.left(), 200, 0.5);
    const auto red = f.editor->editTargetAt(0, QPointF(150, 480));
    ASSERT_TRUE(red && red->isImage());
    EXPECT_NEAR(red->image.bounds.left(), 60, 0.5);
    // A scanned page's picture is never a target; pages out of range give nothing.
    EXPECT_FALSE(f.editor->editTargetAt(2, QPointF(300, 400)));
    EXPECT_FALSE(f.editor->editTargetAt(9, QPointF(300, 400)));
}

TEST(EditMode, RetypedBlockSwapsTheDocumentWithUndoAndKeepsThePage)
{
    SKIP_WITHOUT_ENGINE();
    EditFixture f;
    f.editor->goToPage(1);
    f.editor->setMode(EditorMode::edit);
    const EditTarget heading = f.textAt(0, QPointF(80, 704));
    const pdf::DocumentPtr before = f.pdf();

    // Unchanged text writes nothing.
    f.editor->commitTextEdit(heading.block, 0, heading.block.text);
    EXPECT_FALSE(f.undo().canUndo());
    EXPECT_EQ(f.pdf(), before);

    f.editor->commitTextEdit(heading.block, 0, QStringLiteral("Annual report"));
    ASSERT_NE(f.pdf(), before);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Edit Text"));
    EXPECT_TRUE(pageText(f.pdf(), 0).contains(QStringLiteral("Annual report")));
    EXPECT_EQ(f.canvas->document(), f.pdf());
    EXPECT_EQ(f.editor->pageIndex(), 1); // the view stays where it was
    ASSERT_TRUE(f.editor->editSelection());
    EXPECT_EQ(f.editor->editSelection()->block.text, QStringLiteral("Annual report"));
    EXPECT_NE(f.editor->editSession(), nullptr);
    EXPECT_FALSE(f.editor->editHover());

    f.endGroup();
    f.undo().undo();
    EXPECT_EQ(f.pdf(), before);
    EXPECT_EQ(f.editor->pageIndex(), 1);
    EXPECT_NE(f.editor->editSession(), nullptr); // a fresh session over the document swapped back in
    EXPECT_FALSE(f.editor->editSelection());
    EXPECT_EQ(f.textAt(0, QPointF(80, 704)).block.text, QStringLiteral("Quarterly report"));
    f.undo().redo();
    EXPECT_TRUE(pageText(f.pdf(), 0).contains(QStringLiteral("Annual report")));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Edit Text"));
}

TEST(EditMode, BlankCommitAndDeleteRemoveTextUnderDeleteText)
{
    SKIP_WITHOUT_ENGINE();
    EditFixture f;
    f.editor->setMode(EditorMode::edit);
    const EditTarget heading = f.textAt(0, QPointF(80, 704));
    f.editor->setEditSelection(heading);
    f.editor->commitTextEdit(heading.block, 0, QStringLiteral("  \n\t "));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Text"));
    EXPECT_FALSE(pageText(f.pdf(), 0).contains(QStringLiteral("Quarterly")));
    EXPECT_FALSE(f.editor->editSelection()); // never left naming deleted objects
    f.endGroup();

    f.editor->setEditSelection(f.textAt(0, QPointF(80, 403)));
    f.editor->deleteEditTarget();
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Text"));
    EXPECT_FALSE(pageText(f.pdf(), 0).contains(QStringLiteral("Figures")));
    EXPECT_FALSE(f.editor->editSelection());
}

TEST(EditMode, DeletingTextThatCannotBeEditedShowsWhyAndKeepsIt)
{
    SKIP_WITHOUT_ENGINE();
    EditFixture f;
    f.editor->setMode(EditorMode::edit);
    EditTarget locked = f.textAt(0, QPointF(80, 704));
    locked.block.isEditable = false;
    locked.block.reason = QStringLiteral("This text uses a font that can’t be changed.");
    f.editor->setEditSelection(locked);
    f.editor->deleteEditTarget();
    ASSERT_TRUE(f.editor->toast());
    EXPECT_EQ(f.editor->toast()->text, *locked.block.reason);
    EXPECT_EQ(f.editor->toast()->symbol, QStringLiteral("lock.fill"));
    EXPECT_TRUE(f.editor->editSelection());
    EXPECT_FALSE(f.undo().canUndo());

    locked.block.reason.reset();
    f.editor->setEditSelection(locked);
    f.editor->deleteEditTarget();
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("This text can’t be edited."));
}

TEST(EditMode, PicturesMoveResizeDeleteAndReplaceWithUndo)
{
    SKIP_WITHOUT_ENGINE();
    EditFixture f;
    f.editor->setMode(EditorMode::edit);
    const auto blue = f.editor->editTargetAt(0, QPointF(250, 350));
    ASSERT_TRUE(blue && blue->isImage());
    const pdf::DocumentPtr before = f.pdf();

    // Too thin: ignored.
    f.editor->moveImage(blue->image, 0, QRectF(400, 100, 2, 40));
    EXPECT_EQ(f.pdf(), before);
    EXPECT_FALSE(f.undo().canUndo());

    f.editor->moveImage(blue->image, 0, QRectF(400, 100, 150, 150));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Move Image"));
    ASSERT_TRUE(f.editor->editSelection() && f.editor->editSelection()->isImage());
    EXPECT_NEAR(f.editor->editSelection()->image.bounds.left(), 400, 1);
    EXPECT_NEAR(f.editor->editSelection()->image.bounds.width(), 150, 1);
    EXPECT_TRUE(f.editor->editTargetAt(0, QPointF(500, 200)));
    f.endGroup();

    // A file that is not a picture: nothing at all.
    QTemporaryDir dir;
    const QString notImage = writeFile(dir, QStringLiteral("notes.png"), "just text");
    const pdf::DocumentPtr moved = f.pdf();
    f.editor->replaceImage(notImage, f.editor->editSelection()->image, 0);
    EXPECT_EQ(f.pdf(), moved);
    EXPECT_FALSE(f.editor->toast());

    QImage green(8, 8, QImage::Format_RGB32);
    green.fill(Qt::green);
    const QString png = dir.filePath(QStringLiteral("green.png"));
    ASSERT_TRUE(green.save(png));
    f.editor->replaceImage(png, f.editor->editSelection()->image, 0);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Replace Image"));
    EXPECT_FALSE(f.editor->editSelection());
    f.endGroup();

    f.editor->setEditSelection(f.editor->editTargetAt(0, QPointF(500, 200)));
    ASSERT_TRUE(f.editor->editSelection());
    f.editor->deleteEditTarget();
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Image"));
    EXPECT_FALSE(f.editor->editTargetAt(0, QPointF(500, 200)));
    EXPECT_FALSE(f.editor->editSelection());
    f.endGroup();

    // Three undos bring back the first document whole.
    f.undo().undo();
    f.undo().undo();
    f.undo().undo();
    EXPECT_EQ(f.pdf(), before);
    const auto back = f.editor->editTargetAt(0, QPointF(250, 350));
    ASSERT_TRUE(back && back->isImage());
}

TEST(EditMode, WritesAreInertOutsideEditMode)
{
    SKIP_WITHOUT_ENGINE();
    EditFixture f;
    f.editor->setMode(EditorMode::edit);
    const EditTarget heading = f.textAt(0, QPointF(80, 704));
    f.editor->setMode(EditorMode::read);
    const pdf::DocumentPtr before = f.pdf();
    f.editor->commitTextEdit(heading.block, 0, QStringLiteral("Changed"));
    f.editor->setEditSelection(heading);
    f.editor->deleteEditTarget();
    f.editor->reloadAfterEdit(QStringLiteral("Edit Text"), 0, {});
    EXPECT_EQ(f.pdf(), before);
    EXPECT_FALSE(f.undo().canUndo());
}
