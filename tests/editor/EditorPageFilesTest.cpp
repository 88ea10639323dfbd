#include "EditorTestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

QString writePdf(const QTemporaryDir& dir, const QString& name, const pdf::DocumentPtr& pdf)
{
    const QString path = dir.filePath(name);
    pdf->write(path);
    return path;
}

class RecordingMaker : public UntitledDocumentMaker {
public:
    explicit RecordingMaker(EditorFixture& target) : m_target(target) {}
    Editor* newDocument(const pdf::DocumentPtr& pdf, const QString& suggestedName) override
    {
        made = pdf;
        name = suggestedName;
        return m_target.editor.get();
    }
    pdf::DocumentPtr made;
    QString name;

private:
    EditorFixture& m_target;
};

} // namespace

TEST(EditorPageFiles, InsertedFilesGoInAfterTheSelectionWithTheMergeToast)
{
    EditorFixture f(blankDocument(6));
    const QString three = writePdf(f.dir, QStringLiteral("three.pdf"), blankDocument(3, QSizeF(300, 300)));
    f.editor->setMode(EditorMode::pages);
    f.editor->setOrganizerSelection({1, 4});
    f.editor->insertPages({three}, *f.editor->organizerSelection().rbegin() + 1);
    f.endGroup();
    EXPECT_EQ(f.pdf()->pageCount(), 9);
    for (int i = 5; i <= 7; ++i)
        EXPECT_EQ(f.page(i)->mediaBox().width(), 300);
    EXPECT_EQ(f.editor->organizerSelection(), (IndexSet{5, 6, 7}));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Insert Pages"));
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Merged. 3 pages added."));
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::merge);
    f.undo().undo();
    EXPECT_EQ(f.pdf()->pageCount(), 6);

    // One page, no plural; a drop beyond the end goes to the end.
    const QString one = writePdf(f.dir, QStringLiteral("one.pdf"), blankDocument(1, QSizeF(100, 100)));
    f.editor->insertPages({one}, 99);
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Merged. 1 page added."));
    EXPECT_EQ(f.page(6)->mediaBox().width(), 100);
}

TEST(EditorPageFiles, UnreadableAndLockedFilesAreNamedAndChangeNothing)
{
    EditorFixture f(blankDocument(2));
    QFile damaged(f.dir.filePath(QStringLiteral("damaged.pdf")));
    damaged.open(QIODevice::WriteOnly);
    damaged.write("%PDF-1.7\nthis is not a pdf at all");
    damaged.close();
    QFile locked(f.dir.filePath(QStringLiteral("locked.pdf")));
    locked.open(QIODevice::WriteOnly);
    locked.write(lockedPdf(QStringLiteral("pw")));
    locked.close();

    f.editor->insertPages({locked.fileName(), damaged.fileName()}, 1);
    EXPECT_EQ(f.pdf()->pageCount(), 2);
    EXPECT_FALSE(f.undo().canUndo());
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Couldn’t read locked.pdf, damaged.pdf. Locked or not a PDF."));
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::info);

    // Readable files still go in, in one step; the failure toast replaces the merge toast.
    const QString good = writePdf(f.dir, QStringLiteral("good.pdf"), blankDocument(2));
    f.editor->insertPages({good, damaged.fileName()}, 0);
    EXPECT_EQ(f.pdf()->pageCount(), 4);
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Couldn’t read damaged.pdf. Locked or not a PDF."));
}

