#include "PanelTestSupport.h"

#include "chrome/RollingLabel.h"

#include "panels/ModeBars.h"
#include "panels/PaletteButton.h"
#include "panels/ToolPalette.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

TEST(PagesBar, EmptySelectionDisablesPageButtons)
{
    PanelFixture f(12);
    f.editor->setMode(EditorMode::pages);
    f.editor->setOrganizerSelection({});
    ToolPalette palette(f.editor.get());
    auto* bar = qobject_cast<PagesBar*>(palette.barWidget());
    ASSERT_NE(bar, nullptr);
    for (const char* name : {"Rotate Left (Ctrl+L)", "Rotate Right (Ctrl+R)", "Duplicate", "Delete (Backspace)",
                             "Extract Selected Pages to a New PDF (split)"})
        EXPECT_FALSE(findByName<PaletteButton>(bar, QString::fromUtf8(name))->isEnabled()) << name;
    EXPECT_TRUE(findByName<PaletteButton>(bar, QStringLiteral("Insert Pages from a PDF (merge)"))->isEnabled());
    EXPECT_EQ(bar->countLabel()->text(), QStringLiteral("12 pages"));

    // Insert Blank Page goes in after the current page.
    click(findByName<PaletteButton>(bar, QStringLiteral("Insert Blank Page")));
    EXPECT_EQ(f.pdf()->pageCount(), 13);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Insert Blank Page"));
    settle();
}

TEST(PagesBar, ButtonsActOnTheSelection)
{
    PanelFixture f(12);
    f.editor->setMode(EditorMode::pages);
    f.editor->setOrganizerSelection({2, 5});
    ToolPalette palette(f.editor.get());
    auto bar = [&] { return qobject_cast<PagesBar*>(palette.barWidget()); };
    EXPECT_EQ(bar()->countLabel()->text(), QStringLiteral("2 of 12 selected"));

    const pdf::PagePtr third = f.page(2), sixth = f.page(5);
    click(findByName<PaletteButton>(bar(), QStringLiteral("Rotate Right (Ctrl+R)")));
    EXPECT_EQ(third->rotation(), 90);
    EXPECT_EQ(sixth->rotation(), 90);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Rotate Right"));
    f.undo().closeEventGroup();
    f.undo().undo();
    EXPECT_EQ(third->rotation(), 0);
    EXPECT_EQ(sixth->rotation(), 0);
    f.undo().closeEventGroup();

    f.editor->setOrganizerSelection({2, 5});
    click(findByName<PaletteButton>(bar(), QStringLiteral("Insert Blank Page")));
    ASSERT_EQ(f.pdf()->pageCount(), 13);
    EXPECT_EQ(f.pdf()->indexOf(sixth), 5);
    EXPECT_EQ(f.page(6)->rotation(), 0); // the blank page follows index 5
    f.undo().closeEventGroup();

    f.editor->setOrganizerSelection({2, 5});
    click(findByName<PaletteButton>(bar(), QStringLiteral("Duplicate")));
    EXPECT_EQ(f.pdf()->pageCount(), 15);
    f.undo().closeEventGroup();

    // Deleting every page changes nothing and says why.
    IndexSet all;
    for (int i = 0; i < f.pdf()->pageCount(); ++i)
        all.insert(i);
    f.editor->setOrganizerSelection(all);
    click(findByName<PaletteButton>(bar(), QStringLiteral("Delete (Backspace)")));
    EXPECT_EQ(f.pdf()->pageCount(), 15);
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("A PDF needs at least one page. Even this one."));

    f.editor->setOrganizerSelection({0});
    click(findByName<PaletteButton>(bar(), QStringLiteral("Delete (Backspace)")));
    EXPECT_EQ(f.pdf()->pageCount(), 14);
    settle();
}

