#include "OverlayTestSupport.h"

#include "chrome/CanvasOverlays.h"
#include "chrome/CanvasRoot.h"
#include "chrome/Glass.h"
#include "chrome/PagePill.h"
#include "chrome/ProgressPill.h"
#include "chrome/ScanBanner.h"
#include "chrome/ToastView.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::chrome;
using vmk::test::OverlayFixture;

TEST(CanvasRootPieces, BottomStackClosesUpAndKeepsItsOrder)
{
    OverlayFixture f(4);
    CanvasRoot root(f.editor.get());
    root.setReduceMotionProvider([] { return true; });
    root.resize(900, 700);
    root.show();
    BottomOverlay* bottom = root.bottomOverlay();
    PagePill* page = bottom->pagePill();
    ASSERT_NE(page, nullptr);
    // The page pill's surface rests 14 points above the bottom edge, centred.
    const QRect pageInRoot(page->mapTo(&root, QPoint()), page->size());
    EXPECT_EQ(pageInRoot.bottom() + 1 - glassShadowMargin(), root.height() - 14);
    EXPECT_NEAR(pageInRoot.center().x(), root.width() / 2, 1);

    // The editor's toast shows above the page pill.
    f.editor->showToast(QStringLiteral("Saved."), QStringLiteral("checkmark.circle"), Toast::Style::info);
    auto* toasts = qobject_cast<ToastOverlay*>(bottom->toastView());
    ASSERT_NE(toasts, nullptr);
    ASSERT_NE(toasts->currentView(), nullptr);
    EXPECT_LT(toasts->geometry().bottom(), page->geometry().top() + 2 * glassShadowMargin());
    EXPECT_GT(toasts->height(), 0);

    // Another toast view in the slot replaces it; surfaces stand 10 points apart.
    auto* toast = new GlassSurface;
    toast->setFixedSize(300, 80);
    root.setToastView(toast);
    f.editor->setProgress(TaskProgress{TaskProgress::Kind::generic, QStringLiteral("Exporting"), 0.2, {}});
    f.scheduler.advance(0.5);
    ProgressPill* progress = bottom->progressPill();
    ASSERT_NE(progress, nullptr);
    const int m = glassShadowMargin();
    EXPECT_EQ(progress->geometry().top() + m - (toast->geometry().bottom() + 1 - m), 10);
    EXPECT_EQ(page->geometry().top() + m - (progress->geometry().bottom() + 1 - m), 10);

    // Pages mode takes the page pill away; the rest stays.
    f.editor->setMode(EditorMode::pages);
    EXPECT_EQ(bottom->pagePill(), nullptr);
    EXPECT_NE(bottom->progressPill(), nullptr);
}

TEST(CanvasRootPieces, NoPagePillWithoutPages)
{
    OverlayFixture f(0);
    CanvasRoot root(f.editor.get());
    EXPECT_EQ(root.bottomOverlay()->pagePill(), nullptr);
    EXPECT_FALSE(root.pieces().pagePill);
}

TEST(CanvasRootPieces, PaletteSlotSitsAboveTheBanner)
{
    OverlayFixture f(2);
    CanvasRoot root(f.editor.get());
    root.setReduceMotionProvider([] { return true; });
    root.resize(900, 700);
    root.show();
    auto* palette = new QWidget;
    palette->setFixedSize(400, 44);
    root.setTopOverlayView(palette);
    f.editor->setShowScanSuggestion(true);
    QWidget* banner = root.topOverlay()->scanBanner();
    ASSERT_NE(banner, nullptr);
    const QPoint paletteTop = palette->mapTo(&root, QPoint());
    EXPECT_EQ(paletteTop.y(), 12);
    EXPECT_EQ(banner->geometry().top() + glassShadowMargin() - palette->geometry().bottom() - 1, 10);
}
