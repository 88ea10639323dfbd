#pragma once

#include <QSettings>
#include <QString>
#include <QThread>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>

namespace vmk::platform {

class SettingsWorker;

// Writes a QSettings store out on a thread of its own. Writing settings durably waits for the disk (a lock
// file and the file itself are each flushed to it), tens to hundreds of milliseconds that the window's
// thread must never wait. Changes are applied in the order given, so the last value given for a key is the
// one written; a burst of changes becomes one write. Once handed over, the settings are touched by no other
// thread. Not thread-safe: one thread (the main thread) gives the changes.
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
    QThread m_thread;
    SettingsWorker* m_worker = nullptr;
    bool m_running = false;
};

} // namespace vmk::platform
