#include "platform/services/SettingsWriter.h"

#include <QEvent>
#include <QMetaObject>

#include <atomic>

namespace vmk::platform {

namespace {
std::atomic<void (*)()> g_writeHook{nullptr};
} // namespace

// Lives on the writer's thread with the settings it writes.
class SettingsWorker : public QObject {
public:
    SettingsWorker(std::unique_ptr<QSettings> settings, SettingsWriter::Written written)
        : m_settings(std::move(settings)), m_written(std::move(written))
    {
        m_settings->installEventFilter(this);
    }

    // Both to the given thread; called on the thread they are on.
    void moveWithSettings(QThread* thread)
    {
        m_settings->moveToThread(thread);
        moveToThread(thread);
    }

    void apply(quint64 change, const QString& key, const QVariant& value)
    {
        if (value.isValid())
            m_settings->setValue(key, value);
        else
            m_settings->remove(key);
        m_applied = change;
        m_dirty = true;
        // Behind the changes already queued: a burst of them is written once.
        if (!m_writeQueued) {
            m_writeQueued = true;
            QMetaObject::invokeMethod(this, [this] {
                m_writeQueued = false;
                write(false);
            }, Qt::QueuedConnection);
        }
    }

    void write(bool evenUnchanged)
    {
        if (!m_dirty && !evenUnchanged)
            return;
        m_dirty = false;
        if (void (*hook)() = g_writeHook.load())
            hook();
        m_settings->sync();
        if (m_written)
            m_written(m_applied, SettingsWriter::everyValue(*m_settings));
    }

protected:
    // QSettings writes a changed store out by itself from its thread's event loop; here every write is
    // this worker's, so that finish() knows when the last one is done.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return watched == m_settings.get() && event->type() == QEvent::UpdateRequest;
    }

private:
    std::unique_ptr<QSettings> m_settings;
    SettingsWriter::Written m_written;
    quint64 m_applied = 0;
    bool m_dirty = false;
    bool m_writeQueued = false;
};

SettingsWriter::SettingsWriter(std::unique_ptr<QSettings> settings, Written written)
    : m_worker(new SettingsWorker(std::move(settings), std::move(written)))
{
    m_thread.setObjectName(QStringLiteral("settings writer"));
    m_worker->moveWithSettings(&m_thread);
    m_thread.start();
    m_running = true;
}

SettingsWriter::~SettingsWriter()
{
    stop();
    delete m_worker;
}

void SettingsWriter::change(quint64 change, const QString& key, const QVariant& value)
{
    SettingsWorker* worker = m_worker;
    if (!m_running) {
        worker->apply(change, key, value);
        worker->write(false);
        return;
    }
    QMetaObject::invokeMethod(worker, [worker, change, key, value] { worker->apply(change, key, value); },
                              Qt::QueuedConnection);
}

void SettingsWriter::requestWrite()
{
    SettingsWorker* worker = m_worker;
    if (!m_running) {
        worker->write(true);
        return;
    }
    QMetaObject::invokeMethod(worker, [worker] { worker->write(true); }, Qt::QueuedConnection);
}

void SettingsWriter::finish()
{
    if (!m_running)
        return;
    // Queued behind every change given so far.
    SettingsWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->write(false); }, Qt::BlockingQueuedConnection);
}

void SettingsWriter::stop()
{
    if (!m_running)
        return;
    SettingsWorker* worker = m_worker;
    QThread* caller = QThread::currentThread();
    QMetaObject::invokeMethod(worker, [worker, caller] {
        worker->write(false);
        worker->moveWithSettings(caller);
    }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    m_running = false;
}

QVariantMap SettingsWriter::everyValue(const QSettings& settings)
{
    QVariantMap values;
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

void SettingsWriter::setWriteHookForTests(void (*hook)()) { g_writeHook.store(hook); }

} // namespace vmk::platform