TEST(RedactBar, ClearsMarksInOneStepAndConfirmsRedaction)
{
    PanelFixture f;
    f.editor->setMode(EditorMode::redact);
    ToolPalette palette(f.editor.get());
    int confirmations = 0;
    palette.setConfirmRedactions([&confirmations](Editor*) { ++confirmations; });
    auto bar = [&] { return qobject_cast<RedactBar*>(palette.barWidget()); };
    EXPECT_EQ(bar()->statusLabel()->text(), QStringLiteral("Drag across anything you want gone."));
    EXPECT_EQ(bar()->clearButton(), nullptr);
    EXPECT_EQ(bar()->redactButton(), nullptr);

    f.addRedactionMark(0, QRectF(72, 600, 200, 20));
    EXPECT_EQ(bar()->statusLabel()->text(), QStringLiteral("1 area marked."));
    f.addRedactionMark(2, QRectF(72, 500, 200, 20));
    f.addRedactionMark(2, QRectF(72, 400, 200, 20));
    EXPECT_EQ(bar()->statusLabel()->text(), QStringLiteral("3 areas marked."));

    click(bar()->redactButton());
    EXPECT_EQ(confirmations, 1);

    click(bar()->clearButton());
    EXPECT_TRUE(f.editor->redactionMarks().isEmpty());
    EXPECT_EQ(bar()->clearButton(), nullptr);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Clear Redaction Marks"));
    f.undo().closeEventGroup();
    f.undo().undo();
    EXPECT_EQ(f.editor->redactionMarks().size(), 3);
    EXPECT_EQ(bar()->statusLabel()->text(), QStringLiteral("3 areas marked."));
    settle();
}

TEST(CropBar, CancelAndApplyToOneOrAllPages)
{
    PanelFixture f(3);
    f.editor->setMode(EditorMode::annotate);
    ToolPalette palette(f.editor.get());
    const QRectF crop(50, 60, 300, 400);
    auto pend = [&](int page) {
        f.editor->setTool(Tool::crop);
        f.editor->setPendingCrop(PendingCrop{f.page(page), crop});
    };
    auto bar = [&] { return qobject_cast<CropBar*>(palette.cropBarWidget()); };

    pend(1);
    ASSERT_NE(bar(), nullptr);
    const int redraws = f.canvas->overlayRedraws;
    click(bar()->cancelButton());
    EXPECT_FALSE(f.editor->pendingCrop().has_value());
    EXPECT_EQ(f.editor->tool(), Tool::crop);
    EXPECT_GT(f.canvas->overlayRedraws, redraws);
    EXPECT_EQ(palette.cropCapsule(), nullptr);

    pend(1);
    click(bar()->cropPageButton());
    EXPECT_EQ(f.page(1)->cropBox(), crop);
    EXPECT_NE(f.page(0)->cropBox(), crop);
    EXPECT_EQ(f.editor->tool(), Tool::select);
    EXPECT_EQ(palette.cropCapsule(), nullptr);
    f.undo().closeEventGroup();

    pend(0);
    click(bar()->allPagesButton());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(f.page(i)->cropBox(), crop) << i;
    EXPECT_EQ(f.editor->tool(), Tool::select);
    settle();
}

TEST(PaletteCounts, ARebuiltBarRollsItsCountOnFromWhatTheOldBarShowed)
{
    PanelFixture f(12);
    f.editor->setMode(EditorMode::pages);
    f.editor->setOrganizerSelection({2});
    ToolPalette palette(f.editor.get());
    palette.show();
    auto count = [&] { return qobject_cast<chrome::RollingLabel*>(qobject_cast<PagesBar*>(palette.barWidget())->countLabel()); };
    ASSERT_NE(count(), nullptr);
    EXPECT_FALSE(count()->isRolling()); // the first count is simply there

    f.editor->setOrganizerSelection({2, 5});
    EXPECT_EQ(count()->text(), QStringLiteral("2 of 12 selected"));
    EXPECT_TRUE(count()->isRolling());
    EXPECT_EQ(count()->leavingText(), QStringLiteral("1 of 12 selected"));
    EXPECT_EQ(count()->rollAnimation().duration(), chrome::settlingSpringMotion().durationMs);

    // Another bar, or the same count again, rolls nothing.
    f.editor->setMode(EditorMode::redact);
    auto status = [&] { return qobject_cast<chrome::RollingLabel*>(qobject_cast<RedactBar*>(palette.barWidget())->statusLabel()); };
    ASSERT_NE(status(), nullptr);
    EXPECT_FALSE(status()->isRolling());
    f.addRedactionMark(0, QRectF(72, 600, 200, 20));
    f.addRedactionMark(2, QRectF(72, 500, 200, 20));
    EXPECT_EQ(status()->text(), QStringLiteral("2 areas marked."));
    EXPECT_EQ(status()->leavingText(), QStringLiteral("1 area marked."));
    EXPECT_EQ(paletteCountText(palette.barWidget()), QStringLiteral("2 areas marked."));
    countOnFrom(palette.barWidget(), QStringLiteral("2 areas marked."));
    EXPECT_EQ(status()->leavingText(), QStringLiteral("1 area marked.")); // untouched
    settle();
}
