#include "chrome/CanvasRoot.h"

#include "chrome/CanvasOverlays.h"
#include "chrome/ClickThrough.h"
#include "chrome/Motion.h"
#include "chrome/PagePill.h"
#include "chrome/ScanSweep.h"
#include "chrome/ToastView.h"
#include "chrome/Transition.h"
#include "chrome/UnlockView.h"

#include "editor/Editor.h"
#include "platform/pdfview/PDFView.h"
#include "platform/services/ReduceMotion.h"

#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace vmk::chrome {

namespace {
constexpr double kRevealRise = 36.0;
}

// The canvas fades in under a sheet of the window's colour that thins out as the reveal runs. An opacity
// effect on the canvas itself would draw it into a pixmap over an area that nothing else paints (the
// scroll view's viewport counts as opaque), so a window caught in the reveal's first frames, or held up
// before the pages are drawn, showed black where the pages were going to be.
class RevealVeil : public QWidget {
public:
    explicit RevealVeil(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }
    void setCover(double cover)
    {
        if (cover == m_cover)
            return;
        m_cover = cover;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QColor sheet = palette().color(QPalette::Window);
        sheet.setAlphaF(float(std::clamp(m_cover, 0.0, 1.0)));
        QPainter(this).fillRect(event->rect(), sheet);
    }

private:
    double m_cover = 1.0;
};

CanvasRootPieces canvasRootPieces(const CanvasRootState& s)
{
    CanvasRootPieces p;
    const bool pages = s.mode == 4;
    p.scanSweep = s.progress && s.progressIsOcr && !pages;
    p.pageGrid = pages && !s.locked;
    p.unlockView = s.locked;
    p.topOverlay = !s.locked;
    p.scanBanner = !s.locked && s.showScanSuggestion && s.mode == 0;
    p.toast = s.toast;
    p.progressPill = s.progress && s.progressVisible;
    p.pagePill = !s.locked && !pages && s.pageCount > 0;
    return p;
}

AnimatedChange animatedChange(const CanvasRootState& before, const CanvasRootState& after)
{
    if (before.mode != after.mode)
        return AnimatedChange::mode;
    if (before.locked != after.locked)
        return AnimatedChange::lock;
    if (before.progressVisible != after.progressVisible || (before.progress && !after.progress && before.progressVisible))
        return AnimatedChange::progressVisibility;
    if (before.showScanSuggestion != after.showScanSuggestion)
        return AnimatedChange::scanSuggestion;
    return AnimatedChange::none;
}

MotionSpec animatedChangeMotion(AnimatedChange change)
{
    switch (change) {
    case AnimatedChange::mode:
        return modeChangeMotion(false);
    case AnimatedChange::lock:
        return curveMotion(glideCurve, 0.45, false);
    case AnimatedChange::progressVisibility:
        return curveMotion(glideCurve, 0.40, false);
    case AnimatedChange::scanSuggestion:
        return curveMotion(glideCurve, 0.50, false);
    case AnimatedChange::none:
        break;
    }
    return {QEasingCurve(QEasingCurve::Linear), 0, 0};
}

CanvasRootState canvasRootStateOf(const Editor* editor)
{
    CanvasRootState s;
    if (!editor)
        return s;
    s.locked = editor->isLocked();
    s.mode = rawValue(editor->mode());
    s.pageCount = editor->pageCount();
    s.progress = editor->progress().has_value();
    s.progressIsOcr = s.progress && editor->progress()->kind == TaskProgress::Kind::ocr;
    s.progressVisible = editor->progressVisible();
    s.toast = editor->toast().has_value();
    s.showScanSuggestion = editor->showScanSuggestion();
    return s;
}

