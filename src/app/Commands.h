#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QAction;


namespace vmk::app {

// Whether a command is available now and, for items that show one, whether it carries a check mark
// (nothing: leave the mark as it is).
struct CommandValidation {
    bool enabled = true;
    std::optional<bool> checked;
    std::optional<QString> title; // a new title for toggles ("Show Sidebar" / "Hide Sidebar")
};

// Something that can carry out menu commands, named like selectors ("selectMode:") with the item's tag.
// Menu items have no target: each command goes to the first responder of the chain that answers to it.
class CommandResponder {
public:
    virtual ~CommandResponder() = default;
    virtual bool respondsToCommand(const QString& action) const = 0;
    virtual CommandValidation validateCommand(const QString& action, int tag) const
    {
        Q_UNUSED(action);
        Q_UNUSED(tag);
        return {};
    }
    virtual void performCommand(const QString& action, int tag) = 0;
};

// The chain of responders for the active window: the responders registered for that window (its
// controller), then the application-wide ones (the application delegate, the document controller,
// the window commands), in the order they were added.
class CommandRouter : public QObject {
    Q_OBJECT
public:
    static CommandRouter& shared();

    void setWindowResponder(QWidget* window, CommandResponder* responder);
    void removeWindowResponder(QWidget* window);
    void addApplicationResponder(CommandResponder* responder);
    void removeApplicationResponder(CommandResponder* responder);

    // The window whose commands the menus address: the active window, unless a test says otherwise.
    QWidget* keyWindow() const;
    void setKeyWindowOverride(QWidget* window) { m_keyOverride = window; }

    QList<CommandResponder*> chain() const;
    CommandResponder* responderFor(const QString& action) const;
    // Disabled when no responder answers to the action.
    CommandValidation validate(const QString& action, int tag) const;
    // Runs the command when a responder answers and it is enabled now; answers whether it ran.
    bool perform(const QString& action, int tag);

    // Asks every menu to validate its items again (state that enables commands changed).
    void invalidate() { emit validationNeeded(); }

signals:
    void validationNeeded();
    // The items every document window's toolbar shows changed.
    void toolbarConfigurationChanged(const QStringList& shown);

private:
    QHash<QWidget*, CommandResponder*> m_windows;
    QList<CommandResponder*> m_app;
    QPointer<QWidget> m_keyOverride;
};

// An item's command: what QActions of the menu bar carry.
struct CommandItem {
    QString action;
    int tag = 0;
};
std::optional<CommandItem> commandOf(const QAction* action);
void setCommandOf(QAction* action, const QString& selector, int tag);

} // namespace vmk::app
