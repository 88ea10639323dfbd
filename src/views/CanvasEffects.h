#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QColor>
#include <QEasingCurve>
#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QPainter;
class QVariantAnimation;

namespace vmk::views {

// What the effects need of the canvas that shows them.
class CanvasEffectsHost {
public:
    virtual ~CanvasEffectsHost() = default;
    // The annotation's bounds in view space; null when its page is not shown.
    virtual QRectF effectViewRect(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page) const = 0;
    // Leaves the annotation out of the page's drawing (or puts it back) in this view only: the animation
    // stands in for it, and nothing of this reaches the annotation's flags or the saved file.
    virtual void setEffectHidden(const pdf::AnnotationPtr& annotation, bool hidden) = 0;
    virtual void effectsNeedDisplay() = 0;
    // Calls `done` once the pages on screen are drawn afresh (at once when they already are). A mark put
    // back into the drawing shows only when its page is drawn again; until then its effect's last frame
    // stays in its place, so the mark never blinks off.
    virtual void afterRendering(std::function<void()> done) { done(); }
};

// The short animations the page canvas plays over new marks: a sweep drawing new highlight, underline
// and strike-out marks in from the left, and a write-on for a placed signature (a pen riding over the
// signature as it is revealed, then a "✓ Signed" badge). While an effect plays its annotation is left
// out of the page's drawing and the effect is painted in its place; each effect ends by its own clock or
// all at once with clear(). Under reduced motion nothing plays and the marks simply show.
class CanvasEffects : public QObject {
    Q_OBJECT
public:
    enum class Kind { sweep, signatureImage, signatureFlourish };

    // Sweeps of more than this many marks are not played.
    static constexpr int kMaxSweepItems = 40;
    static constexpr int kSweepStaggerMs = 60;
    static constexpr int kSweepMs = 500;
    static constexpr int kWriteMs = 1150;
    static constexpr int kFlourishMs = 2700;
    static constexpr int kBadgeMs = 1500;
    // The animated scroll to a page.
    static constexpr int kPageScrollMs = 650;
    static const QEasingCurve& overshootCurve();

    explicit CanvasEffects(CanvasEffectsHost* host, QObject* parent = nullptr);
    ~CanvasEffects() override;

    // Defaults to the user's reduce-motion setting.
    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }

    void playMarkupSweep(const QList<std::pair<pdf::AnnotationPtr, pdf::PagePtr>>& items, const QString& subtype,
                         const QColor& color);
    void playSignatureWrite(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page, const QImage& image);
    // Ends every running effect at once and shows its annotations.
    void clear();

    bool isRunning() const { return !m_effects.empty(); }
    // Ended effects whose last frame still stands in for their mark until its page is drawn again.
    int afterimageCount() const { return int(m_afterimages.size()); }
    int effectCount() const { return int(m_effects.size()); }
    bool isHidden(const pdf::AnnotationPtr& annotation) const;
    // Sets every running effect's clock to `ms` after its start (effects whose time is up end).
    void setElapsed(int ms);

    void paint(QPainter& painter) const;

    // Geometry of a sweep bar for a mark's view rectangle (Qt's view space: y grows downwards).
    static QRectF sweepBar(const QString& subtype, const QRectF& markRect);
    // The pen's size for a signature's view rectangle.
    static double penSize(const QRectF& signatureRect);
    // Where the pen is `progress` (0…1, already eased) along its stroke over the signature.
    static QPointF penPosition(const QRectF& signatureRect, double progress);
    // The badge's scale (a damped spring from 0.4 to 1) `ms` after it starts.
    static double badgeScale(int ms);
    // The badge's opacity `ms` after it starts: in over 8 %, held, out over the last 18 %.
    static double badgeOpacity(int ms);

private:
    struct Effect {
        Kind kind = Kind::sweep;
        pdf::AnnotationPtr annotation; // hidden while the effect plays (none for the flourish)
        pdf::PagePtr page;
        QString subtype;
        QColor color;
        QImage image;
        int delayMs = 0;
        std::unique_ptr<QVariantAnimation> clock;
    };

    void start(std::unique_ptr<Effect> effect, int durationMs);
    void finish(Effect* effect);
    void paintSweep(QPainter& painter, const Effect& e, int ms) const;
    void paintSignature(QPainter& painter, const Effect& e, int ms) const;
    void paintFlourish(QPainter& painter, const Effect& e, int ms) const;
    bool reduceMotion() const;

    CanvasEffectsHost* m_host;
    std::function<bool()> m_reduceMotion;
    void keepAfterimage(std::unique_ptr<Effect> effect);

    std::vector<std::unique_ptr<Effect>> m_effects;
    std::vector<std::unique_ptr<Effect>> m_afterimages;
};

} // namespace vmk::views