CanvasRoot::CanvasRoot(Editor* editor, QWidget* parent)
    : QWidget(parent), m_editor(editor)
{
    // The bars, pills and cards float over the canvas on purpose.
    setProperty("layersChildren", true);
    QWidget* canvas = editor && editor->pdfView() ? editor->pdfView()->canvasWidget() : nullptr;
    if (!canvas) {
        // Without a canvas widget the pane still has its place and colour.
        auto* placeholder = new QLabel;
        placeholder->setAutoFillBackground(true);
        placeholder->setBackgroundRole(QPalette::Dark);
        canvas = placeholder;
    }
    // The canvas is the editor's one long-lived view: hosted here as it is, never rebuilt.
    m_canvas = canvas;
    m_canvas->setParent(this);
    // What it scrolls into view stays clear of the bars floating over it.
    if (auto* view = qobject_cast<pdfview::PDFView*>(canvas)) {
        QPointer<CanvasRoot> self(this);
        view->setObscuredMargins([self] { return self ? self->coveredMargins() : QMargins(); });
    }
    // What the canvas has not risen into yet is the window's own colour.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    m_veil = new RevealVeil(this);

    connect(&m_reveal, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const double t = v.toDouble();
        if (m_veil)
            m_veil->setCover(1.0 - std::clamp(t, 0.0, 1.0));
        const bool reduce = m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
        m_offset = reduce ? 0.0 : kRevealRise * (1.0 - t);
        layoutPieces();
    });
    // The canvas is simply there once it is in.
    connect(&m_reveal, &QVariantAnimation::finished, this, [this] {
        delete m_veil.data();
        if (m_canvas)
            m_canvas->setProperty("inMotion", false);
    });

    m_topStack = new TopOverlay(editor, this);
    m_bottomStack = new BottomOverlay(editor, this);
    // Clicks and wheel turns in the stacks' empty room (shadows, gaps) reach the page beneath.
    auto* clickThrough = new ClickThrough(this);
    clickThrough->addLayer(m_topStack);
    clickThrough->addLayer(m_bottomStack);
    auto provider = [this] { return reduceMotion(); };
    m_topStack->setReduceMotionProvider(provider);
    m_bottomStack->setReduceMotionProvider(provider);
    connect(m_topStack, &TopOverlay::contentChanged, this, [this] { layoutPieces(); });
    connect(m_bottomStack, &BottomOverlay::contentChanged, this, [this] { layoutPieces(); });
    // The toast slot follows the editor's toast by itself.
    auto* toasts = new ToastOverlay(editor);
    toasts->setReduceMotionProvider(provider);
    m_bottomStack->setToastView(toasts);

    if (editor) {
        for (auto signal : {&Editor::isLockedChanged, &Editor::showScanSuggestionChanged, &Editor::progressVisibleChanged})
            connect(editor, signal, this, [this] { syncPieces(); });
        connect(editor, &Editor::modeChanged, this, [this] { syncPieces(); });
        connect(editor, &Editor::pageCountChanged, this, [this] { syncPieces(); });
        connect(editor, &Editor::progressChanged, this, [this] { syncPieces(); });
        connect(editor, &Editor::toastChanged, this, [this] { syncPieces(); });
    }
    // What the window opens with is simply there; only later changes move.
    m_lastState = state();
    syncPieces();
}

void CanvasRoot::syncPieces()
{
    const CanvasRootState now = state();
    const AnimatedChange change = animatedChange(m_lastState, now);
    m_lastState = now;
    const CanvasRootPieces p = canvasRootPieces(now);
    const bool reduce = reduceMotion();
    const MotionSpec motion = pieceMotion(animatedChangeMotion(change), reduce);
    const TransitionLook fade = TransitionLook::fade();
    if (p.scanSweep && !m_sweep) {
        // A new sweep for every recognition task, so the band starts above the top edge each time.
        m_sweep = new ScanSweep(reduce, this);
        PieceTransition::of(m_sweep)->enter(fade, motion);
    } else if (!p.scanSweep && m_sweep) {
        PieceTransition::of(m_sweep)->leave(fade, motion, PieceTransition::AfterLeaving::deleteWidget);
        m_sweep = nullptr;
    }
    placePageGrid(p.pageGrid, motion);
    if (m_unlock) {
        if (p.unlockView)
            PieceTransition::of(m_unlock)->enter(fade, motion);
        else
            PieceTransition::of(m_unlock)->leave(fade, motion);
    } else if (p.unlockView && !m_ownUnlock) {
        // A new card each time the document locks, with the neutral hint again.
        m_ownUnlock = new UnlockView(m_editor, this);
        m_ownUnlock->setReduceMotionProvider([this] { return reduceMotion(); });
        PieceTransition::of(m_ownUnlock)->enter(fade, motion);
    } else if (!p.unlockView && m_ownUnlock) {
        PieceTransition::of(m_ownUnlock)->leave(fade, motion, PieceTransition::AfterLeaving::deleteWidget);
        m_ownUnlock = nullptr;
    }
    if (p.topOverlay)
        PieceTransition::of(m_topStack)->enter(fade, motion);
    else
        PieceTransition::of(m_topStack)->leave(fade, motion);
    m_topStack->sync(p, motion);
    m_bottomStack->sync(p, motion);
    layoutPieces();
}

void CanvasRoot::placePageGrid(bool shown, const MotionSpec& motion)
{
    if (!m_pageGrid)
        return;
    // The grid comes in growing from just below full size about its centre, and leaves by fading.
    if (shown)
        PieceTransition::of(m_pageGrid)->enter(TransitionLook::fadeAndScale(0.98), motion);
    else
        PieceTransition::of(m_pageGrid)->leave(TransitionLook::fade(), motion);
}

CanvasRootState CanvasRoot::state() const
{
    return canvasRootStateOf(m_editor);
}

bool CanvasRoot::reduceMotion() const
{
    return m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
}

Editor* CanvasRoot::editor() const
{
    return m_editor;
}

