#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace vmk::platform {

// An undo manager in which an undo handler performs the inverse operation, and that operation registers
// its own inverse in turn: registrations made while undoing go to the redo stack, while redoing to the
// undo stack, and anywhere else to the undo stack (clearing the redo stack). Everything registered in one
// turn of the event loop forms one group, so one Undo reverts one user action however many steps it took.
// The action name is set after registration and names the group being built.
class UndoManager : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    enum class Change { Done, Undone, Redone };
    Q_ENUM(Change)

    explicit UndoManager(QObject* parent = nullptr);
    ~UndoManager() override;

    // Registers a handler that undoes a change made on behalf of target. A QObject target's actions are
    // dropped automatically when it is destroyed, so a handler never runs against a dead object.
    void registerUndo(const void* target, Handler handler);
    void registerUndo(QObject* target, Handler handler);

    // Names the group being built (or, when none is open, the group most recently closed on the stack that
    // registrations currently go to). Handlers call it during undo/redo to name the opposite entry.
    void setActionName(const QString& name);

    bool canUndo() const;
    bool canRedo() const;
    QString undoActionName() const;
    QString redoActionName() const;
    // "Undo" / "Undo Move Rectangle", "Redo" / "Redo Move Rectangle", for menus.
    QString undoMenuItemTitle() const;
    QString redoMenuItemTitle() const;

    // Closes any group still open, then reverts / reapplies the newest group (handlers run newest first).
    void undo();
    void redo();
    bool isUndoing() const { return m_state == State::Undoing; }
    bool isRedoing() const { return m_state == State::Redoing; }

    // Explicit grouping; nested groups fold into the outermost one.
    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return m_groupingLevel; }
    // When true (the default) the first registration outside an explicit group opens a group that closes
    // when control returns to the event loop. When false such a registration forms a group of its own.
    void setGroupsByEvent(bool on) { m_groupsByEvent = on; }
    bool groupsByEvent() const { return m_groupsByEvent; }
    // Closes the group opened for the current event-loop turn now, as the event loop would.
    void closeEventGroup();

    // While disabled, registrations are ignored (nesting counts).
    void disableUndoRegistration();
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const { return m_disableCount == 0; }

    // Number of groups kept on the undo stack; 0 keeps all. The oldest are dropped first.
    void setLevelsOfUndo(int levels);
    int levelsOfUndo() const { return m_levels; }

    void removeAllActions(const void* target);
    void removeAllActions();

    int undoCount() const;
    int redoCount() const;

signals:
    // Any of canUndo/canRedo/the action names may have changed.
    void stateChanged();
    // A change was done (a new undo group received its first action), undone or redone; the document's
    // change count follows these.
    void changeRecorded(vmk::platform::UndoManager::Change change);
    void didUndo();
    void didRedo();
    void didCloseUndoGroup();

private:
    struct Action {
        const void* target;
        Handler handler;
    };
    struct Group {
        QString name;
        std::vector<Action> actions;
    };
    enum class State { Idle, Undoing, Redoing };

    std::vector<Group>& registrationStack();
    void closeOpenGroup();
    void trimToLevels();
    void scheduleEventGroupClose();
    void watchTarget(QObject* target);
    void runGroup(Group group, State state);

    std::vector<Group> m_undo;
    std::vector<Group> m_redo;
    Group m_open;              // the group being built for the normal (non-undo/redo) stack
    bool m_hasOpen = false;
    bool m_openIsEventGroup = false;
    bool m_eventCloseScheduled = false;
    int m_groupingLevel = 0;
    int m_disableCount = 0;
    int m_levels = 0;
    bool m_groupsByEvent = true;
    State m_state = State::Idle;
    Group* m_runTarget = nullptr;   // the group collecting registrations while undoing/redoing
    std::vector<QObject*> m_watched;
};

} // namespace vmk::platform
