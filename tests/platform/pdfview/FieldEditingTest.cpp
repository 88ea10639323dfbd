#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/annotations/FormField.h"
#include "platform/pdf/annotations/FormFixture.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/ViewTestSupport.h"

#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::pdfview;
using vmk::test::waitUntil;
namespace formRects = vmk::test::formRects;

namespace {

struct FieldView : ::testing::Test {
    PDFView view;
    pdf::DocumentPtr document;
    void SetUp() override
    {
        view.resize(700, 800);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        document = test::openPdf(test::formPdf());
        ASSERT_TRUE(document);
        view.setDocument(document);
        view.setScaleFactor(1.0);
        ASSERT_TRUE(rendered());
    }
    bool rendered() { return waitUntil([&] { return view.isFullyRendered(); }); }
    QPoint at(const QRectF& rect, int page = 0) { return view.convertPointFromPage(rect.center(), page).toPoint(); }
    QRect inside(const QRectF& rect, int page = 0)
    {
        return view.convertRectFromPage(rect, page).toAlignedRect().adjusted(3, 3, -3, -3);
    }
    int ink(const QRectF& rect) { return test::darkPixels(view.viewport()->grab().toImage(), inside(rect)); }
    QLineEdit* box() { return view.viewport()->findChild<QLineEdit*>(QStringLiteral("formFieldBox")); }
    QString value(const QRectF& rect, int page = 0)
    {
        return pdf::form::facts(*test::widgetAt(document, page, rect)).value;
    }
};

} // namespace

TEST_F(FieldView, ClickingATextFieldOpensABoxWhoseTextReturnPutsIntoTheDocument)
{
    QSignalSpy changed(&view, &PDFView::formWidgetActivated);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(formRects::name));
    ASSERT_TRUE(waitUntil([&] { return box() && box()->isVisible() && box()->hasFocus(); }));
    // The box covers the field and starts with its text selected, so typing replaces it.
    EXPECT_TRUE(box()->geometry().contains(at(formRects::name)));
    EXPECT_EQ(box()->selectedText(), QStringLiteral("Ada Lovelace"));
    QTest::keyClicks(box(), QStringLiteral("Grace Hopper"));
    QTest::keyClick(box(), Qt::Key_Return);
    EXPECT_FALSE(box() && box()->isVisible());
    EXPECT_EQ(value(formRects::name), QStringLiteral("Grace Hopper"));
    EXPECT_GE(changed.count(), 2) << "the press and the new value each count as a change";
    ASSERT_TRUE(rendered());

    // Esc leaves the field as it was.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(formRects::name));
    ASSERT_TRUE(waitUntil([&] { return box() && box()->hasFocus(); }));
    QTest::keyClicks(box(), QStringLiteral("Nobody"));
    QTest::keyClick(box(), Qt::Key_Escape);
    EXPECT_EQ(value(formRects::name), QStringLiteral("Grace Hopper"));

    // A click elsewhere on the page keeps what was typed.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(formRects::name));
    ASSERT_TRUE(waitUntil([&] { return box() && box()->hasFocus(); }));
    QTest::keyClicks(box(), QStringLiteral("Ada"));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.convertPointFromPage(QPointF(500, 300), 0).toPoint());
    EXPECT_TRUE(waitUntil([&] { return value(formRects::name) == QStringLiteral("Ada"); }));
}

TEST_F(FieldView, TabGoesOnToTheNextTextFieldPassingButtonsAndReadOnlyFieldsAndCrossingPages)
{
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(formRects::name));
    ASSERT_TRUE(waitUntil([&] { return box() && box()->hasFocus(); }));
    QTest::keyClicks(box(), QStringLiteral("Alan Turing"));
    QTest::keyClick(box(), Qt::Key_Tab);
    EXPECT_EQ(value(formRects::name), QStringLiteral("Alan Turing"));
    ASSERT_TRUE(waitUntil([&] { return box() && box()->hasFocus(); }));
    EXPECT_EQ(box()->text(), QStringLiteral("Paris")); // the city's first widget
    QTest::keyClicks(box(), QStringLiteral("Wilmslow"));
    // The next text field that can be changed is the city's widget on the next page ("id" is read-only).
    QTest::keyClick(box(), Qt::Key_Tab);
    ASSERT_TRUE(waitUntil([&] { return box() && box()->hasFocus(); }));
    EXPECT_EQ(box()->text(), QStringLiteral("Wilmslow"));
    EXPECT_EQ(view.currentPageIndex(), 1);
    QTest::keyClick(box(), Qt::Key_Backtab);
    ASSERT_TRUE(waitUntil([&] { return box() && box()->hasFocus(); }));
    EXPECT_EQ(view.currentPageIndex(), 0);
}

TEST_F(FieldView, ClickingACheckBoxOrRadioButtonFlipsItOnScreen)
{
    const int offInk = ink(formRects::agree);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(formRects::agree));
    EXPECT_TRUE(pdf::form::facts(*test::widgetAt(document, 0, formRects::agree)).isOn);
    ASSERT_TRUE(waitUntil([&] { return view.isFullyRendered() && ink(formRects::agree) > offInk + 40; }))
        << "the check box is drawn on";
    const int smallOn = ink(formRects::sizeS);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(formRects::sizeL));
    ASSERT_TRUE(waitUntil([&] {
        return view.isFullyRendered() && ink(formRects::sizeL) > ink(formRects::sizeS) + 40 && ink(formRects::sizeS) < smallOn;
    })) << "the other radio button of the group is drawn off";
}

TEST_F(FieldView, AChoiceFieldListsItsValuesAndTakesTheOneChosen)
{
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(formRects::country));
    QMenu* menu = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu && menu->isVisible();
    }));
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_TRUE(menu->actions()[0]->isChecked());
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Germany"));
    menu->actions()[1]->trigger();
    menu->close();
    EXPECT_EQ(value(formRects::country), QStringLiteral("de"));
}

TEST_F(FieldView, AReadOnlyFieldOpensNoBox)
{
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(formRects::id));
    QTest::qWait(50);
    EXPECT_FALSE(box());
    EXPECT_EQ(value(formRects::id), QStringLiteral("X-1"));
}
