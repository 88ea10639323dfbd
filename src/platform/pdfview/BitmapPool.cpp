#include "platform/pdfview/BitmapPool.h"

#include <array>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace vmk::pdfview {

namespace {

// Buffers come in classes of 64 KiB steps up to a full tile, so that an image of any tile size is
// backed by at most 64 KiB more than it needs and edge tiles of one page size find each other's buffers.
constexpr std::size_t kStep = std::size_t(64) << 10;
constexpr int kClasses = int((std::size_t(BitmapPool::kSide) * BitmapPool::kSide * 4 + kStep - 1) / kStep);

struct Buffer {
    uchar* data;
    int sizeClass;
};

struct Pool {
    std::mutex mutex;
    std::array<std::vector<Buffer*>, kClasses + 1> idle;
    int idleCount = 0;
    std::size_t idleBytes = 0;
    int users = 0; // open views
};

Pool& pool()
{
    // Never destroyed: images may be released by threads that outlive static destruction.
    static Pool* p = new Pool;
    return *p;
}

void release(Buffer* buffer)
{
    std::free(buffer->data);
    delete buffer;
}

void giveBack(void* info)
{
    auto* buffer = static_cast<Buffer*>(info);
    Pool& p = pool();
    {
        std::lock_guard lock(p.mutex);
        const std::size_t bytes = std::size_t(buffer->sizeClass) * kStep;
        if (p.users > 0 && p.idleBytes + bytes <= BitmapPool::kMaxIdleBytes) {
            p.idle[size_t(buffer->sizeClass)].push_back(buffer);
            ++p.idleCount;
            p.idleBytes += bytes;
            return;
        }
    }
    release(buffer);
}

} // namespace

QImage BitmapPool::acquire(QSize size)
{
    if (size.isEmpty() || size.width() > kSide || size.height() > kSide)
        return QImage(size, QImage::Format_RGB32);
    const qsizetype stride = qsizetype(size.width()) * 4;
    const int sizeClass = int((std::size_t(stride) * size.height() + kStep - 1) / kStep);
    Buffer* buffer = nullptr;
    {
        Pool& p = pool();
        std::lock_guard lock(p.mutex);
        auto& idle = p.idle[size_t(sizeClass)];
        if (!idle.empty()) {
            buffer = idle.back();
            idle.pop_back();
            --p.idleCount;
            p.idleBytes -= std::size_t(sizeClass) * kStep;
        }
    }
    if (!buffer) {
        auto* data = static_cast<uchar*>(std::aligned_alloc(64, std::size_t(sizeClass) * kStep));
        if (!data)
            return QImage();
        buffer = new Buffer{data, sizeClass};
    }
    return QImage(buffer->data, size.width(), size.height(), stride, QImage::Format_RGB32, giveBack, buffer);
}

int BitmapPool::idleCount()
{
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    return p.idleCount;
}

BitmapPool::Use::Use()
{
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    ++p.users;
}

BitmapPool::Use::~Use()
{
    bool last = false;
    {
        Pool& p = pool();
        std::lock_guard lock(p.mutex);
        last = --p.users == 0;
    }
    if (last)
        releaseIdle();
}

void BitmapPool::releaseIdle()
{
    std::vector<Buffer*> idle;
    {
        Pool& p = pool();
        std::lock_guard lock(p.mutex);
        for (auto& sizeClass : p.idle) {
            idle.insert(idle.end(), sizeClass.begin(), sizeClass.end());
            sizeClass.clear();
        }
        p.idleCount = 0;
        p.idleBytes = 0;
    }
    for (Buffer* buffer : idle)
        release(buffer);
}

} // namespace vmk::pdfview
