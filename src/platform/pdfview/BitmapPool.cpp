#include "platform/pdfview/BitmapPool.h"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace vmk::pdfview {

namespace {

constexpr qsizetype kStride = qsizetype(BitmapPool::kSide) * 4;
constexpr std::size_t kBufferBytes = std::size_t(kStride) * BitmapPool::kSide;

struct Pool {
    std::mutex mutex;
    std::vector<uchar*> idle;
};

Pool& pool()
{
    // Never destroyed: images may be released by threads that outlive static destruction.
    static Pool* p = new Pool;
    return *p;
}

void giveBack(void* info)
{
    auto* buffer = static_cast<uchar*>(info);
    Pool& p = pool();
    {
        std::lock_guard lock(p.mutex);
        if (int(p.idle.size()) < BitmapPool::kMaxIdle) {
            p.idle.push_back(buffer);
            return;
        }
    }
    std::free(buffer);
}

} // namespace

QImage BitmapPool::acquire(QSize size)
{
    if (size.isEmpty() || size.width() > kSide || size.height() > kSide)
        return QImage(size, QImage::Format_RGB32);
    uchar* buffer = nullptr;
    {
        Pool& p = pool();
        std::lock_guard lock(p.mutex);
        if (!p.idle.empty()) {
            buffer = p.idle.back();
            p.idle.pop_back();
        }
    }
    if (!buffer)
        buffer = static_cast<uchar*>(std::aligned_alloc(64, kBufferBytes));
    if (!buffer)
        return QImage();
    return QImage(buffer, size.width(), size.height(), kStride, QImage::Format_RGB32, giveBack, buffer);
}

int BitmapPool::idleCount()
{
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    return int(p.idle.size());
}

} // namespace vmk::pdfview
