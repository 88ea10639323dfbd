#pragma once

#include "chrome/FeedbackMarkGeometry.h"

#include <QVariantAnimation>
#include <QWidget>

namespace vmk::chrome {

// The marks below play their motion once when they first come on screen (the busy stroke loops) on a
// clock of their own, and honour reduced motion as it stood when they were made. setElapsed shows the
// motion at a given moment, so the motion can be looked at without waiting for it.
class FeedbackMark : public QWidget {
    Q_OBJECT
public:
    explicit FeedbackMark(bool reduceMotion, QWidget* parent = nullptr);

    bool reduceMotion() const { return m_reduceMotion; }
    bool hasStarted() const { return m_started; }
    double elapsed() const { return m_elapsed; }
    // Starts the motion (once); showing the mark does it.
    void start();
    void setElapsed(double seconds);
    const QVariantAnimation& clock() const { return m_clock; }

protected:
    // Seconds the motion runs; 0 for a loop.
    virtual double duration() const = 0;
    void showEvent(QShowEvent* event) override;

private:
    bool m_reduceMotion;
    bool m_started = false;
    double m_elapsed = 0;
    QVariantAnimation m_clock;
};

// A round badge that draws itself — ring, disc, check — and throws off eight dots.
class SuccessMark : public FeedbackMark {
    Q_OBJECT
public:
    explicit SuccessMark(double size, bool reduceMotion, QWidget* parent = nullptr);
    double size() const { return m_size; }
    SuccessMarkState state() const { return successMarkStateAt(elapsed(), reduceMotion()); }
    // The reduced form at rest: ring, disc and check drawn, the dots on the ring.
    void showFinal() { setElapsed(successMarkDuration(true)); }

protected:
    double duration() const override { return successMarkDuration(reduceMotion()); }
    void paintEvent(QPaintEvent* event) override;

private:
    double m_size;
};

// Five page glyphs gathering from two piles into one fan (merge), or falling apart (split).
class MergeMark : public FeedbackMark {
    Q_OBJECT
public:
    MergeMark(bool split, bool reduceMotion, QWidget* parent = nullptr);
    bool isSplit() const { return m_split; }
    double together() const { return mergeMarkTogether(m_split, mergeMarkProgressAt(elapsed(), reduceMotion())); }

protected:
    double duration() const override { return mergeMarkDuration(reduceMotion()); }
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_split;
};

// The busy mark: a handwritten stroke written over and over along a faint track. Under reduced motion
// only the track shows.
class ProcessingStroke : public FeedbackMark {
    Q_OBJECT
public:
    explicit ProcessingStroke(bool reduceMotion, QWidget* parent = nullptr);
    // How much of the accent stroke is written; 0 under reduced motion.
    double trim() const { return reduceMotion() ? 0.0 : processingStrokeTrimAt(elapsed()); }
    double penOpacity() const { return reduceMotion() ? 0.0 : 1.0; }

protected:
    double duration() const override { return 0; }
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vmk::chrome
