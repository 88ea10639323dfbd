#include "platform/services/SettingsWriter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <atomic>

namespace vmk::platform {

namespace {
std::atomic<void (*)()> g_writeHook{nullptr};
} // namespace

SettingsWriter::SettingsWriter(std::unique_ptr<QSettings> settings, Written written)
    : m_settings(std::move(settings)), m_written(std::move(written)), m_home(QThread::currentThread())
{
    // A plain thread, with no event loop of its own. The settings move to it, so that what they post to
    // themselves (QSettings asks its thread's event loop to write it out after a change) never reaches
    // the giving thread's loop; this thread writes them itself and drops those requests.
    m_thread = std::thread([this] { run(); });
    QThread* writer = nullptr;
    {
        std::unique_lock lock(m_mutex);
        m_progress.wait(lock, [this] { return m_writerThread != nullptr; });
        writer = m_writerThread;
    }
    m_settings->moveToThread(writer);
    m_running = true;
}

SettingsWriter::~SettingsWriter() { stop(); }

void SettingsWriter::change(quint64 change, const QString& key, const QVariant& value)
{
    if (!m_running) {
        apply({change, key, value});
        write();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({change, key, value});
        ++m_requests;
    }
    m_wake.notify_one();
}

void SettingsWriter::requestWrite()
{
    if (!m_running) {
        write();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_writeRequested = true;
        ++m_requests;
    }
    m_wake.notify_one();
}

void SettingsWriter::finish()
{
    if (!m_running)
        return;
    std::unique_lock lock(m_mutex);
    const quint64 given = m_requests;
    m_progress.wait(lock, [&] { return m_served >= given; });
}

void SettingsWriter::stop()
{
    if (!m_running)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join(); // it writes what is left first
    m_running = false;
}

void SettingsWriter::run()
{
    {
        std::lock_guard lock(m_mutex);
        m_writerThread = QThread::currentThread();
    }
    m_progress.notify_all();
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_writeRequested || m_stopping; });
        if (m_queue.empty() && !m_writeRequested)
            break; // stopping, with everything written
        const std::deque<Change> batch = std::exchange(m_queue, {});
        m_writeRequested = false;
        const quint64 served = m_requests;
        lock.unlock();
        for (const Change& change : batch)
            apply(change);
        write();
        lock.lock();
        m_served = served;
        m_progress.notify_all();
    }
    lock.unlock();
    // Back to the thread that gave them, which writes them itself from now on.
    m_settings->moveToThread(m_home);
}

void SettingsWriter::apply(const Change& change)
{
    if (change.value.isValid())
        m_settings->setValue(change.key, change.value);
    else
        m_settings->remove(change.key);
    m_applied = change.number;
}

void SettingsWriter::write()
{
    if (void (*hook)() = g_writeHook.load())
        hook();
    m_settings->sync();
    // Its request to be written out by an event loop is answered.
    QCoreApplication::removePostedEvents(m_settings.get(), QEvent::UpdateRequest);
    if (m_written)
        m_written(m_applied, everyValue(*m_settings));
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
