// A document window in real time: quick changes of mode, a toast and the scan offer all come to rest
// with nothing left ticking, nothing half-faded and every piece where its layout puts it.

#include "WindowFixture.h"

#include "chrome/CanvasOverlays.h"
#include "chrome/CanvasRoot.h"
#include "chrome/PagePill.h"
#include "chrome/ScanBanner.h"
#include "chrome/Transition.h"

#include <QAbstractAnimation>
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app::test;

TEST(MotionAtRest, QuickChangesEndStillAndWhereTheyBelong)
{
    ShownWindow app(3);
    QMainWindow* window = app.w->documentWindow();
    auto* root = window->findChild<chrome::CanvasRoot*>();
    ASSERT_NE(root, nullptr);
    Editor* e = app.editor();

    // Changes faster than any of their motions: each one turns the last around.
    app.w->applyMode(EditorMode::pages);
    QTest::qWait(60);
    app.w->applyMode(EditorMode::read);
    QTest::qWait(60);
    app.w->applyMode(EditorMode::pages);
    QTest::qWait(30);
    app.w->applyMode(EditorMode::read);
    e->setShowScanSuggestion(true);
    QTest::qWait(40);
    e->setShowScanSuggestion(false);
    QTest::qWait(40);
    e->setShowScanSuggestion(true);
    e->showToast(QStringLiteral("Saved."), QStringLiteral("checkmark.circle"), Toast::Style::info);

    // Longer than the slowest of them (the mode's spring, the canvas's reveal).
    QTest::qWait(1000);
    app.settle();

    int ticking = 0;
    for (auto* animation : window->findChildren<QAbstractAnimation*>())
        ticking += animation->state() == QAbstractAnimation::Running;
    EXPECT_EQ(ticking, 0);
    for (auto* motion : window->findChildren<chrome::PieceTransition*>()) {
        EXPECT_FALSE(motion->isRunning());
        auto* piece = qobject_cast<QWidget*>(motion->parent());
        EXPECT_EQ(piece->graphicsEffect(), nullptr) << piece->metaObject()->className();
        EXPECT_FALSE(piece->testAttribute(Qt::WA_TransparentForMouseEvents)) << piece->metaObject()->className();
    }
    EXPECT_NE(root->topOverlay()->scanBanner(), nullptr);
    EXPECT_TRUE(root->topOverlay()->scanBanner()->isVisible());
    ASSERT_NE(root->bottomOverlay()->pagePill(), nullptr);
    EXPECT_TRUE(root->bottomOverlay()->pagePill()->isVisible());
    for (QWidget* child : root->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->inherits("vmk::views::PageOrganizerView"))
            EXPECT_TRUE(child->isHidden());
}
