#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace vmk::platform {

class UserDefaults;

// The list of recently opened or saved files, newest first, without duplicates, kept in the user
// defaults under "VMKRecentDocuments" so it survives restarts.
class RecentDocuments : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultMaximum = 12; // as many as the welcome window lists

    explicit RecentDocuments(UserDefaults& defaults, QObject* parent = nullptr);

    // Stored paths whose files still exist, newest first.
    QStringList paths() const;
    // Moves path (made absolute and canonical) to the front, dropping the oldest beyond the maximum.
    void note(const QString& path);
    void remove(const QString& path);
    void clear();

    int maximum() const { return m_maximum; }
    void setMaximum(int maximum);

signals:
    void changed();

private:
    QStringList stored() const;
    void store(const QStringList& list);

    UserDefaults& m_defaults;
    int m_maximum = kDefaultMaximum;
};

} // namespace vmk::platform
