#include "OverlayTestSupport.h"

#include "chrome/PageJump.h"
#include "chrome/PagePill.h"
#include "platform/services/NotificationCenter.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::chrome;
using vmk::test::OverlayFixture;

TEST(PageJump, TypedNumbersTrimmedAndParsedStrictly)
{
    EXPECT_EQ(parseTypedPageNumber(QStringLiteral("  7 \t")), 7);
    EXPECT_EQ(parseTypedPageNumber(QStringLiteral("+3")), 3);
    EXPECT_EQ(parseTypedPageNumber(QStringLiteral("-2")), -2);
    EXPECT_EQ(parseTypedPageNumber(QString::fromUtf8("\u00A04\u2003")), 4); // other space separators
    EXPECT_EQ(parseTypedPageNumber(QStringLiteral("9223372036854775807")), std::numeric_limits<qint64>::max());
    for (const char* bad : {"", "   ", "abc", "1 2", "+", "-", "3a", "\n5", "5\n", "9223372036854775808", "١٢"})
        EXPECT_FALSE(parseTypedPageNumber(QString::fromUtf8(bad)).has_value()) << bad;
}

TEST(PageJump, OutOfReachNamesCountAndPage)
{
    EXPECT_EQ(pageJumpFor(QStringLiteral("12"), 12).kind, PageJump::Kind::goTo);
    EXPECT_EQ(pageJumpFor(QStringLiteral("12"), 12).pageIndex, 11);
    const PageJump zero = pageJumpFor(QStringLiteral("0"), 12);
    EXPECT_EQ(zero.kind, PageJump::Kind::outOfReach);
    EXPECT_EQ(zero.message, QStringLiteral("This one has 12 pages. Page 0 is out of reach."));
    EXPECT_EQ(pageJumpFor(QStringLiteral("-2"), 12).message, QStringLiteral("This one has 12 pages. Page -2 is out of reach."));
    EXPECT_EQ(pageJumpFor(QStringLiteral("13"), 12).message, QStringLiteral("This one has 12 pages. Page 13 is out of reach."));
    // A number far beyond an int is still reported, not wrapped into a page.
    EXPECT_EQ(pageJumpFor(QStringLiteral("4294967297"), 12).kind, PageJump::Kind::outOfReach);
    EXPECT_EQ(pageJumpFor(QStringLiteral("x"), 12).kind, PageJump::Kind::none);
}

TEST(PagePill, LabelsAndArrowsFollowThePage)
{
    OverlayFixture f(40);
    PagePill pill(f.editor.get());
    EXPECT_EQ(pill.pageLabel()->text(), QStringLiteral("1"));
    EXPECT_EQ(pill.totalLabel()->text(), QStringLiteral("of 40"));
    EXPECT_FALSE(pill.previousButton()->isEnabled());
    EXPECT_TRUE(pill.nextButton()->isEnabled());
    EXPECT_EQ(pill.previousButton()->toolTip(), QStringLiteral("Previous Page"));
    EXPECT_EQ(pill.nextButton()->toolTip(), QStringLiteral("Next Page"));

    f.editor->goToPage(4);
    EXPECT_EQ(pill.pageLabel()->text(), QStringLiteral("5"));
    pill.nextButton()->click();
    EXPECT_EQ(f.editor->pageIndex(), 5);
    pill.previousButton()->click();
    pill.previousButton()->click();
    EXPECT_EQ(f.editor->pageIndex(), 3);

    f.editor->goToPage(39);
    EXPECT_FALSE(pill.nextButton()->isEnabled());
    EXPECT_TRUE(pill.previousButton()->isEnabled());

    OverlayFixture single(1);
    PagePill one(single.editor.get());
    EXPECT_FALSE(one.previousButton()->isEnabled());
    EXPECT_FALSE(one.nextButton()->isEnabled());
}

