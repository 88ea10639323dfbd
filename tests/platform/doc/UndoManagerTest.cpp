#include "platform/doc/UndoManager.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

using vmk::platform::UndoManager;

namespace {
// A value edited the way the editor edits annotations: each change registers its inverse, which is the
// same operation with the old value, under an action name set after registration.
struct Counter : QObject {
    UndoManager& undo;
    int value = 0;
    explicit Counter(UndoManager& u) : undo(u) {}
    void set(int v, const QString& name)
    {
        const int old = value;
        value = v;
        undo.registerUndo(this, [this, old, name] { set(old, name); });
        undo.setActionName(name);
    }
};
} // namespace

TEST(UndoManager, UndoAndRedoAlternateUnderOneName)
{
    UndoManager undo;
    Counter c(undo);
    c.set(5, "Change Line Width");
    undo.closeEventGroup();
    EXPECT_TRUE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoMenuItemTitle(), "Undo Change Line Width");

    for (int round = 0; round < 3; ++round) {
        undo.undo();
        EXPECT_EQ(c.value, 0);
        EXPECT_FALSE(undo.canUndo());
        EXPECT_EQ(undo.redoActionName(), "Change Line Width");
        undo.redo();
        EXPECT_EQ(c.value, 5);
        EXPECT_FALSE(undo.canRedo());
        EXPECT_EQ(undo.undoActionName(), "Change Line Width");
    }
}

TEST(UndoManager, HandlersCanRenameTheOppositeEntry)
{
    // Rotating right registers a rotation by the negated amount, which names itself "Rotate Left".
    UndoManager undo;
    QObject target;
    int angle = 0;
    std::function<void(int)> rotate = [&](int degrees) {
        angle = (angle + degrees + 360) % 360;
        undo.registerUndo(&target, [&, degrees] { rotate(-degrees); });
        undo.setActionName(degrees > 0 ? "Rotate Right" : "Rotate Left");
    };
    rotate(90);
    undo.closeEventGroup();
    undo.undo();
    EXPECT_EQ(angle, 0);
    EXPECT_EQ(undo.redoActionName(), "Rotate Left");
    // A handler that registers nothing (a one-way undo) leaves no redo entry.
    undo.removeAllActions();
    undo.registerUndo(&target, [] {});
    undo.closeEventGroup();
    undo.undo();
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManager, EverythingRegisteredInOneEventLoopTurnIsOneGroup)
{
    UndoManager undo;
    Counter a(undo), b(undo);
    a.set(1, "Highlight");
    b.set(2, "Highlight");
    a.set(3, "Highlight");
    EXPECT_EQ(undo.undoCount(), 1);
    QCoreApplication::processEvents();   // control returns to the event loop: the group closes
    b.set(4, "Move Rectangle");
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.undoCount(), 2);
    EXPECT_EQ(undo.undoActionName(), "Move Rectangle");

    undo.undo();
    EXPECT_EQ(b.value, 2);
    undo.undo();
    // Handlers of a group run newest first, so the oldest value comes back last.
    EXPECT_EQ(a.value, 0);
    EXPECT_EQ(b.value, 0);
    EXPECT_EQ(undo.redoCount(), 2);
    undo.redo();
    EXPECT_EQ(a.value, 3);
    EXPECT_EQ(b.value, 2);

    // Explicit groups nest into the outermost one and span event-loop turns.
    undo.beginUndoGrouping();
    a.set(10, "Crop");
    QCoreApplication::processEvents();
    undo.beginUndoGrouping();
    b.set(20, "Crop");
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 1);
    undo.undo();   // the action isn't finished yet: nothing happens
    EXPECT_EQ(a.value, 10);
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_EQ(a.value, 3);
    EXPECT_EQ(b.value, 2);
}

TEST(UndoManager, NewActionClearsRedoButRedoingDoesNot)
{
    UndoManager undo;
    Counter c(undo);
    c.set(1, "A");
    undo.closeEventGroup();
    c.set(2, "B");
    undo.closeEventGroup();
    undo.undo();
    undo.undo();
    EXPECT_EQ(undo.redoCount(), 2);
    undo.redo();   // registers into the undo stack without touching the remaining redo
    EXPECT_EQ(undo.redoCount(), 1);
    EXPECT_EQ(undo.redoActionName(), "B");
    c.set(7, "C");
    EXPECT_FALSE(undo.canRedo());
    // Undo closes the group still being built, so "C" is undone at once.
    undo.undo();
    EXPECT_EQ(c.value, 1);
}

TEST(UndoManager, RemovingActionsOfATargetAndOfDestroyedTargets)
{
    UndoManager undo;
    Counter keep(undo);
    int otherValue = 0;
    {
        Counter gone(undo);
        keep.set(1, "Keep");
        gone.set(2, "Gone");
        undo.closeEventGroup();
        gone.set(3, "Gone only");
        undo.closeEventGroup();
        EXPECT_EQ(undo.undoCount(), 2);
    }
    // The destroyed target's actions went with it; the mixed group keeps the survivor's action.
    EXPECT_EQ(undo.undoCount(), 1);
    int plainTarget = 0;
    undo.registerUndo(&plainTarget, [&] { otherValue = 9; });
    undo.closeEventGroup();
    undo.removeAllActions(&plainTarget);
    EXPECT_EQ(undo.undoCount(), 1);
    undo.undo();
    EXPECT_EQ(keep.value, 0);
    EXPECT_EQ(otherValue, 0);
    undo.removeAllActions();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManager, ReportsChangesForTheChangeCountAndIgnoresDisabledRegistration)
{
    UndoManager undo;
    Counter c(undo);
    QSignalSpy changes(&undo, &UndoManager::changeRecorded);
    QSignalSpy state(&undo, &UndoManager::stateChanged);
    c.set(1, "A");
    c.set(2, "A");   // same group: one change
    undo.closeEventGroup();
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes[0][0].value<UndoManager::Change>(), UndoManager::Change::Done);
    undo.undo();
    undo.redo();
    ASSERT_EQ(changes.count(), 3);
    EXPECT_EQ(changes[1][0].value<UndoManager::Change>(), UndoManager::Change::Undone);
    EXPECT_EQ(changes[2][0].value<UndoManager::Change>(), UndoManager::Change::Redone);
    EXPECT_GT(state.count(), 0);

    undo.disableUndoRegistration();
    c.set(5, "Live width");
    undo.enableUndoRegistration();
    undo.closeEventGroup();
    EXPECT_EQ(undo.undoCount(), 1);
    EXPECT_EQ(changes.count(), 3);

    undo.setLevelsOfUndo(1);
    c.set(6, "B");
    undo.closeEventGroup();
    EXPECT_EQ(undo.undoCount(), 1);
    EXPECT_EQ(undo.undoActionName(), "B");
}
