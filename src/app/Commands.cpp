#include "app/Commands.h"

#include <QAction>
#include <QApplication>
#include <QWidget>

namespace vmk::app {

CommandRouter& CommandRouter::shared()
{
    static CommandRouter router;
    return router;
}

void CommandRouter::setWindowResponder(QWidget* window, CommandResponder* responder)
{
    m_windows.insert(window, responder);
    invalidate();
}

void CommandRouter::removeWindowResponder(QWidget* window)
{
    m_windows.remove(window);
    invalidate();
}

void CommandRouter::addApplicationResponder(CommandResponder* responder)
{
    if (!m_app.contains(responder))
        m_app.append(responder);
}

void CommandRouter::removeApplicationResponder(CommandResponder* responder)
{
    m_app.removeAll(responder);
}

QWidget* CommandRouter::keyWindow() const
{
    if (m_keyOverride)
        return m_keyOverride;
    return QApplication::activeWindow();
}

QList<CommandResponder*> CommandRouter::chain() const
{
    QList<CommandResponder*> list;
    if (QWidget* window = keyWindow()) {
        if (auto* responder = m_windows.value(window->window()))
            list << responder;
    }
    list << m_app;
    return list;
}

CommandResponder* CommandRouter::responderFor(const QString& action) const
{
    for (auto* responder : chain())
        if (responder->respondsToCommand(action))
            return responder;
    return nullptr;
}

CommandValidation CommandRouter::validate(const QString& action, int tag) const
{
    if (auto* responder = responderFor(action))
        return responder->validateCommand(action, tag);
    CommandValidation none;
    none.enabled = false;
    return none;
}

bool CommandRouter::perform(const QString& action, int tag)
{
    auto* responder = responderFor(action);
    if (!responder || !responder->validateCommand(action, tag).enabled)
        return false;
    responder->performCommand(action, tag);
    invalidate();
    return true;
}

std::optional<CommandItem> commandOf(const QAction* action)
{
    if (!action)
        return std::nullopt;
    const QString selector = action->property("vmkAction").toString();
    if (selector.isEmpty())
        return std::nullopt;
    return CommandItem{selector, action->property("vmkTag").toInt()};
}

void setCommandOf(QAction* action, const QString& selector, int tag)
{
    action->setProperty("vmkAction", selector);
    action->setProperty("vmkTag", tag);
}

} // namespace vmk::app
