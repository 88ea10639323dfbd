#include "OrganizerTestSupport.h"

#include "views/PresentationWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace vmk;
using namespace vmk::views;

namespace {

struct Presentation {
    pdf::DocumentPtr doc;
    QList<int> ends;
    std::unique_ptr<PresentationController> controller;

    Presentation(int pages, int start)
    {
        doc = pdf::Document::fromData(test::numberedPdf(pages)).value();
        controller = std::make_unique<PresentationController>(doc, start, [this](int last) { ends << last; });
        controller->window()->resize(800, 600);
    }
    int page() const { return controller->pdfView()->currentPageIndex(); }
    void key(int k)
    {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(controller->pdfView(), &press);
    }
    void click()
    {
        QTest::mouseClick(controller->pdfView()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
    }
};

} // namespace

TEST(Presentation, ShowsOnePageOnBlackFromTheStartPage)
{
    Presentation p(5, 3);
    auto* view = p.controller->pdfView();
    EXPECT_EQ(view->displayMode(), pdfview::DisplayMode::SinglePage);
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::black));
    EXPECT_FALSE(view->pageShadowsEnabled());
    EXPECT_FALSE(view->displaysPageBreaks());
    EXPECT_TRUE(view->autoScales());
    EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(p.page(), 3);
    EXPECT_FALSE(p.controller->window()->isVisible()); // shown by start()

    // A start beyond the last page shows the first.
    Presentation beyond(3, 7);
    EXPECT_EQ(beyond.page(), 0);
}

TEST(Presentation, KeysAndClicksStepThroughThePages)
{
    Presentation p(4, 0);
    p.controller->start();
    EXPECT_TRUE(p.controller->pdfView()->pointerHidden());
    for (int k : {Qt::Key_Right, Qt::Key_Space, Qt::Key_Return})
        p.key(k);
    EXPECT_EQ(p.page(), 3);
    p.key(Qt::Key_Down); // stops at the last page
    p.click();
    EXPECT_EQ(p.page(), 3);
    for (int k : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Backspace})
        p.key(k);
    EXPECT_EQ(p.page(), 0);
    p.key(Qt::Key_PageUp);
    EXPECT_EQ(p.page(), 0);
    p.key(Qt::Key_End);
    EXPECT_EQ(p.page(), 3);
    p.key(Qt::Key_Home);
    EXPECT_EQ(p.page(), 0);
    p.click();
    EXPECT_EQ(p.page(), 1);
    p.key(Qt::Key_PageDown);
    EXPECT_EQ(p.page(), 2);
    // Moving the mouse brings the pointer back.
    QTest::mouseMove(p.controller->pdfView()->viewport(), QPoint(100, 100));
    EXPECT_FALSE(p.controller->pdfView()->pointerHidden());
    EXPECT_TRUE(p.ends.isEmpty());
}

TEST(Presentation, EscapeLeavesFullScreenFirstThenEndsOnce)
{
    Presentation p(4, 2);
    p.controller->start();
    ASSERT_TRUE(p.controller->window()->windowState() & Qt::WindowFullScreen);
    p.key(Qt::Key_Right);
    p.key(Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.ends.isEmpty(); }, 5000));
    EXPECT_FALSE(p.controller->window()->windowState() & Qt::WindowFullScreen);
    EXPECT_EQ(p.ends, QList<int>{3});
    EXPECT_TRUE(p.controller->ended());
    EXPECT_FALSE(p.controller->window()->isVisible());
    // Later reports change nothing.
    p.controller->end();
    p.key(Qt::Key_Escape);
    EXPECT_EQ(p.ends, QList<int>{3});
}

TEST(Presentation, EscapeOutsideFullScreenEndsAtOnceAndClosingEndsOnce)
{
    Presentation p(1, 0);
    p.controller->window()->show();
    for (int k : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Home, Qt::Key_End})
        p.key(k);
    EXPECT_EQ(p.page(), 0);
    p.key(Qt::Key_Escape);
    EXPECT_EQ(p.ends, QList<int>{0});

    // The document window closing during a presentation ends it; leaving full screen later does not
    // end it again.
    Presentation q(3, 1);
    q.controller->start();
    q.controller->end();
    EXPECT_EQ(q.ends, QList<int>{1});
    q.controller->window()->showNormal();
    q.controller->window()->close();
    QApplication::processEvents();
    EXPECT_EQ(q.ends, QList<int>{1});

    // Closing the window ends it.
    Presentation r(3, 2);
    r.controller->window()->show();
    r.controller->window()->close();
    EXPECT_EQ(r.ends, QList<int>{2});
}
