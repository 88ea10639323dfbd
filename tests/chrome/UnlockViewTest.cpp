#include "OverlayTestSupport.h"

#include "chrome/CanvasOverlays.h"
#include "chrome/CanvasRoot.h"
#include "chrome/UnlockView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::chrome;
using vmk::test::OverlayFixture;
using vmk::test::lockedDocument;

TEST(UnlockView, TitleNamesTheDocumentOrThisPdf)
{
    EXPECT_EQ(unlockTitle(QStringLiteral("Taxes 2024.pdf")), QString::fromUtf8("\u201CTaxes 2024.pdf\u201D is locked"));
    EXPECT_EQ(unlockTitle(QString()), QString::fromUtf8("\u201CThis PDF\u201D is locked"));

    OverlayFixture f(0, lockedDocument(QStringLiteral("secret")));
    f.document.setSuggestedName(QStringLiteral("A rather long name for a statement that goes on and on.pdf"));
    UnlockView view(f.editor.get());
    EXPECT_TRUE(view.titleLabel()->text().contains(QStringLiteral("A rather long name")));
    EXPECT_TRUE(view.titleLabel()->wordWrap());
    EXPECT_EQ(view.titleLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(view.passwordField()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(view.passwordField()->placeholderText(), QStringLiteral("Password"));
    EXPECT_EQ(view.passwordField()->width(), 240);
}

TEST(UnlockView, WrongPasswordClearsShakesAndStaysRed)
{
    OverlayFixture f(0, lockedDocument(QStringLiteral("secret")));
    ASSERT_TRUE(f.editor->isLocked());
    UnlockView view(f.editor.get());
    view.setReduceMotionProvider([] { return false; });
    EXPECT_FALSE(view.unlockButton()->isEnabled());
    EXPECT_EQ(view.hintLabel()->text(), QStringLiteral("Enter its password to open it."));

    view.passwordField()->setText(QStringLiteral("guess"));
    EXPECT_TRUE(view.unlockButton()->isEnabled());
    view.unlockButton()->click();
    EXPECT_TRUE(f.editor->isLocked());
    EXPECT_TRUE(view.isWrong());
    EXPECT_TRUE(view.passwordField()->text().isEmpty());
    EXPECT_FALSE(view.unlockButton()->isEnabled());
    EXPECT_EQ(view.hintLabel()->text(), QStringLiteral("Not quite. Try again."));
    EXPECT_EQ(view.hintLabel()->palette().color(QPalette::WindowText), QColor(255, 59, 48));
    EXPECT_EQ(view.shake(), 10);
    EXPECT_EQ(view.lockSymbol()->bounceCount(), 1);

    // 0.12 s later the field swings back and the lock bounces again.
    f.scheduler.advance(0.11);
    EXPECT_EQ(view.shake(), 10);
    f.scheduler.advance(0.02);
    EXPECT_EQ(view.shake(), 0);
    EXPECT_EQ(view.lockSymbol()->bounceCount(), 2);

    // Submitting an empty field still asks the document, and fails the same way.
    QTest::keyClick(view.passwordField(), Qt::Key_Return);
    EXPECT_EQ(view.shake(), 10);
    EXPECT_EQ(view.hintLabel()->text(), QStringLiteral("Not quite. Try again."));
    // A second failure within the 0.12 s keeps the shake out; both returns run at their own time.
    view.passwordField()->setText(QStringLiteral("again"));
    view.attemptUnlock();
    f.scheduler.advance(0.2);
    EXPECT_EQ(view.shake(), 0);
    EXPECT_EQ(f.scheduler.pendingCount(), 0);

    // Typing again does not bring the neutral hint back.
    view.passwordField()->setText(QStringLiteral("s"));
    EXPECT_EQ(view.hintLabel()->text(), QStringLiteral("Not quite. Try again."));
}

TEST(UnlockView, RightPasswordUnlocksAndTheRootSwapsThePieces)
{
    OverlayFixture f(0, lockedDocument(QStringLiteral("secret")));
    CanvasRoot root(f.editor.get());
    root.setReduceMotionProvider([] { return true; });
    root.resize(900, 700);
    root.show();
    auto* view = qobject_cast<UnlockView*>(root.unlockView());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(root.topOverlay()->isHidden());
    EXPECT_EQ(root.bottomOverlay()->pagePill(), nullptr);
    // The card sits in the middle and the view covers the canvas.
    EXPECT_EQ(view->geometry(), root.rect());
    EXPECT_NEAR(view->card()->geometry().center().x(), root.width() / 2, 2);

    view->passwordField()->setText(QStringLiteral("secret"));
    view->unlockButton()->click();
    EXPECT_FALSE(f.editor->isLocked());
    EXPECT_EQ(root.unlockView(), nullptr);
    EXPECT_FALSE(root.topOverlay()->isHidden());
    EXPECT_NE(root.bottomOverlay()->pagePill(), nullptr);
}
