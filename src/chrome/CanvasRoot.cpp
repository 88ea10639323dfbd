#include "chrome/CanvasRoot.h"

#include "chrome/Motion.h"

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

CanvasRoot::CanvasRoot(Editor* editor, QWidget* parent)
    : QWidget(parent), m_editor(editor)
{
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

    connect(&m_reveal, &QVariantAnimation::valueChanged, this, [this, opacity](const QVariant& v) {
        const double t = v.toDouble();
        opacity->setOpacity(std::clamp(t, 0.0, 1.0));
        const bool reduce = m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
        m_offset = reduce ? 0.0 : kRevealRise * (1.0 - t);
        layoutPieces();
    });
    connect(&m_reveal, &QVariantAnimation::finished, this, [opacity] {
        // A finished reveal leaves the canvas without an effect, so it paints at full speed.
        opacity->setEnabled(false);
    });

    if (editor) {
        for (auto signal : {&Editor::isLockedChanged, &Editor::showScanSuggestionChanged, &Editor::progressVisibleChanged})
            connect(editor, signal, this, [this] { layoutPieces(); });
        connect(editor, &Editor::modeChanged, this, [this] { layoutPieces(); });
        connect(editor, &Editor::pageCountChanged, this, [this] { layoutPieces(); });
        connect(editor, &Editor::progressChanged, this, [this] { layoutPieces(); });
        connect(editor, &Editor::toastChanged, this, [this] { layoutPieces(); });
    }
}

CanvasRootState CanvasRoot::state() const
{
    CanvasRootState s;
    if (!m_editor)
        return s;
    s.locked = m_editor->isLocked();
    s.mode = rawValue(m_editor->mode());
    s.pageCount = m_editor->pageCount();
    s.progress = m_editor->progress().has_value();
    s.progressIsOcr = s.progress && m_editor->progress()->kind == TaskProgress::Kind::ocr;
    s.progressVisible = m_editor->progressVisible();
    s.toast = m_editor->toast().has_value();
    s.showScanSuggestion = m_editor->showScanSuggestion();
    return s;
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
    if (view)
        view->setParent(this);
    layoutPieces();
}

void CanvasRoot::setTopOverlayView(QWidget* view)
{
    m_top = view;
    if (view)
        view->setParent(this);
    layoutPieces();
}

void CanvasRoot::setBottomOverlayView(QWidget* view)
{
    m_bottom = view;
    if (view)
        view->setParent(this);
    layoutPieces();
}

void CanvasRoot::layoutPieces()
{
    const QRect all = rect();
    m_canvas->setGeometry(all.translated(0, int(std::lround(m_offset))));
    const CanvasRootPieces p = pieces();
    if (m_pageGrid) {
        m_pageGrid->setVisible(p.pageGrid);
        m_pageGrid->setGeometry(all);
        m_pageGrid->raise();
    }
    if (m_unlock) {
        m_unlock->setVisible(p.unlockView);
        m_unlock->setGeometry(all);
        m_unlock->raise();
    }
    if (m_top) {
        m_top->setVisible(p.topOverlay);
        const QSize hint = m_top->sizeHint();
        const int w = std::min(hint.width(), std::max(0, all.width() - 32));
        m_top->setGeometry((all.width() - w) / 2, 12, w, hint.height());
        m_top->raise();
    }
    if (m_bottom) {
        const QSize hint = m_bottom->sizeHint();
        const int w = std::min(hint.width(), all.width());
        m_bottom->setGeometry((all.width() - w) / 2, all.height() - 14 - hint.height(), w, hint.height());
        m_bottom->raise();
    }
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
