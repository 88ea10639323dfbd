#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <map>

namespace vmk::platform {

// A named notification: the sender (any object, compared by address) and a user-info map.
struct Notification {
    QString name;
    const void* object = nullptr;
    QVariantMap userInfo;
};

// Named notifications delivered synchronously to observers on the posting (main) thread. Observers
// filter by name (empty: all names) and by sender (null: any sender).
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    using Token = quint64;
    using Callback = std::function<void(const Notification&)>;

    explicit NotificationCenter(QObject* parent = nullptr);
    ~NotificationCenter() override;

    static NotificationCenter& defaultCenter();

    // Adds an observer; when context is given the observer is removed when context is destroyed, and
    // removeObservers(context) removes all of that context's observers.
    Token addObserver(const QString& name, const void* object, Callback callback, QObject* context = nullptr);
    void removeObserver(Token token);
    void removeObservers(const QObject* context);
    int observerCount() const { return int(m_observers.size()); }

    // Delivers to the matching observers in the order they were added. Observers added during delivery
    // don't receive this notification; observers removed during delivery no longer do.
    void post(const Notification& notification);
    void post(const QString& name, const void* object = nullptr, const QVariantMap& userInfo = {});

private:
    struct Observer {
        QString name;
        const void* object;
        Callback callback;
        const QObject* context;
    };
    std::map<Token, Observer> m_observers;
    Token m_nextToken = 1;
};

// Notification names of the application.
inline const QString kDocumentsChangedNotification = QStringLiteral("Vellumark.documentsChanged");
inline const QString kOpenFailedNotification = QStringLiteral("Vellumark.openFailed");
inline const QString kBeginGoToPageNotification = QStringLiteral("Vellumark.beginGoToPage");

} // namespace vmk::platform
