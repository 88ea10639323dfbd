#include "editor/Editor.h"

#include "platform/ocr/RecognizerPool.h"
#include "platform/services/BackgroundPool.h"
#include "platform/services/ThreadStarter.h"

#include <QThreadPool>

namespace vmk {

DetachedRunner& Editor::detachedRunner() const
{
    return m_detachedRunner ? *m_detachedRunner : *DetachedRunner::threadPool();
}

RunningTaskPtr Editor::startRunningTask(const TaskProgress& progress)
{
    setProgress(progress);
    m_runningTask = std::make_shared<RunningTask>();
    return m_runningTask;
}

void Editor::endRunningTask()
{
    setProgress(std::nullopt);
    m_runningTask.reset();
    // Recognition engines the task started hold tens of MiB each; the next task that reads starts its own.
    // Ending them takes a moment each, away from the window.
    platform::startOffWindowThread(platform::backgroundPool(), [] { platform::releaseIdleRecognizers(); });
}

void Editor::cancelRunningTask()
{
    if (m_runningTask)
        m_runningTask->cancel();
}

std::function<void()> Editor::makeCancelAction()
{
    QPointer<Editor> self(this);
    return [self] {
        if (self)
            self->cancelRunningTask();
    };
}

} // namespace vmk
