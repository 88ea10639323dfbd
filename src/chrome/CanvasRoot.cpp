#include "chrome/CanvasRoot.h"

#include "chrome/CanvasOverlays.h"
#include "chrome/Motion.h"
#include "chrome/OverlayMotion.h"
#include "chrome/ScanSweep.h"
#include "chrome/ToastView.h"
#include "chrome/UnlockView.h"

#include "editor/Editor.h"
#include "platform/services/ReduceMotion.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QResizeEvent>

namespace vmk::chrome {

namespace {
constexpr double kRevealRise = 36.0;
}

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
    auto* opacity = new QGraphicsOpacityEffect(m_canvas);
    opacity->setOpacity(0.0);
    m_canvas->setGraphicsEffect(opacity);

    // A window closed while its canvas still rises takes the canvas and its effect away first.
    connect(&m_reveal, &QVariantAnimation::valueChanged, this, [this, opacity = QPointer(opacity)](const QVariant& v) {
        const double t = v.toDouble();
        if (opacity)
            opacity->setOpacity(std::clamp(t, 0.0, 1.0));
        const bool reduce = m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
        m_offset = reduce ? 0.0 : kRevealRise * (1.0 - t);
        layoutPieces();
    });
    connect(&m_reveal, &QVariantAnimation::finished, this, [opacity = QPointer(opacity)] {
        // A finished reveal leaves the canvas without an effect, so it paints at full speed.
        if (opacity)
            opacity->setEnabled(false);
    });

    m_topStack = new TopOverlay(editor, this);
    m_bottomStack = new BottomOverlay(editor, this);
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
    syncPieces();
}

void CanvasRoot::syncPieces()
{
    const CanvasRootPieces p = pieces();
    const bool reduce = reduceMotion();
    const MotionSpec fade = curveMotion(glideCurve, 0.45, reduce);
    if (p.scanSweep && !m_sweep) {
        // A new sweep for every recognition task, so the band starts above the top edge each time.
        m_sweep = new ScanSweep(reduce, this);
        m_sweep->show();
        fadeInPiece(m_sweep, fade);
    } else if (!p.scanSweep && m_sweep) {
        fadeOutAndDelete(m_sweep, fade);
        m_sweep = nullptr;
    }
    if (!m_unlock) {
        if (p.unlockView && !m_ownUnlock) {
            m_ownUnlock = new UnlockView(m_editor, this);
            m_ownUnlock->setReduceMotionProvider([this] { return reduceMotion(); });
            m_ownUnlock->show();
            fadeInPiece(m_ownUnlock, fade);
        } else if (!p.unlockView && m_ownUnlock) {
            fadeOutAndDelete(m_ownUnlock, fade);
            m_ownUnlock = nullptr;
        }
    }
    if (p.topOverlay && m_topStack->isHidden())
        fadeInPiece(m_topStack, fade);
    m_topStack->setVisible(p.topOverlay);
    m_topStack->sync(p);
    m_bottomStack->sync(p);
    layoutPieces();
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
    if (view)
        view->setParent(this);
    layoutPieces();
}

void CanvasRoot::setUnlockView(QWidget* view)
{
    m_unlock = view;
    if (view) {
        view->setParent(this);
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
    const CanvasRootPieces p = pieces();
    // From the back: canvas, sweep, grid, unlock card, top stack, bottom stack.
    if (m_sweep) {
        m_sweep->setGeometry(all);
        m_sweep->raise();
    }
    if (m_pageGrid) {
        m_pageGrid->setVisible(p.pageGrid);
        m_pageGrid->setGeometry(all);
        m_pageGrid->raise();
    }
    for (QWidget* unlock : {m_unlock.data(), static_cast<QWidget*>(m_ownUnlock.data())}) {
        if (!unlock)
            continue;
        if (unlock == m_unlock)
            unlock->setVisible(p.unlockView);
        unlock->setGeometry(all);
        unlock->raise();
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

void CanvasRoot::startReveal()
{
    if (m_revealed)
        return;
    m_revealed = true;
    const bool reduce = m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
    const MotionSpec motion = curveMotion(overshootCurve, 0.55, reduce);
    m_offset = reduce ? 0.0 : kRevealRise;
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
