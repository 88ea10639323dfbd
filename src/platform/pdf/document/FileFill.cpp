#include "platform/pdf/document/FileFill.h"

#include "platform/pdf/engine/EngineGate.h"
#include "platform/services/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace vmk::pdf::detail {

namespace {

// One page of memory: an object the engine looks up (a page's dictionary, a few hundred bytes) costs one
// small read. With pieces of 64 KiB, opening a long document copied most of the file just to walk its
// page tree, whose pages lie tens of kilobytes apart.
constexpr std::int64_t kBlock = std::int64_t(4) << 10;
// A stream read straight on asks for ever more at once, up to this many pieces (a font, a content
// stream, the table of objects: a handful of reads each).
constexpr std::int64_t kAheadBlocks = 16;
// A worker filling the rest reads this much at once: one large page of memory.
constexpr std::int64_t kRunBlocks = 512;
constexpr std::size_t kHugePage = std::size_t(2) << 20;

enum : std::uint8_t { kUnread = 0, kReading = 1, kRead = 2 };

struct StreamState {
    std::shared_ptr<FileFill> fill;
    std::int64_t expected = -1; // where the last piece handed over ended
    std::int64_t ahead = 1;     // pieces the next read straight on asks for
};

int nextFromFill(fz_context*, fz_stream* stm, size_t)
{
    auto* state = static_cast<StreamState*>(stm->state);
    FileFill& fill = *state->fill;
    const std::int64_t at = stm->pos;
    if (at >= fill.size())
        return EOF;
    state->ahead = at == state->expected ? std::min(kAheadBlocks, state->ahead * 2) : 1;
    // A whole file already read is handed over at once; otherwise up to the end of the pieces asked for.
    const std::int64_t end =
        fill.isComplete() ? fill.size() : std::min(fill.size(), (at / kBlock + state->ahead) * kBlock);
    const unsigned char* bytes = fill.bytes(at, end - at);
    stm->rp = const_cast<unsigned char*>(bytes);
    stm->wp = stm->rp + (end - at);
    stm->pos = end;
    state->expected = end;
    return *stm->rp++;
}

void seekInFill(fz_context*, fz_stream* stm, int64_t offset, int whence)
{
    seekWithin(stm, offset, whence, static_cast<StreamState*>(stm->state)->fill->size());
}

void dropFillStream(fz_context*, void* state) { delete static_cast<StreamState*>(state); }

} // namespace

std::shared_ptr<FileFill> FileFill::open(const QString& path, QString* error)
{
    // Only a regular file is read, and it is opened without waiting for a writer: a named pipe would block
    // the opener for good and a device never ends. What was opened is looked at again before any read.
    if (platform::fileKindOf(path) != platform::FileKind::regular) {
        *error = QStringLiteral("This isn\u2019t a regular file.");
        return nullptr;
    }
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    std::shared_ptr<FileFill> fill(new FileFill);
    fill->m_fd = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = QStringLiteral("This isn\u2019t a regular file.");
        return nullptr;
    }
    fill->m_size = std::int64_t(info.st_size);
    if (fill->m_size <= 0) {
        error->clear(); // nothing to read is no failure of the system's
        return nullptr;
    }
    // Memory the engine frees as its own (fz_free is free()), in large pages where the system gives
    // them: the first touch of each small page is a fault, and those faults were most of the cost of
    // reading a long file (a large page is made for little more than one small one). Aligned to them, so
    // that the first and the last are large too.
    const std::size_t align = size_t(fill->m_size) >= kHugePage ? kHugePage : std::size_t(kBlock);
    const std::size_t allocated = (size_t(fill->m_size) + align - 1) / align * align;
    fill->m_data = static_cast<unsigned char*>(std::aligned_alloc(align, allocated));
    if (!fill->m_data) {
        *error = QStringLiteral("There is not enough memory to read the file.");
        return nullptr;
    }
    if (align == kHugePage) {
        ::madvise(fill->m_data, allocated, MADV_HUGEPAGE);
        fill->m_largeTouched = std::make_unique<std::atomic_bool[]>(allocated / kHugePage);
    }
    fz_context* c = ctx();
    if (!guarded(c, [&] { fill->m_buffer = fz_new_buffer_from_data(c, fill->m_data, size_t(fill->m_size)); })) {
        std::free(fill->m_data);
        fill->m_data = nullptr;
        *error = QStringLiteral("There is not enough memory to read the file.");
        return nullptr;
    }
    fill->m_blocks = (fill->m_size + kBlock - 1) / kBlock;
    fill->m_state = std::make_unique<std::atomic<std::uint8_t>[]>(size_t(fill->m_blocks));
    fill->m_missing = fill->m_blocks;
    fill->bytes(0, 1);
    return fill;
}

