#pragma once

#include "chrome/Glass.h"
#include "chrome/RollingLabel.h"
#include "editor/Toast.h"

#include <QVariantAnimation>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vmk::chrome {

class ProcessingStroke;
class SizeMorph;

// The capsule that reports the editor's running task: the busy mark, a bar when the share done is
// known, the task's title as given and "Stop" when the task can be stopped. It changes nothing but
// through the task's own cancel action.
class ProgressPill : public GlassSurface {
    Q_OBJECT
public:
    explicit ProgressPill(const TaskProgress& progress, QWidget* parent = nullptr);

    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }
    // The task reported new progress (title, fraction or cancel action).
    void setProgress(const TaskProgress& progress);
    const TaskProgress& progress() const { return m_progress; }

    ProcessingStroke* busyMark() const { return m_busy; }
    // Present only while the fraction is known.
    QProgressBar* bar() const { return m_bar; }
    // The title, whose changed numbers roll upward as a task counts its pages.
    RollingLabel* titleLabel() const { return m_title; }
    // Present only while the task can be stopped.
    QPushButton* stopButton() const { return m_stop; }
    // The fraction the bar shows at this moment (it slides to a new fraction).
    double shownFraction() const { return m_shown; }
    const QVariantAnimation& barAnimation() const { return m_slide; }
    // A new title resizes the whole pill on a spring without overshoot; the bar and the button move with it.
    SizeMorph* resizing() const { return m_morph; }
    QSize sizeHint() const override;

private:
    bool reduceMotion() const;
    void showFraction(double fraction);

    TaskProgress m_progress;
    std::function<bool()> m_reduceMotion;
    ProcessingStroke* m_busy = nullptr;
    QProgressBar* m_bar = nullptr;
    RollingLabel* m_title = nullptr;
    QPushButton* m_stop = nullptr;
    SizeMorph* m_morph = nullptr;
    QVariantAnimation m_slide;
    double m_shown = 0;
};

} // namespace vmk::chrome
