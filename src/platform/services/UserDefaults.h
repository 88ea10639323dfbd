#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <deque>
#include <memory>

namespace vmk::platform {

class SettingsWriter;

// User defaults: a value is looked up first in the argument domain (launch arguments "-VMKKey value",
// valid for this run only and never written), then in the persistent store (QSettings), then among the
// registered defaults. Typed getters answer an empty value (0, false, "", {}) when the value has another
// type that doesn't convert. Main thread only.
//
// Reads answer from a copy of the store in memory, so a value set is read back at once; the store's file is
// written on a thread of its own (see SettingsWriter), changes in the order they were made. The process's
// standard defaults finish writing when the application quits.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    // A store over the given settings (use an INI file in a temporary folder for an isolated store).
    explicit UserDefaults(std::unique_ptr<QSettings> settings, QObject* parent = nullptr);
    // A store over an INI file at path.
    explicit UserDefaults(const QString& iniPath, QObject* parent = nullptr);
    ~UserDefaults() override;

    // The process's defaults: the application's QSettings, with the argument domain parsed from
    // QCoreApplication::arguments() on first use. setStandard replaces it (null restores the built-in one;
    // the caller keeps ownership of what it sets).
    static UserDefaults& standard();
    static void setStandard(UserDefaults* defaults);

    // The argument domain: pairs "-Key value" where Key starts with a letter; other arguments are left.
    void setArguments(const QStringList& arguments);
    QVariantMap argumentDomain() const { return m_arguments; }
    static QVariantMap parseArgumentDomain(const QStringList& arguments);
    // The arguments that are not part of a "-Key value" pair (the program name and files to open).
    static QStringList argumentsWithoutDomain(const QStringList& arguments);

    void registerDefaults(const QVariantMap& defaults);

    // The effective value, or an invalid QVariant.
    QVariant object(const QString& key) const;
    bool contains(const QString& key) const { return object(key).isValid(); }
    // Whether the persistent store (not the argument domain or the registered defaults) has the key.
    bool hasPersistentValue(const QString& key) const;

    QString string(const QString& key) const;              // strings and numbers
    qint64 integer(const QString& key) const;              // numbers and numeric strings
    double doubleValue(const QString& key) const;          // numbers and numeric strings
    bool boolean(const QString& key) const;                // bools, numbers, "YES"/"true"/"1"...
    QVariantMap dictionary(const QString& key) const;
    QVariantList array(const QString& key) const;
    QStringList stringArray(const QString& key) const;     // empty unless every element is a string

    // Writes to the persistent store (an argument-domain value for the key keeps winning this run).
    void set(const QString& key, const QVariant& value);
    // Removes the key and the keys under it ("key/...").
    void remove(const QString& key);
    // Returns once every change made so far is on the disk; what other processes wrote to the file is
    // taken in soon after. Changes are written without it: this waits for the disk, which the window's
    // thread must not do while it shows anything (it is meant for the end of the process and for tests).
    void sync();
    // Whether some change made here is not known to be written yet.
    bool hasUnwrittenChanges() const { return !m_unwritten.empty(); }

signals:
    void valueChanged(const QString& key);

private:
    struct Change {
        quint64 number;
        QString key;
        QVariant value; // invalid: removed
    };
    void applyToStored(const QString& key, const QVariant& value);
    void adoptWritten(quint64 change, const QVariantMap& stored);
    static void finishWritingAtExit();

    std::unique_ptr<SettingsWriter> m_writer;
    QVariantMap m_stored;              // the persistent store, as last written plus the changes since
    std::deque<Change> m_unwritten;    // changes made since the last write this process has heard of
    quint64 m_lastChange = 0;
    QVariantMap m_arguments;
    QVariantMap m_registered;
};

} // namespace vmk::platform