TEST(EditorPageFiles, ExtractingMakesANewDocumentNamedAfterTheLabel)
{
    EditorFixture f(blankDocument(6));
    EditorFixture target(blankDocument(1));
    RecordingMaker maker(target);
    Editor::setDocumentMaker(&maker);
    f.pdf()->page(2)->setRotation(90);

    f.editor->extractPages({2});
    ASSERT_NE(maker.made, nullptr);
    EXPECT_EQ(maker.made->pageCount(), 1);
    EXPECT_EQ(maker.made->page(0)->rotation(), 90);
    EXPECT_EQ(maker.name, QStringLiteral("Report (page 3)"));
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Split off page 3 into a new PDF."));
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::split);
    EXPECT_EQ(target.editor->toast()->text, QStringLiteral("Extracted page 3. Save it anywhere."));
    EXPECT_EQ(f.pdf()->pageCount(), 6);
    EXPECT_FALSE(f.undo().canUndo());

    f.editor->extractPages({0, 4, 5});
    EXPECT_EQ(maker.name, QStringLiteral("Report (3 pages)"));
    EXPECT_EQ(maker.made->pageCount(), 3);
    Editor::setDocumentMaker(nullptr);

    // Without a document controller only the first toast shows; without a name the base is "Document".
    EditorFixture untitled(blankDocument(2), QString());
    untitled.document->setDisplayName(QString());
    untitled.editor->extractPages({1});
    EXPECT_EQ(untitled.editor->toast()->text, QStringLiteral("Split off page 2 into a new PDF."));
}

TEST(EditorCrop, CropOnePageUndoesAndRedoesItsBox)
{
    EditorFixture f(blankDocument(3));
    Editor& e = *f.editor;
    e.setMode(EditorMode::annotate);
    e.setTool(Tool::crop);
    e.setPendingCrop(PendingCrop{f.page(1), QRectF(500, 700, -400, -600)});
    e.applyCrop(false);
    f.endGroup();
    EXPECT_EQ(f.page(1)->cropBox(), QRectF(100, 100, 400, 600));
    EXPECT_EQ(f.page(0)->cropBox(), QRectF(0, 0, 612, 792));
    EXPECT_FALSE(e.pendingCrop().has_value());
    EXPECT_EQ(e.tool(), Tool::select);
    EXPECT_EQ(e.toast()->text, QStringLiteral("Cropped. Undo if you went too far."));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Crop"));
    f.undo().undo();
    EXPECT_EQ(f.page(1)->cropBox(), QRectF(0, 0, 612, 792));
    EXPECT_EQ(f.undo().redoActionName(), QStringLiteral("Crop"));
    f.undo().redo();
    EXPECT_EQ(f.page(1)->cropBox(), QRectF(100, 100, 400, 600));
}

TEST(EditorCrop, CropAllClipsToEachPageAndUndoesInOneStep)
{
    pdf::DocumentPtr pdf = blankDocument(11);
    pdf->insertPage(pdf::Page::createBlank(QRectF(0, 0, 300, 300)), 11);
    EditorFixture f(pdf);
    f.editor->setPendingCrop(PendingCrop{f.page(0), QRectF(50, 50, 500, 500)});
    f.editor->applyCrop(true);
    f.endGroup();
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Cropped all 12 pages."));
    EXPECT_EQ(f.page(11)->cropBox(), QRectF(50, 50, 250, 250));
    EXPECT_EQ(f.page(3)->cropBox(), QRectF(50, 50, 500, 500));
    f.undo().undo();
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(f.page(i)->cropBox(), QRectF(0, 0, 612, 792));
    EXPECT_EQ(f.page(11)->cropBox(), QRectF(0, 0, 300, 300));
}

TEST(EditorCrop, ACropThatChangesNothingAddsNoStepAndSaysNothing)
{
    EditorFixture f(blankDocument(2));
    f.editor->setPendingCrop(PendingCrop{f.page(0), QRectF(10, 10, 0.5, 300)});
    f.editor->applyCrop(false);
    EXPECT_FALSE(f.undo().canUndo());
    EXPECT_FALSE(f.editor->toast().has_value());
    EXPECT_FALSE(f.editor->pendingCrop().has_value());
    // Without a pending crop nothing happens at all.
    f.editor->applyCrop(true);
    EXPECT_FALSE(f.undo().canUndo());
}