TEST(PagePill, TypedPageGoesThereOrIsReported)
{
    OverlayFixture f(12);
    PagePill pill(f.editor.get());
    pill.show();
    f.editor->goToPage(2);

    QTest::mouseClick(pill.pageLabel(), Qt::LeftButton);
    ASSERT_TRUE(pill.isEditing());
    EXPECT_EQ(pill.field()->text(), QStringLiteral("3"));
    // A page change elsewhere leaves the typed text alone.
    f.editor->goToPage(5);
    EXPECT_EQ(pill.field()->text(), QStringLiteral("3"));

    pill.field()->setText(QStringLiteral(" 7 "));
    pill.commit();
    EXPECT_FALSE(pill.isEditing());
    EXPECT_EQ(f.editor->pageIndex(), 6);
    EXPECT_FALSE(f.editor->toast().has_value());

    pill.beginEditing();
    pill.field()->setText(QStringLiteral("13"));
    pill.commit();
    EXPECT_EQ(f.editor->pageIndex(), 6);
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("This one has 12 pages. Page 13 is out of reach."));
    EXPECT_EQ(f.editor->toast()->symbol, QStringLiteral("questionmark.circle.fill"));
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::info);

    // Junk only closes the field.
    const QUuid lastToast = f.editor->toast()->id;
    for (const QString& junk : {QStringLiteral("abc"), QStringLiteral("1 2"), QString()}) {
        pill.beginEditing();
        pill.field()->setText(junk);
        pill.commit();
        EXPECT_FALSE(pill.isEditing());
        EXPECT_EQ(f.editor->pageIndex(), 6);
        EXPECT_EQ(f.editor->toast()->id, lastToast);
    }
}

TEST(PagePill, EscapeAndLostFocusAbandonTheEdit)
{
    OverlayFixture f(12);
    QWidget window;
    auto* pill = new PagePill(f.editor.get(), &window);
    auto* elsewhere = new QLineEdit(&window);
    elsewhere->move(0, 100);
    window.show();
    QApplication::setActiveWindow(&window);

    pill->beginEditing();
    f.scheduler.runDue(); // the field takes the focus on the next turn
    EXPECT_TRUE(pill->field()->hasFocus());
    pill->field()->setText(QStringLiteral("9"));
    QTest::keyClick(pill->field(), Qt::Key_Escape);
    EXPECT_FALSE(pill->isEditing());
    EXPECT_EQ(f.editor->pageIndex(), 0);

    pill->beginEditing();
    f.scheduler.runDue();
    pill->field()->setText(QStringLiteral("9"));
    elsewhere->setFocus();
    EXPECT_FALSE(pill->isEditing());
    EXPECT_EQ(f.editor->pageIndex(), 0);

    // Return commits.
    pill->beginEditing();
    f.scheduler.runDue();
    pill->field()->setText(QStringLiteral("+3"));
    QTest::keyClick(pill->field(), Qt::Key_Return);
    EXPECT_EQ(f.editor->pageIndex(), 2);
}

TEST(PagePill, GoToPageOpensOnlyThisWindowsField)
{
    OverlayFixture a(5), b(5);
    PagePill pillA(a.editor.get()), pillB(b.editor.get());
    b.editor->goToPage(3);
    platform::NotificationCenter::defaultCenter().post(platform::kBeginGoToPageNotification, b.editor.get());
    EXPECT_FALSE(pillA.isEditing());
    EXPECT_TRUE(pillB.isEditing());
    EXPECT_EQ(pillB.field()->text(), QStringLiteral("4"));

    // A pill that is gone does not answer, and nothing is kept for a later one.
    {
        PagePill gone(a.editor.get());
    }
    platform::NotificationCenter::defaultCenter().post(platform::kBeginGoToPageNotification, a.editor.get());
    EXPECT_TRUE(pillA.isEditing());
    PagePill later(a.editor.get());
    EXPECT_FALSE(later.isEditing());
}
