#pragma once

#include "platform/pdf/engine/Fz.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

namespace vmk::pdf::detail {

// A file read into memory in pieces, as they are needed and then the rest on a worker: opening a long
// document reads its table of objects and what its first page needs, not hundreds of megabytes, before
// the page is shown. Every piece is read once, and its bytes never change afterwards, so that everyone
// reading through it (the document, the workers' copies) sees one file, as with a file read whole before
// opening. A file that changes while it is being read is what was read, piece by piece, as a read of the
// whole file would have been; one that shrinks reads as zeros past its new end.
//
// The memory belongs to an engine buffer of ctx()'s family (buffer()), which the document can keep as its
// source once the fill is complete. Streams made by openStream() keep this object alive; they read on the
// thread that uses them, in whatever context that thread has.
class FileFill : public std::enable_shared_from_this<FileFill> {
public:
    // Opens a regular file without waiting for a writer and reads its first piece. Null with the system's
    // reason in `error` when it cannot, and with no reason for an empty file.
    static std::shared_ptr<FileFill> open(const QString& path, QString* error);
    ~FileFill();
    FileFill(const FileFill&) = delete;
    FileFill& operator=(const FileFill&) = delete;

    std::int64_t size() const { return m_size; }
    // The bytes of [offset, offset + length), read first when they are not yet; clamped to the file.
    const unsigned char* bytes(std::int64_t offset, std::int64_t length);
    // A seekable stream over the whole file in `c` (any context); it keeps this object alive.
    fz_stream* openStream(fz_context* c);
    // Reads every piece not read yet, in large reads.
    void fillAll();
    // Reads the next few pieces not read yet; true once the whole file is read.
    bool fillNext();
    bool isComplete() const { return m_missing.load(std::memory_order_acquire) == 0; }
    // The memory as an engine buffer of ctx()'s family: only read it whole once isComplete().
    fz_buffer* buffer() const { return m_buffer; }
    // Whether a read failed (the bytes read as zeros).
    bool readFailed() const { return m_failed.load(); }

private:
    FileFill() = default;
    void fillBlocks(std::int64_t first, std::int64_t last);
    void keepSmallPagesForWindow(std::int64_t offset, std::int64_t length);

    int m_fd = -1;
    std::int64_t m_size = 0;
    unsigned char* m_data = nullptr; // owned by m_buffer
    fz_buffer* m_buffer = nullptr;
    std::int64_t m_blocks = 0;
    std::int64_t m_cursor = 0; // where fillNext() goes on
    // Per block: 0 not read, 1 being read, 2 read.
    std::unique_ptr<std::atomic<std::uint8_t>[]> m_state;
    // Per large page of memory, when the file is kept in them: whether anything was read into it yet.
    std::unique_ptr<std::atomic_bool[]> m_largeTouched;
    std::atomic<std::int64_t> m_missing{0};
    std::atomic_bool m_failed{false};
};

} // namespace vmk::pdf::detail
