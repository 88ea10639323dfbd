#include "platform/ocr/RecognizerPool.h"

#include "platform/services/HeapTrim.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace vmk::platform {

namespace {

std::optional<qint64> readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const qint64 value = file.readAll().trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt; // "max" for no limit reads as nothing
}

std::optional<qint64> memAvailable()
{
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith("MemAvailable:"))
            continue;
        bool ok = false;
        const qint64 kib = line.mid(13).trimmed().split(' ').value(0).toLongLong(&ok);
        return ok ? std::optional<qint64>(kib * 1024) : std::nullopt;
    }
    return std::nullopt;
}

using Key = std::pair<QString, bool>;

Key keyOf(const RecognitionOptions& options) { return {options.languages, options.detectOrientation}; }

struct Pool {
    std::mutex mutex;
    std::condition_variable returned;
    std::map<Key, std::vector<std::unique_ptr<TextRecognizer>>> idle;
    int alive = 0;
    // A release came while engines were lent (a task stopped with pages in reading): they end as they come
    // back instead of waiting idle for a next task that may never come. A new lease means a task goes on.
    bool endOnReturn = false;

    // With the mutex held: room for one more engine, counting the memory our own engines hold as available
    // to them (they are what took it).
    bool roomForOne() const
    {
        std::optional<qint64> available = availableMemoryBytes();
        if (available)
            *available += qint64(alive) * kRecognizerBytes;
        return alive < recognitionEngineLimit(available, QThread::idealThreadCount());
    }

    // With the mutex held: an idle engine of other options ended to make room, if there is one.
    bool endOneIdle()
    {
        for (auto& [key, engines] : idle) {
            if (!engines.empty()) {
                engines.pop_back();
                --alive;
                return true;
            }
        }
        return false;
    }
};

Pool& pool()
{
    // Never destroyed: engines still lent when the process exits stay with their threads.
    static Pool* instance = new Pool;
    return *instance;
}

} // namespace

std::optional<qint64> availableMemoryBytes()
{
    std::optional<qint64> available = memAvailable();
    const std::optional<qint64> limit = readBytes(QStringLiteral("/sys/fs/cgroup/memory.max"));
    const std::optional<qint64> used = readBytes(QStringLiteral("/sys/fs/cgroup/memory.current"));
    if (limit && used) {
        const qint64 room = std::max<qint64>(0, *limit - *used);
        available = available ? std::min(*available, room) : room;
    }
    return available;
}

int recognitionEngineLimit(std::optional<qint64> availableBytes, int cores)
{
    const int byCores = std::max(1, cores);
    if (!availableBytes)
        return byCores;
    return int(std::clamp<qint64>(*availableBytes / 2 / kRecognizerBytes, 1, byCores));
}

int recognitionEngineLimit()
{
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    std::optional<qint64> available = availableMemoryBytes();
    if (available)
        *available += qint64(p.alive) * kRecognizerBytes;
    return recognitionEngineLimit(available, QThread::idealThreadCount());
}

RecognizerLease::RecognizerLease(const RecognitionOptions& options) : m_options(options)
{
    Pool& p = pool();
    const Key key = keyOf(options);
    std::unique_lock lock(p.mutex);
    p.endOnReturn = false;
    for (;;) {
        if (auto found = p.idle.find(key); found != p.idle.end() && !found->second.empty()) {
            m_recognizer = std::move(found->second.back());
            found->second.pop_back();
            return;
        }
        if (p.alive == 0 || p.roomForOne() || p.endOneIdle())
            break;
        p.returned.wait(lock);
    }
    ++p.alive;
    lock.unlock();
    // Started outside the lock: starting takes a while, and several may start at once.
    m_recognizer = std::make_unique<TextRecognizer>(options);
}

RecognizerLease::~RecognizerLease()
{
    Pool& p = pool();
    {
        std::lock_guard lock(p.mutex);
        if (!p.endOnReturn) {
            p.idle[keyOf(m_options)].push_back(std::move(m_recognizer));
        } else {
            --p.alive;
            // Counted before the count of engines drops, so that no one sees neither.
            heapReleaseBegins();
        }
    }
    p.returned.notify_one();
    if (m_recognizer) {
        // Ended outside the lock, like those a release ends.
        m_recognizer.reset();
        heapReleaseEnds();
    }
}

void releaseIdleRecognizers()
{
    std::vector<std::unique_ptr<TextRecognizer>> ending;
    Pool& p = pool();
    {
        std::lock_guard lock(p.mutex);
        for (auto& [key, engines] : p.idle) {
            p.alive -= int(engines.size());
            std::move(engines.begin(), engines.end(), std::back_inserter(ending));
            engines.clear();
        }
        p.endOnReturn = p.alive > 0;
        // What the engines and the pages they read held stays with the C library's per-thread heaps,
        // hundreds of MiB after a run on eight workers, until it is handed back once they have ended.
        if (!ending.empty())
            heapReleaseBegins();
    }
    // Ended outside the lock; a waiting borrower may start one of its own now.
    const bool ended = !ending.empty();
    ending.clear();
    p.returned.notify_all();
    if (ended)
        heapReleaseEnds();
}

int recognizersAlive()
{
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    return p.alive;
}

} // namespace vmk::platform
