#include "EditorTestSupport.h"

#include <QSignalSpy>

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

TEST(EditorState, StartsWithTheDefaultsAndShowsTheDocument)
{
    EditorFixture f;
    Editor& e = *f.editor;
    EXPECT_EQ(e.mode(), EditorMode::read);
    EXPECT_EQ(e.tool(), Tool::select);
    EXPECT_EQ(e.lastShape(), Tool::rectangle);
    EXPECT_DOUBLE_EQ(e.strokeWidth(), 3.0);
    EXPECT_DOUBLE_EQ(e.fontSize(), 16.0);
    EXPECT_EQ(e.toolColors().size(), 12);
    EXPECT_EQ(e.colorForTool(Tool::pen), Swatch::blue());
    EXPECT_EQ(e.pageCount(), 5);
    EXPECT_EQ(e.pageIndex(), 0);
    EXPECT_FALSE(e.isLocked());
    EXPECT_EQ(e.displayMode(), pdfview::DisplayMode::SinglePageContinuous);
    EXPECT_EQ(f.canvas->document(), f.pdf());
    EXPECT_EQ(f.canvas->editor(), &e);
    EXPECT_EQ(e.documentBaseName(), QStringLiteral("Report"));
    // Published fields are properties too.
    EXPECT_EQ(e.property("pageCount").toInt(), 5);
    EXPECT_TRUE(e.setProperty("mode", QVariant::fromValue(EditorMode::pages)));
    EXPECT_EQ(e.mode(), EditorMode::pages);
}

TEST(EditorState, ModeAndToolObserversRunOnlyOnRealChanges)
{
    EditorFixture f;
    Editor& e = *f.editor;
    QSignalSpy modeSpy(&e, &Editor::modeChanged);
    e.setMode(EditorMode::read);
    EXPECT_EQ(modeSpy.count(), 0);
    EXPECT_TRUE(f.canvas->calls.isEmpty());
    EXPECT_TRUE(f.window.modeChanges.isEmpty());

    e.setMode(EditorMode::annotate);
    e.setTool(Tool::pen);
    EXPECT_EQ(f.canvas->count("toolDidChange"), 1);
    e.setTool(Tool::pen);
    EXPECT_EQ(f.canvas->count("toolDidChange"), 1);
    e.setSelectedAnnotation(pdf::Annotation::create(QStringLiteral("Square"), QRectF(0, 0, 10, 10)));

    // Leaving Annotate drops the tool back to select and the selection.
    e.setMode(EditorMode::sign);
    EXPECT_EQ(e.tool(), Tool::select);
    EXPECT_EQ(e.selectedAnnotation(), nullptr);
    EXPECT_EQ(f.window.modeChanges, (QList<EditorMode>{EditorMode::read, EditorMode::annotate}));
    EXPECT_EQ(f.canvas->count("endBlockSession:1"), 2);
    EXPECT_EQ(f.canvas->count("resetGesture"), 2);

    // Entering Annotate keeps the tool.
    e.setMode(EditorMode::annotate);
    e.setTool(Tool::highlight);
    e.setMode(EditorMode::annotate);
    EXPECT_EQ(e.tool(), Tool::highlight);
}

TEST(EditorState, PagesModeSelectsTheCurrentPageAndLeavingGoesToTheFirstSelected)
{
    EditorFixture f(blankDocument(10));
    Editor& e = *f.editor;
    e.goToPage(4);
    e.setMode(EditorMode::pages);
    EXPECT_EQ(e.organizerSelection(), (IndexSet{4}));
    e.setOrganizerSelection({2, 7});
    e.setMode(EditorMode::read);
    EXPECT_EQ(e.pageIndex(), 2);
}

TEST(EditorState, CropToolKeepsThePendingCropOtherToolsClearIt)
{
    EditorFixture f;
    Editor& e = *f.editor;
    e.setMode(EditorMode::annotate);
    e.setTool(Tool::crop);
    e.setPendingCrop(PendingCrop{f.page(0), QRectF(10, 10, 100, 100)});
    e.setTool(Tool::crop);
    EXPECT_TRUE(e.pendingCrop().has_value());
    e.setTool(Tool::pen);
    EXPECT_FALSE(e.pendingCrop().has_value());
}

TEST(EditorState, ReloadKeepsOnlySelectedPagesThatStillExist)
{
    EditorFixture f(blankDocument(10));
    Editor& e = *f.editor;
    e.setOrganizerSelection({1, 8});
    for (int i = 0; i < 3; ++i)
        f.pdf()->removePage(f.pdf()->pageCount() - 1);
    QSignalSpy versions(&e, &Editor::documentVersionChanged);
    e.documentDidReload();
    EXPECT_EQ(e.organizerSelection(), (IndexSet{1}));
    EXPECT_EQ(e.pageCount(), 7);
    EXPECT_EQ(versions.count(), 1);
    EXPECT_GE(f.window.subtitleUpdates, 1);
}

