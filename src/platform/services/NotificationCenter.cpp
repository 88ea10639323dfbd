#include "platform/services/NotificationCenter.h"

#include <vector>

namespace vmk::platform {

NotificationCenter::NotificationCenter(QObject* parent) : QObject(parent) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, const void* object, Callback callback,
                                                          QObject* context)
{
    const Token token = m_nextToken++;
    m_observers.emplace(token, Observer{name, object, std::move(callback), context});
    if (context) {
        // One connection per observer keeps removal simple; removing an absent token is harmless.
        connect(context, &QObject::destroyed, this, [this, token] { removeObserver(token); });
    }
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    m_observers.erase(token);
}

void NotificationCenter::removeObservers(const QObject* context)
{
    if (!context)
        return;
    for (auto it = m_observers.begin(); it != m_observers.end();) {
        if (it->second.context == context)
            it = m_observers.erase(it);
        else
            ++it;
    }
}

void NotificationCenter::post(const Notification& notification)
{
    // Snapshot the matching tokens first: callbacks may add or remove observers while we deliver.
    std::vector<Token> targets;
    for (const auto& [token, observer] : m_observers) {
        if (!observer.name.isEmpty() && observer.name != notification.name)
            continue;
        if (observer.object && observer.object != notification.object)
            continue;
        targets.push_back(token);
    }
    for (Token token : targets) {
        auto it = m_observers.find(token);
        if (it == m_observers.end())
            continue;
        // Copy the callback so an observer that removes itself doesn't destroy the function it runs in.
        const Callback callback = it->second.callback;
        callback(notification);
    }
}

void NotificationCenter::post(const QString& name, const void* object, const QVariantMap& userInfo)
{
    post(Notification{name, object, userInfo});
}

} // namespace vmk::platform
