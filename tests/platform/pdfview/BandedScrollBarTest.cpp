#include "platform/pdfview/BandedScrollBar.h"
#include "platform/pdfview/PDFView.h"
#include "platform/services/ThreadHandOff.h"
#include "support/Slowdown.h"

#include <QImage>
#include <QPainter>
#include <QSemaphore>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using namespace vmk;
using namespace vmk::pdfview;

namespace {

template <typename Bar>
QImage painted(Bar& bar, qreal ratio)
{
    QImage image((bar.size() * ratio), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    bar.render(&image);
    return image;
}

template <typename Bar>
void place(Bar& bar, int value)
{
    bar.resize(15, 1000);
    bar.setRange(0, 100000);
    bar.setPageStep(1000);
    bar.setValue(value);
}

// Whether painting needs Qt's global thread pool: every thread of it is held busy while `paint` runs,
// and released early (the paint would otherwise wait for ever) only if the paint has not ended in time.
bool paintNeedsThePool(const std::function<void()>& paint)
{
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    // Shared with the holding tasks, which may still be leaving it when this returns.
    struct Hold {
        QSemaphore held, release, left;
    };
    auto hold = std::make_shared<Hold>();
    for (int i = 0; i < threads; ++i)
        pool->start(platform::handedOver([hold] {
            hold->held.release();
            hold->release.acquire();
            hold->left.release();
        }));
    hold->held.acquire(threads);
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false, releasedEarly = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!ended.wait_for(lock, std::chrono::milliseconds(test::scaledMs(5000)), [&] { return done; })) {
            releasedEarly = true;
            hold->release.release(threads);
        }
    });
    paint();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    ended.notify_all();
    watchdog.join();
    if (!releasedEarly)
        hold->release.release(threads);
    hold->left.acquire(threads);
    return releasedEarly;
}

} // namespace

TEST(BandedScrollBar, PaintsTheStylesPixelsAtEveryDeviceRatio)
{
    EXPECT_EQ(BandedScrollBar::bandHeight(1), 64);
    EXPECT_EQ(BandedScrollBar::bandHeight(2), 32);
    EXPECT_EQ(BandedScrollBar::bandHeight(1.25), 48); // 60 device rows: 51 would start bands between rows
    EXPECT_EQ(BandedScrollBar::bandHeight(1.5), 42);
    for (qreal ratio : {1.0, 2.0, 1.5}) {
        for (int value : {0, 41234, 100000}) {
            QScrollBar plain(Qt::Vertical);
            BandedScrollBar banded(Qt::Vertical);
            place(plain, value);
            place(banded, value);
            const QImage expected = painted(plain, ratio);
            const QImage actual = painted(banded, ratio);
            ASSERT_EQ(actual.size(), expected.size());
            EXPECT_TRUE(actual == expected) << "ratio " << ratio << ", value " << value;
        }
    }
    // A short bar, or a short part of one, is painted whole.
    BandedScrollBar across(Qt::Horizontal);
    QScrollBar plainAcross(Qt::Horizontal);
    for (QScrollBar* bar : {static_cast<QScrollBar*>(&across), &plainAcross}) {
        bar->resize(900, 15);
        bar->setRange(0, 5000);
        bar->setValue(1200);
    }
    EXPECT_TRUE(painted(across, 1) == painted(plainAcross, 1));
}

TEST(BandedScrollBar, ATallBarIsPaintedWithoutQtsThreadPool)
{
    // The page view's own bar is one, since it is repainted at every step of scrolling.
    PDFView view;
    ASSERT_NE(dynamic_cast<BandedScrollBar*>(view.verticalScrollBar()), nullptr);

    BandedScrollBar banded(Qt::Vertical);
    place(banded, 41234);
    QImage image;
    EXPECT_FALSE(paintNeedsThePool([&] { image = painted(banded, 1); }));
    EXPECT_FALSE(image.isNull());
}
