#include "chrome/ProgressPill.h"

#include "chrome/ChromeStyle.h"
#include "chrome/FeedbackMarks.h"
#include "chrome/Motion.h"
#include "chrome/RollingLabel.h"
#include "chrome/SizeMorph.h"

#include "platform/services/ReduceMotion.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace vmk::chrome {

namespace {
constexpr int kBarSteps = 1000;
}

ProgressPill::ProgressPill(const TaskProgress& progress, QWidget* parent)
    : GlassSurface(GlassShape::capsule(), parent)
{
    setObjectName(QStringLiteral("ProgressPill"));
    auto* row = new QHBoxLayout(this);
    const int m = glassShadowMargin();
    row->setContentsMargins(m + 16, m + 10, m + 16, m + 10);
    row->setSpacing(12);

    m_busy = new ProcessingStroke(platform::reduceMotionEnabled(), this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, kBarSteps);
    m_bar->setTextVisible(false);
    m_bar->setFixedSize(140, 6);
    QPalette tinted = m_bar->palette();
    tinted.setColor(QPalette::Highlight, accentColor(palette()));
    m_bar->setPalette(tinted);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_title = new RollingLabel(this);
    m_title->setFont(calloutFont());
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_stop->setFocusPolicy(Qt::NoFocus);
    m_stop->setFont(calloutFont());
    connect(m_stop, &QPushButton::clicked, this, [this] {
        if (m_progress.cancel)
            m_progress.cancel();
    });

    row->addWidget(m_busy, 0, Qt::AlignVCenter);
    row->addWidget(m_bar, 0, Qt::AlignVCenter);
    row->addWidget(m_title, 0, Qt::AlignVCenter);
    row->addWidget(m_stop, 0, Qt::AlignVCenter);
    m_morph = new SizeMorph(this);

    connect(&m_slide, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { showFraction(v.toDouble()); });

    m_progress = progress;
    if (progress.fraction)
        showFraction(*progress.fraction);
    setProgress(progress);
}

bool ProgressPill::reduceMotion() const
{
    return m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
}

void ProgressPill::showFraction(double fraction)
{
    m_shown = std::clamp(fraction, 0.0, 1.0);
    m_bar->setValue(int(std::lround(m_shown * kBarSteps)));
}

QSize ProgressPill::sizeHint() const
{
    return m_morph ? m_morph->sizeHint(GlassSurface::sizeHint()) : GlassSurface::sizeHint();
}

void ProgressPill::setProgress(const TaskProgress& progress)
{
    const std::optional<double> before = m_progress.fraction;
    // The motion is keyed on the title: a new title rolls its changed digits upward and carries the whole
    // pill, with any bar or button that comes or goes, to its new size on the settling spring. Reduced
    // motion keeps this spring: it never overshoots, and only curves and the mode spring are calmed.
    const MotionSpec motion = progress.title != m_title->text() ? settlingSpringMotion() : MotionSpec{};
    m_progress = progress;
    m_morph->capture();
    m_title->rollTo(progress.title, true, motion);
    m_bar->setVisible(progress.fraction.has_value());
    m_stop->setVisible(bool(progress.cancel));
    m_morph->run(motion);
    if (progress.fraction) {
        const double target = std::clamp(*progress.fraction, 0.0, 1.0);
        if (!before) {
            // A bar that comes in starts where the task stands.
            m_slide.stop();
            showFraction(target);
        } else if (target != m_slide.endValue().toDouble() || m_slide.state() != QAbstractAnimation::Running) {
            const MotionSpec motion = curveMotion(smoothCurve, 0.3, reduceMotion());
            m_slide.stop();
            m_slide.setStartValue(m_shown);
            m_slide.setEndValue(target);
            m_slide.setDuration(motion.durationMs);
            m_slide.setEasingCurve(motion.easing);
            if (target != m_shown)
                m_slide.start();
        }
    } else {
        m_slide.stop();
    }
    updateGeometry();
}

} // namespace vmk::chrome