FileFill::~FileFill()
{
    if (m_fd >= 0)
        ::close(m_fd);
    // Any thread may let go last; the buffer is of ctx()'s family, whose member this thread has.
    if (m_buffer)
        EngineGate::releaseLater([buffer = m_buffer] { fz_drop_buffer(ctx(), buffer); });
}

void FileFill::fillBlocks(std::int64_t first, std::int64_t last)
{
    for (std::int64_t b = first; b <= last;) {
        std::atomic<std::uint8_t>& state = m_state[size_t(b)];
        std::uint8_t seen = state.load(std::memory_order_acquire);
        if (seen == kRead) {
            ++b;
            continue;
        }
        if (seen == kReading || !state.compare_exchange_strong(seen, kReading, std::memory_order_acq_rel)) {
            // Another thread reads it: its bytes are there once it says so.
            state.wait(kReading, std::memory_order_acquire);
            continue;
        }
        // This thread reads the block and the unread ones after it, up to `last`, in one read.
        std::int64_t run = 1;
        while (b + run <= last) {
            std::uint8_t next = kUnread;
            if (!m_state[size_t(b + run)].compare_exchange_strong(next, kReading, std::memory_order_acq_rel))
                break;
            ++run;
        }
        const std::int64_t offset = b * kBlock;
        const std::int64_t length = std::min(m_size, (b + run) * kBlock) - offset;
        keepSmallPagesForWindow(offset, length);
        std::int64_t got = 0;
        while (got < length) {
            const ssize_t n = ::pread(m_fd, m_data + offset + got, size_t(length - got), off_t(offset + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                m_failed = true;
            if (n <= 0)
                break;
            got += n;
        }
        // Past a new end, or what could not be read, reads as nothing: the engine finds the file cut short.
        if (got < length)
            std::memset(m_data + offset + got, 0, size_t(length - got));
        for (std::int64_t k = b; k < b + run; ++k) {
            m_state[size_t(k)].store(kRead, std::memory_order_release);
            m_state[size_t(k)].notify_all();
        }
        // The last piece read: nothing reads the file any more.
        if (m_missing.fetch_sub(run, std::memory_order_acq_rel) == run)
            ::close(std::exchange(m_fd, -1));
        b += run;
    }
}

void FileFill::keepSmallPagesForWindow(std::int64_t offset, std::int64_t length)
{
    if (!m_largeTouched)
        return;
    const QCoreApplication* app = QCoreApplication::instance();
    const bool window = app && QThread::currentThread() == app->thread();
    for (std::int64_t page = offset / std::int64_t(kHugePage), end = (offset + length - 1) / std::int64_t(kHugePage);
         page <= end; ++page) {
        // The first touch of a large page clears all 2 MiB of it. The window's thread reads a few hundred
        // bytes here and there (the table of objects at the end, the first page's objects): on a virtual
        // machine those clears were 15 ms of the first paint. Its pages stay small; the worker filling
        // the rest keeps the large ones, where the clear is paid once for 512 small pages.
        if (!m_largeTouched[size_t(page)].exchange(true, std::memory_order_relaxed) && window)
            ::madvise(m_data + page * std::int64_t(kHugePage), kHugePage, MADV_NOHUGEPAGE);
    }
}

const unsigned char* FileFill::bytes(std::int64_t offset, std::int64_t length)
{
    offset = std::clamp<std::int64_t>(offset, 0, m_size);
    length = std::clamp<std::int64_t>(length, 0, m_size - offset);
    if (length > 0 && !isComplete())
        fillBlocks(offset / kBlock, (offset + length - 1) / kBlock);
    return m_data + offset;
}

bool FileFill::fillNext()
{
    if (m_cursor < m_blocks) {
        fillBlocks(m_cursor, std::min(m_blocks, m_cursor + kRunBlocks) - 1);
        m_cursor += kRunBlocks;
    }
    return m_cursor >= m_blocks;
}

void FileFill::fillAll()
{
    while (!fillNext()) {
    }
}

fz_stream* FileFill::openStream(fz_context* c)
{
    // The engine drops the state itself when it cannot make the stream.
    fz_stream* stream = fz_new_stream(c, new StreamState{shared_from_this()}, nextFromFill, dropFillStream);
    stream->seek = seekInFill;
    return stream;
}

} // namespace vmk::pdf::detail
