#include "platform/doc/UndoManager.h"

#include <QMetaObject>

#include <algorithm>

namespace vmk::platform {

UndoManager::UndoManager(QObject* parent) : QObject(parent) {}

UndoManager::~UndoManager()
{
    for (QObject* target : m_watched)
        disconnect(target, nullptr, this, nullptr);
}

std::vector<UndoManager::Group>& UndoManager::registrationStack()
{
    return m_state == State::Undoing ? m_redo : m_undo;
}

void UndoManager::registerUndo(QObject* target, Handler handler)
{
    watchTarget(target);
    registerUndo(static_cast<const void*>(target), std::move(handler));
}

void UndoManager::watchTarget(QObject* target)
{
    if (!target || std::find(m_watched.begin(), m_watched.end(), target) != m_watched.end())
        return;
    m_watched.push_back(target);
    connect(target, &QObject::destroyed, this, [this, target] {
        std::erase(m_watched, target);
        removeAllActions(static_cast<const void*>(target));
    });
}

void UndoManager::registerUndo(const void* target, Handler handler)
{
    if (!handler || !isUndoRegistrationEnabled())
        return;

    if (m_state != State::Idle && m_runTarget) {
        // An undo registers its redo (and a redo its undo) into the group being run.
        m_runTarget->actions.push_back(Action{target, std::move(handler)});
        return;
    }

    if (!m_hasOpen) {
        m_hasOpen = true;
        m_open = Group{};
        m_openIsEventGroup = m_groupingLevel == 0;
        if (m_openIsEventGroup && m_groupsByEvent)
            scheduleEventGroupClose();
    }
    const bool first = m_open.actions.empty();
    m_open.actions.push_back(Action{target, std::move(handler)});
    if (first) {
        // A new user action makes the redo history meaningless.
        m_redo.clear();
        emit changeRecorded(Change::Done);
    }
    if (m_openIsEventGroup && !m_groupsByEvent && m_groupingLevel == 0)
        closeOpenGroup();
    emit stateChanged();
}

void UndoManager::scheduleEventGroupClose()
{
    if (m_eventCloseScheduled)
        return;
    m_eventCloseScheduled = true;
    // A queued call runs once control is back in the event loop: the end of this turn.
    QMetaObject::invokeMethod(this, [this] {
        m_eventCloseScheduled = false;
        closeEventGroup();
    }, Qt::QueuedConnection);
}

void UndoManager::closeEventGroup()
{
    if (m_hasOpen && m_openIsEventGroup)
        closeOpenGroup();
}

void UndoManager::closeOpenGroup()
{
    if (!m_hasOpen)
        return;
    m_hasOpen = false;
    m_openIsEventGroup = false;
    if (m_open.actions.empty()) {
        m_open = Group{};
        return;
    }
    m_undo.push_back(std::move(m_open));
    m_open = Group{};
    trimToLevels();
    emit didCloseUndoGroup();
    emit stateChanged();
}

void UndoManager::beginUndoGrouping()
{
    if (m_state != State::Idle)
        return;   // handlers already collect into the group being run
    if (m_groupingLevel == 0 && m_hasOpen && m_openIsEventGroup)
        closeOpenGroup();   // an explicit group starts a new user action
    if (m_groupingLevel == 0) {
        m_hasOpen = true;
        m_openIsEventGroup = false;
        m_open = Group{};
    }
    ++m_groupingLevel;
}

void UndoManager::endUndoGrouping()
{
    if (m_state != State::Idle || m_groupingLevel == 0)
        return;
    if (--m_groupingLevel == 0)
        closeOpenGroup();
}

void UndoManager::setActionName(const QString& name)
{
    if (m_state != State::Idle && m_runTarget) {
        m_runTarget->name = name;
    } else if (m_hasOpen) {
        m_open.name = name;
    } else if (!m_undo.empty()) {
        m_undo.back().name = name;
    } else {
        return;
    }
    emit stateChanged();
}

bool UndoManager::canUndo() const { return !m_undo.empty() || (m_hasOpen && !m_open.actions.empty()); }

bool UndoManager::canRedo() const { return !m_redo.empty(); }

QString UndoManager::undoActionName() const
{
    if (m_hasOpen && !m_open.actions.empty())
        return m_open.name;
    return m_undo.empty() ? QString() : m_undo.back().name;
}

QString UndoManager::redoActionName() const { return m_redo.empty() ? QString() : m_redo.back().name; }

QString UndoManager::undoMenuItemTitle() const
{
    const QString name = undoActionName();
    return name.isEmpty() ? tr("Undo") : tr("Undo %1").arg(name);
}

QString UndoManager::redoMenuItemTitle() const
{
    const QString name = redoActionName();
    return name.isEmpty() ? tr("Redo") : tr("Redo %1").arg(name);
}

void UndoManager::runGroup(Group group, State state)
{
    // The opposite entry keeps the name unless a handler renames it.
    Group opposite;
    opposite.name = group.name;
    const State previous = m_state;
    m_state = state;
    m_runTarget = &opposite;
    for (auto it = group.actions.rbegin(); it != group.actions.rend(); ++it)
        it->handler();
    m_runTarget = nullptr;
    m_state = previous;

    if (!opposite.actions.empty()) {
        if (state == State::Undoing) {
            m_redo.push_back(std::move(opposite));
        } else {
            m_undo.push_back(std::move(opposite));
            trimToLevels();
        }
    }
}

void UndoManager::undo()
{
    // Inside an explicit group the user action isn't finished, so there is nothing whole to revert yet.
    if (m_state != State::Idle || m_groupingLevel > 0)
        return;
    // Undo reverts the whole user action, so a group still being built is closed first.
    closeOpenGroup();
    if (m_undo.empty())
        return;
    Group group = std::move(m_undo.back());
    m_undo.pop_back();
    runGroup(std::move(group), State::Undoing);
    emit changeRecorded(Change::Undone);
    emit didUndo();
    emit stateChanged();
}

void UndoManager::redo()
{
    if (m_state != State::Idle || m_groupingLevel > 0 || m_redo.empty())
        return;
    closeOpenGroup();
    Group group = std::move(m_redo.back());
    m_redo.pop_back();
    runGroup(std::move(group), State::Redoing);
    emit changeRecorded(Change::Redone);
    emit didRedo();
    emit stateChanged();
}

void UndoManager::disableUndoRegistration() { ++m_disableCount; }

void UndoManager::enableUndoRegistration()
{
    if (m_disableCount > 0)
        --m_disableCount;
}

void UndoManager::setLevelsOfUndo(int levels)
{
    m_levels = std::max(0, levels);
    trimToLevels();
    emit stateChanged();
}

void UndoManager::trimToLevels()
{
    if (m_levels <= 0)
        return;
    while (int(m_undo.size()) > m_levels)
        m_undo.erase(m_undo.begin());
    while (int(m_redo.size()) > m_levels)
        m_redo.erase(m_redo.begin());
}

void UndoManager::removeAllActions(const void* target)
{
    auto strip = [target](std::vector<Group>& stack) {
        for (Group& group : stack)
            std::erase_if(group.actions, [target](const Action& a) { return a.target == target; });
        std::erase_if(stack, [](const Group& g) { return g.actions.empty(); });
    };
    strip(m_undo);
    strip(m_redo);
    std::erase_if(m_open.actions, [target](const Action& a) { return a.target == target; });
    emit stateChanged();
}

void UndoManager::removeAllActions()
{
    m_undo.clear();
    m_redo.clear();
    m_open = Group{};
    m_hasOpen = false;
    m_openIsEventGroup = false;
    m_groupingLevel = 0;
    emit stateChanged();
}

int UndoManager::undoCount() const { return int(m_undo.size()) + ((m_hasOpen && !m_open.actions.empty()) ? 1 : 0); }

int UndoManager::redoCount() const { return int(m_redo.size()); }

} // namespace vmk::platform
