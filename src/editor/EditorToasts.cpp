#include "editor/Editor.h"

namespace vmk {

namespace {
constexpr double kProgressRevealDelay = 0.4;
}

void Editor::showToast(const QString& text, const QString& symbol, Toast::Style style)
{
    const Toast toast{QUuid::createUuid(), symbol, text, style};
    m_toast = toast;
    emit toastChanged();
    // Not cancelled by a later toast: the removal checks the id, so a newer toast keeps its full time.
    QPointer<Editor> self(this);
    const QUuid id = toast.id;
    m_scheduler->schedule(Toast::displaySeconds(style), [self, id] {
        if (self)
            self->dismissToast(id);
    });
}

void Editor::dismissToast(const QUuid& id)
{
    if (!m_toast || m_toast->id != id)
        return;
    m_toast.reset();
    emit toastChanged();
}

void Editor::setProgress(const std::optional<TaskProgress>& progress)
{
    const bool hadProgress = m_progress.has_value();
    m_progress = progress;
    emit progressChanged();
    progressDidChange(hadProgress);
}

void Editor::progressDidChange(bool hadProgress)
{
    if (!m_progress) {
        setProgressVisible(false);
        return;
    }
    if (hadProgress)
        return;
    // A task that ends within the delay never shows the pill.
    QPointer<Editor> self(this);
    m_scheduler->schedule(kProgressRevealDelay, [self] {
        if (self && self->m_progress)
            self->setProgressVisible(true);
    });
}

void Editor::setProgressVisible(bool visible)
{
    if (visible == m_progressVisible)
        return;
    m_progressVisible = visible;
    emit progressVisibleChanged(visible);
}

} // namespace vmk
