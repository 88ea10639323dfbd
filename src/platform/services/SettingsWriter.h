#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QThread;

namespace vmk::platform {

// Writes a QSettings store out on a thread of its own. Writing settings durably waits for the disk (a lock
// file and the file itself are each flushed to it), tens to hundreds of milliseconds that the window's
// thread must never wait. Changes are applied in the order given, so the last value given for a key is the
// one written; a burst of changes becomes one write. Once handed over, the settings are touched by no other
// thread until stop(). One thread (the main thread) gives the changes.
class SettingsWriter {
public:
    // Called on the writer's thread after each write: the number of the last change it holds and the
    // whole store as it now stands, with whatever another process wrote to the file meanwhile.
    using Written = std::function<void(quint64 change, const QVariantMap& stored)>;

    SettingsWriter(std::unique_ptr<QSettings> settings, Written written);
    // Finishes every write first.
    ~SettingsWriter();
    SettingsWriter(const SettingsWriter&) = delete;
    SettingsWriter& operator=(const SettingsWriter&) = delete;

    // Change number `change` (increasing): the key's value, or its removal (with the keys under it) when
    // the value is invalid.
    void change(quint64 change, const QString& key, const QVariant& value);
    // A write even with nothing changed, which also reads what other processes wrote.
    void requestWrite();
    // Returns once every change given so far is on the disk.
    void finish();
    // finish(), then ends the thread: later changes are written at once on the caller's thread.
    void stop();

    // Every key of the settings with its value.
    static QVariantMap everyValue(const QSettings& settings);

    // Tests only: run just before each durable write, on the thread that does it (null for none).
    static void setWriteHookForTests(void (*hook)());

private:
    struct Change {
        quint64 number;
        QString key;
        QVariant value;
    };
    void run();
    void apply(const Change& change);
    void write();

    std::unique_ptr<QSettings> m_settings;
    Written m_written;
    QThread* m_home = nullptr;        // where the settings live again after stop()
    std::thread m_thread;
    bool m_running = false;           // the giving thread's own view
    quint64 m_applied = 0;            // the last change applied (writer's thread, or the caller's after stop)

    std::mutex m_mutex;               // guards what follows
    std::condition_variable m_wake;
    std::condition_variable m_progress;
    std::deque<Change> m_queue;
    quint64 m_requests = 0;           // changes and write requests given
    quint64 m_served = 0;             // ... of which written
    bool m_writeRequested = false;
    bool m_stopping = false;
    QThread* m_writerThread = nullptr;
};

} // namespace vmk::platform
