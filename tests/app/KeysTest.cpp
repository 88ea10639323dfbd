#include "WindowFixture.h"

#include "app/CombineView.h"

#include "chrome/ModeSwitcher.h"
#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"
#include "views/NoteEditorView.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;
using namespace vmk::app::test;

TEST(Keys, ReturnAndShiftReturnInTheSearchFieldStepForwardAndBack)
{
    ShownWindow app(3);
    QLineEdit* field = app.w->searchField();
    field->setFocus();
    QTest::keyClicks(field, "Chapter");
    QTest::keyClick(field, Qt::Key_Return); // searches at once
    app.waitForHits(3);
    ASSERT_EQ(app.editor()->searchHits().size(), 3);
    QTest::keyClick(field, Qt::Key_Return);
    const auto first = app.editor()->currentHit();
    ASSERT_TRUE(first.has_value());
    QTest::keyClick(field, Qt::Key_Return);
    const auto second = app.editor()->currentHit();
    EXPECT_NE(second, first);
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(app.editor()->currentHit(), first);
    QTest::keyClick(field, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_NE(app.editor()->currentHit(), first); // back past the first: the last hit
    EXPECT_NE(app.editor()->currentHit(), second);
}

TEST(Keys, PageKeysReachTheWindowWithoutTheSuperKeyOrWorkspaceCombinations)
{
    ShownWindow app(4);
    QWidget* canvas = app.editor()->pdfView()->canvasWidget();
    canvas->setFocus();
    ASSERT_EQ(app.editor()->pageIndex(), 0);
    // Going to a page scrolls there with an ease; the page counts once the scroll has arrived.
    auto arrivesAt = [&](int page) {
        return QTest::qWaitFor([&] { return app.editor()->pageIndex() == page; }, 3000);
    };
    QTest::keyClick(canvas, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_TRUE(arrivesAt(1));
    QTest::keyClick(canvas, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_TRUE(arrivesAt(2));
    QTest::keyClick(canvas, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_TRUE(arrivesAt(1));

    // Hide Sidebar and Highlight answer their new keys.
    const bool collapsed = app.w->isSidebarCollapsed();
    QTest::keyClick(canvas, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_NE(app.w->isSidebarCollapsed(), collapsed);
    QTest::keyClick(canvas, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(app.editor()->mode(), EditorMode::annotate);
}

TEST(Keys, TheModeSwitcherIsReachedWithTabAndReadsAsSixNamedChoices)
{
    ShownWindow app(2);
    auto* switcher = app.w->documentWindow()->findChild<chrome::ModeSwitcher*>("VMK.mode");
    ASSERT_TRUE(switcher);
    // Tab from the control before it in the toolbar lands on the switcher.
    QWidget* from = nullptr;
    for (QWidget* wgt = switcher->previousInFocusChain(); wgt && wgt != switcher; wgt = wgt->previousInFocusChain())
        if (wgt->focusPolicy() & Qt::TabFocus && wgt->isVisible() && wgt->isEnabled()) {
            from = wgt;
            break;
        }
    ASSERT_TRUE(from);
    from->setFocus(Qt::TabFocusReason);
    QTest::keyClick(from, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), switcher);

    // The arrows move along the segments and Space chooses one.
    QTest::keyClick(switcher, Qt::Key_Right);
    QTest::keyClick(switcher, Qt::Key_Right);
    EXPECT_EQ(switcher->focusedSegment(), 2);
    QTest::keyClick(switcher, Qt::Key_Space);
    EXPECT_EQ(app.editor()->mode(), EditorMode::edit);
    QTest::keyClick(switcher, Qt::Key_Left);
    QTest::keyClick(switcher, Qt::Key_Return);
    EXPECT_EQ(app.editor()->mode(), EditorMode::annotate);

    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(switcher);
    ASSERT_TRUE(a11y);
    ASSERT_EQ(a11y->childCount(), 6);
    const QStringList names{"Read", "Annotate", "Edit", "Sign", "Pages", "Redact"};
    for (int i = 0; i < 6; ++i) {
        QAccessibleInterface* segment = a11y->child(i);
        ASSERT_TRUE(segment);
        EXPECT_EQ(segment->text(QAccessible::Name), names[i]);
        EXPECT_EQ(segment->state().checked, i == 1) << i;
        EXPECT_EQ(segment->parent(), a11y);
        EXPECT_EQ(a11y->indexOfChild(segment), i);
    }
    // Pressing a segment through assistive technology chooses its mode.
    a11y->child(3)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(app.editor()->mode(), EditorMode::sign);
}

TEST(Keys, ReturnPressesTheDefaultButtonOfTheCombineWindowAndTheNoteEditor)
{
    QTemporaryDir dir;
    const QString a = makeTextPdf(dir, "a.pdf", 1);
    QStringList merged;
    CombineView view({}, nullptr, [&](const QStringList& paths, std::function<void(CombineResult)>) { merged = paths; });
    view.model().appendPaths({a});
    view.show();
    view.list()->setFocus();
    QTest::keyClick(view.list(), Qt::Key_Return);
    EXPECT_EQ(merged, QStringList{a});

    int done = 0;
    views::NoteModel model("first line");
    views::NoteEditorView editor(&model, [&] { ++done; });
    editor.show();
    QPlainTextEdit* text = editor.textEditor();
    text->setFocus();
    text->moveCursor(QTextCursor::End);
    QTest::keyClick(text, Qt::Key_Return); // a new line of the note
    QTest::keyClicks(text, "second");
    EXPECT_EQ(model.text(), "first line\nsecond");
    EXPECT_EQ(done, 0);
    QTest::keyClick(text, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(done, 1);
    editor.doneButton()->setFocus();
    QTest::keyClick(editor.doneButton(), Qt::Key_Return);
    EXPECT_EQ(done, 2);
}

TEST(Keys, NotePopoverStaysInsideTheWindow)
{
    const QRect window(100, 100, 800, 600);
    const QSize popover(290, 200);
    // Room on the right: beside the note's right edge.
    EXPECT_EQ(views::notePopoverOrigin(QRect(200, 200, 20, 20), popover, window), QPoint(226, 200));
    // No room on the right: beside its left edge.
    EXPECT_EQ(views::notePopoverOrigin(QRect(800, 200, 20, 20), popover, window), QPoint(800 - 6 - 290, 200));
    // Near the bottom: moved up to end at the window's bottom.
    EXPECT_EQ(views::notePopoverOrigin(QRect(200, 650, 20, 20), popover, window).y(), 700 - 200);
    // A window narrower than the popover: its left edge.
    EXPECT_EQ(views::notePopoverOrigin(QRect(150, 150, 20, 20), popover, QRect(100, 100, 200, 400)).x(), 100);
}