TEST(EditorState, ALockedDocumentStaysLockedUntilTheRightPassword)
{
    EditorFixture f(pdf::Document::fromData(lockedPdf(QStringLiteral("secret"))).value());
    Editor& e = *f.editor;
    EXPECT_TRUE(e.isLocked());
    EXPECT_EQ(f.canvas->document(), nullptr);
    // Locked documents stay in Read: the scan check and the canvas wait for the password.
    EXPECT_FALSE(e.unlock(QStringLiteral("wrong")));
    EXPECT_TRUE(e.isLocked());
    EXPECT_FALSE(f.document->unlockPassword().has_value());

    QSignalSpy locked(&e, &Editor::isLockedChanged);
    EXPECT_TRUE(e.unlock(QStringLiteral("secret")));
    EXPECT_FALSE(e.isLocked());
    EXPECT_EQ(locked.count(), 1);
    EXPECT_EQ(e.unlockedPassword(), QStringLiteral("secret"));
    EXPECT_EQ(f.document->unlockPassword(), QStringLiteral("secret"));
    EXPECT_EQ(f.canvas->document(), f.pdf());
    EXPECT_EQ(e.pageCount(), 1);
}

namespace {

// The scan check reads the first pages' text on a worker; its answer comes through the event loop.
void finishScanCheck(EditorFixture& f)
{
    QElapsedTimer waited;
    waited.start();
    while (f.editor->isCheckingForScan() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(f.editor->isCheckingForScan());
}

} // namespace

TEST(EditorState, ScanCheckFlagsImageOnlyPagesAfterSixTenthsInReadModeOnly)
{
    {
        EditorFixture f(pdf::Document::fromData(makePdf({false, false}, {true, true})).value());
        f.scheduler.advance(0.59);
        EXPECT_FALSE(f.editor->isCheckingForScan());
        f.scheduler.advance(0.02);
        finishScanCheck(f);
        EXPECT_TRUE(f.editor->showScanSuggestion());
    }
    {
        // One page with text among the first two.
        EditorFixture f(pdf::Document::fromData(makePdf({false, true}, {true, true})).value());
        f.scheduler.advance(1);
        EXPECT_TRUE(f.editor->isCheckingForScan());
        finishScanCheck(f);
        EXPECT_FALSE(f.editor->showScanSuggestion());
    }
    {
        // No text but no image either: blank pages are not scans.
        EditorFixture f(blankDocument(2));
        f.scheduler.advance(1);
        finishScanCheck(f);
        EXPECT_FALSE(f.editor->showScanSuggestion());
    }
    {
        EditorFixture f(pdf::Document::fromData(makePdf({false}, {true})).value());
        f.editor->setMode(EditorMode::annotate);
        f.scheduler.advance(1);
        EXPECT_FALSE(f.editor->isCheckingForScan());
        EXPECT_FALSE(f.editor->showScanSuggestion());
        f.editor->setMode(EditorMode::read);
        f.editor->detectScan();
        finishScanCheck(f);
        EXPECT_TRUE(f.editor->showScanSuggestion());
    }
    {
        EditorFixture f(pdf::Document::createEmpty());
        f.scheduler.advance(1);
        EXPECT_FALSE(f.editor->isCheckingForScan());
        EXPECT_FALSE(f.editor->showScanSuggestion());
    }
}

TEST(EditorState, DelayedStepsDoNothingOnceTheEditorIsGone)
{
    EditorFixture f;
    f.editor->showToast(QStringLiteral("Hi"), QStringLiteral("info"), Toast::Style::info);
    f.editor.reset();
    f.scheduler.advance(5);
    SUCCEED();
}

TEST(EditorState, FormFieldEditsMarkTheDocumentEdited)
{
    EditorFixture f;
    f.editor->noteAnnotationHit(pdf::Annotation::create(QStringLiteral("Link"), QRectF(0, 0, 10, 10)));
    f.editor->noteAnnotationHit(pdf::Annotation::create(QStringLiteral("Text"), QRectF(0, 0, 10, 10)));
    EXPECT_FALSE(f.document->isEdited());
    f.editor->noteFormFieldEdited();
    EXPECT_TRUE(f.document->isEdited());
}

TEST(EditorState, DocumentHostStepsShowSavedAndAdoptARevertedDocument)
{
    EditorFixture f(blankDocument(3));
    Editor& e = *f.editor;
    e.documentDidSave(false);
    EXPECT_FALSE(e.toast().has_value());
    e.documentDidSave(true);
    ASSERT_TRUE(e.toast().has_value());
    EXPECT_EQ(e.toast()->text, QStringLiteral("Saved."));
    EXPECT_EQ(e.toast()->style, Toast::Style::success);

    {
        platform::LogCapture log;
        f.document->setPdf(blankDocument(7));
        const int version = e.documentVersion();
        e.documentDidRevert();
        EXPECT_GT(e.documentVersion(), version); // the thumbnails are drawn again
        EXPECT_EQ(log.linesWithPrefix(QStringLiteral("signpost begin")).filter(QStringLiteral("Show Document")).size(), 1);
        EXPECT_EQ(log.linesWithPrefix(QStringLiteral("signpost end")).filter(QStringLiteral("Show Document")).size(), 1);
    }
    EXPECT_EQ(e.pageCount(), 7);
    EXPECT_EQ(f.canvas->document(), f.pdf());
    EXPECT_FALSE(e.outline().has_value());
}
