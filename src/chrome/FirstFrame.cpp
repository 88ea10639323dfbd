#include "chrome/FirstFrame.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <memory>

namespace vmk::chrome {

namespace {

// Sees the window's first expose event before the window paints for it, then goes.
class ExposeWatch : public QObject {
public:
    ExposeWatch(QWindow* handle, std::function<void()> onExpose) : QObject(handle), m_onExpose(std::move(onExpose))
    {
        handle->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && m_onExpose) {
            watched->removeEventFilter(this);
            std::function<void()> onExpose = std::move(m_onExpose);
            m_onExpose = nullptr;
            deleteLater();
            onExpose();
        }
        return false;
    }

private:
    std::function<void()> m_onExpose;
};

} // namespace

void afterFirstFrame(QWidget* window, platform::Scheduler& scheduler, std::function<void()> step, double fallbackSeconds)
{
    QWindow* handle = window ? window->windowHandle() : nullptr;
    if (!handle || handle->isExposed()) {
        scheduler.schedule(0, std::move(step));
        return;
    }
    // Whichever comes first, the expose or the fallback, runs the step; the other finds it gone.
    auto pending = std::make_shared<std::function<void()>>(std::move(step));
    auto runOnce = [pending] {
        if (!*pending)
            return;
        std::function<void()> now = std::move(*pending);
        *pending = nullptr;
        now();
    };
    platform::WorkItem fallback = scheduler.schedule(fallbackSeconds, runOnce);
    // The zero-delay turn comes after the expose has been handled, that is after the frame is painted.
    new ExposeWatch(handle, [&scheduler, runOnce, fallback]() mutable {
        fallback.cancel();
        scheduler.schedule(0, runOnce);
    });
}

} // namespace vmk::chrome