ScanSweep* CanvasRoot::scanSweep() const
{
    return m_sweep;
}

QWidget* CanvasRoot::unlockView() const
{
    if (m_unlock)
        return m_unlock;
    return m_ownUnlock;
}

void CanvasRoot::setPageGridView(QWidget* view)
{
    m_pageGrid = view;
    if (view) {
        view->setParent(this);
        // Handed in as the window is built: it takes its place without a motion.
        view->setVisible(pieces().pageGrid);
    }
    layoutPieces();
}

void CanvasRoot::setUnlockView(QWidget* view)
{
    m_unlock = view;
    if (view) {
        view->setParent(this);
        view->setVisible(pieces().unlockView);
        delete m_ownUnlock.data();
    }
    syncPieces();
}

void CanvasRoot::setTopOverlayView(QWidget* view)
{
    m_topStack->setPaletteView(view);
    layoutPieces();
}

void CanvasRoot::setBottomOverlayView(QWidget* view)
{
    m_bottomStack->setToastView(view);
    layoutPieces();
}

void CanvasRoot::layoutPieces()
{
    // The stacks report their new size while they are being placed; one pass is enough.
    if (m_laying)
        return;
    m_laying = true;
    const QRect all = rect();
    if (m_canvas)
        m_canvas->setGeometry(all.translated(0, int(std::lround(m_offset))));
    if (m_veil) {
        m_veil->setGeometry(all);
        m_veil->raise();
    }
    // From the back: canvas, sweep, grid, unlock card, top stack, bottom stack.
    if (m_sweep) {
        m_sweep->setGeometry(all);
        m_sweep->raise();
    }
    if (m_pageGrid) {
        m_pageGrid->setGeometry(all);
        m_pageGrid->raise();
    }
    // Cards on their way out are still children here and keep covering the canvas while they fade.
    for (QObject* child : children()) {
        auto* unlock = qobject_cast<QWidget*>(child);
        if (unlock && (unlock == m_unlock || qobject_cast<UnlockView*>(unlock))) {
            unlock->setGeometry(all);
            unlock->raise();
        }
    }
    {
        m_topStack->setAvailableWidth(std::max(0, all.width() - 32));
        const QSize hint = m_topStack->sizeHint();
        const int w = std::min(hint.width(), std::max(0, all.width() - 32));
        m_topStack->setGeometry((all.width() - w) / 2, 12 - m_topStack->topInset(), w, hint.height());
        // Only the room kept for the shadows reaches past the pane.
        m_topStack->setProperty("glassInset", m_topStack->topInset());
        m_topStack->raise();
    }
    {
        m_bottomStack->setAvailableWidth(std::max(0, all.width() - 32));
        const QSize hint = m_bottomStack->sizeHint();
        const int w = std::min(hint.width(), all.width());
        m_bottomStack->setGeometry((all.width() - w) / 2, all.height() - 14 - hint.height() + m_bottomStack->bottomInset(),
                                   w, hint.height());
        m_bottomStack->setProperty("glassInset", m_bottomStack->bottomInset());
        m_bottomStack->raise();
    }
    m_laying = false;
}

QMargins CanvasRoot::coveredMargins() const
{
    // A search hit brought into view must not land under the tool palette or the page pill, nor touch
    // them: a little air beyond each surface.
    constexpr int kAir = 8;
    int top = 0, bottom = 0;
    QWidget* palette = m_topStack->paletteView();
    if (palette && m_topStack->isVisibleTo(this) && palette->isVisibleTo(this) && palette->height() > 0)
        top = palette->mapTo(this, QPoint(0, palette->height())).y() - shadowInsetOf(palette) + kAir;
    PagePill* pill = m_bottomStack->pagePill();
    if (pill && m_bottomStack->isVisibleTo(this) && pill->isVisibleTo(this))
        bottom = height() - (pill->mapTo(this, QPoint(0, 0)).y() + shadowInsetOf(pill)) + kAir;
    return QMargins(0, std::max(0, top), 0, std::max(0, bottom));
}

void CanvasRoot::startReveal()
{
    if (m_revealed)
        return;
    m_revealed = true;
    const bool reduce = m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
    const MotionSpec motion = curveMotion(overshootCurve, 0.55, reduce);
    m_offset = reduce ? 0.0 : kRevealRise;
    // Where the canvas stands while it rises (past its place, with the overshoot) is not where it rests.
    if (m_canvas)
        m_canvas->setProperty("inMotion", true);
    m_reveal.setStartValue(0.0);
    m_reveal.setEndValue(1.0);
    m_reveal.setDuration(motion.durationMs);
    m_reveal.setEasingCurve(motion.easing);
    m_reveal.start();
}

void CanvasRoot::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutPieces();
}

void CanvasRoot::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    layoutPieces();
    startReveal();
}

} // namespace vmk::chrome
