#include "chrome/CanvasOverlays.h"

#include "chrome/CanvasRoot.h"
#include "chrome/Glass.h"
#include "chrome/LabelFitting.h"
#include "chrome/Transition.h"
#include "chrome/PagePill.h"
#include "chrome/ProgressPill.h"
#include "chrome/ScanBanner.h"
#include "chrome/WidthFitting.h"

#include "editor/Editor.h"
#include "platform/services/ReduceMotion.h"

#include <QEvent>

namespace vmk::chrome {

namespace {

constexpr int kStackSpacing = 10;

// A piece's size: its hint, kept within its own minimum and maximum (fixed-size pieces have no hint).
QSize pieceSize(const QWidget* piece)
{
    return piece->sizeHint().expandedTo(piece->minimumSize()).boundedTo(piece->maximumSize());
}

// A piece that is on screen and not on its way out.
template <typename Piece>
Piece* present(const QPointer<Piece>& piece)
{
    if (!piece)
        return nullptr;
    const PieceTransition* transition = PieceTransition::find(piece);
    return transition && transition->isLeaving() ? nullptr : piece.data();
}

// Lays the pieces out top to bottom, their visible surfaces kStackSpacing apart, centred in width.
// Answers the height used.
int stackPieces(const QList<QWidget*>& pieces, int width)
{
    int y = 0;
    const QWidget* previous = nullptr;
    for (QWidget* piece : pieces) {
        const QSize hint = pieceSize(piece);
        const int w = std::min(hint.width(), width);
        if (previous)
            y += kStackSpacing - shadowInsetOf(previous) - shadowInsetOf(piece);
        piece->setGeometry((width - w) / 2, y, w, hint.height());
        y += hint.height();
        previous = piece;
    }
    return y;
}

QSize stackSize(const QList<QWidget*>& pieces)
{
    int w = 0, h = 0;
    const QWidget* previous = nullptr;
    for (const QWidget* piece : pieces) {
        const QSize hint = pieceSize(piece);
        w = std::max(w, hint.width());
        if (previous)
            h += kStackSpacing - shadowInsetOf(previous) - shadowInsetOf(piece);
        h += hint.height();
        previous = piece;
    }
    return {w, h};
}

bool takesRoom(const QWidget* piece)
{
    return piece && !piece->isHidden() && pieceSize(piece).height() > 0
           && !piece->testAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace

int shadowInsetOf(const QWidget* piece)
{
    if (!piece)
        return 0;
    const QVariant inset = piece->property("glassInset");
    if (inset.isValid())
        return inset.toInt();
    return piece->inherits("vmk::chrome::GlassSurface") ? glassShadowMargin() : 0;
}

// --- Top ---------------------------------------------------------------------------------------------

TopOverlay::TopOverlay(Editor* editor, QWidget* parent) : QWidget(parent), m_editor(editor)
{
    setObjectName(QStringLiteral("TopOverlay"));
    setAttribute(Qt::WA_TranslucentBackground);
}

bool TopOverlay::reduceMotion() const
{
    return m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
}

ScanBanner* TopOverlay::scanBanner() const
{
    return present(m_banner);
}

void TopOverlay::setPaletteView(QWidget* view)
{
    if (m_palette == view)
        return;
    if (m_palette)
        m_palette->deleteLater();
    m_palette = view;
    if (view) {
        view->setParent(this);
        view->show();
    }
    layoutPieces();
}

void TopOverlay::setAvailableWidth(int width)
{
    if (auto* fitting = dynamic_cast<WidthFitting*>(m_palette.data()))
        fitting->fitToWidth(width);
    if (m_banner && width > 0)
        wrapLabelsToFit(m_banner, [banner = m_banner.data(), width] { return banner->sizeHint().width() - width; });
}

void TopOverlay::sync(const CanvasRootPieces& pieces, const MotionSpec& motion)
{
    // From the top edge: the banner starts above the window, as far up as its bottom lies below the top.
    const auto edge = [this] {
        const int palette = takesRoom(m_palette) ? pieceSize(m_palette).height() : 0;
        return TransitionLook::fromEdge(Qt::TopEdge, palette + pieceSize(m_banner).height());
    };
    if (pieces.scanBanner) {
        if (!m_banner)
            m_banner = new ScanBanner(m_editor, this);
        PieceTransition::of(m_banner)->enter(edge(), motion);
    } else if (m_banner) {
        PieceTransition::of(m_banner)->leave(edge(), motion, PieceTransition::AfterLeaving::deleteWidget);
    }
    layoutPieces();
}

int TopOverlay::topInset() const
{
    for (QWidget* piece : {m_palette.data(), static_cast<QWidget*>(m_banner.data())})
        if (takesRoom(piece))
            return shadowInsetOf(piece);
    return 0;
}

QSize TopOverlay::sizeHint() const
{
    QList<QWidget*> pieces;
    for (QWidget* piece : {m_palette.data(), static_cast<QWidget*>(m_banner.data())})
        if (takesRoom(piece))
            pieces << piece;
    return stackSize(pieces);
}

void TopOverlay::layoutPieces()
{
    QList<QWidget*> pieces;
    for (QWidget* piece : {m_palette.data(), static_cast<QWidget*>(m_banner.data())})
        if (takesRoom(piece))
            pieces << piece;
    stackPieces(pieces, width());
    updateGeometry();
    emit contentChanged();
}

bool TopOverlay::event(QEvent* event)
{
    const bool result = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize)
        layoutPieces();
    return result;
}

// --- Bottom ------------------------------------------------------------------------------------------

BottomOverlay::BottomOverlay(Editor* editor, QWidget* parent) : QWidget(parent), m_editor(editor)
{
    setObjectName(QStringLiteral("BottomOverlay"));
    setAttribute(Qt::WA_TranslucentBackground);
    if (editor)
        connect(editor, &Editor::progressChanged, this, [this] {
            if (m_progress && m_editor && m_editor->progress())
                m_progress->setProgress(*m_editor->progress());
        });
}

bool BottomOverlay::reduceMotion() const
{
    return m_reduceMotion ? m_reduceMotion() : platform::reduceMotionEnabled();
}

ProgressPill* BottomOverlay::progressPill() const
{
    return present(m_progress);
}

PagePill* BottomOverlay::pagePill() const
{
    return present(m_page);
}

void BottomOverlay::setAvailableWidth(int width)
{
    if (auto* fitting = dynamic_cast<WidthFitting*>(m_toast.data()))
        fitting->fitToWidth(width);
}

void BottomOverlay::setToastView(QWidget* view)
{
    if (m_toast == view)
        return;
    if (m_toast)
        m_toast->deleteLater();
    m_toast = view;
    if (view) {
        view->setParent(this);
        view->show();
        // A toast view that says when its content changed gets its room at once.
        if (view->metaObject()->indexOfSignal("contentChanged()") >= 0)
            connect(view, SIGNAL(contentChanged()), this, SLOT(layoutPieces()));
    }
    layoutPieces();
}

void BottomOverlay::sync(const CanvasRootPieces& pieces, const MotionSpec& motion)
{
    using After = PieceTransition::AfterLeaving;
    // From the bottom edge: the pill starts below the window, as far down as its top lies above it.
    const auto edge = [this] {
        const int below = takesRoom(present(m_page)) ? pieceSize(m_page).height() : 0;
        return TransitionLook::fromEdge(Qt::BottomEdge, pieceSize(m_progress).height() + below);
    };
    if (pieces.progressPill && m_editor && m_editor->progress()) {
        if (!m_progress) {
            m_progress = new ProgressPill(*m_editor->progress(), this);
            m_progress->setReduceMotionProvider(m_reduceMotion);
        } else {
            m_progress->setProgress(*m_editor->progress());
        }
        PieceTransition::of(m_progress)->enter(edge(), motion);
    } else if (!pieces.progressPill && m_progress) {
        PieceTransition::of(m_progress)->leave(edge(), motion, After::deleteWidget);
    }
    if (pieces.pagePill) {
        if (!m_page) {
            m_page = new PagePill(m_editor, this);
            m_page->setReduceMotionProvider(m_reduceMotion);
        }
        PieceTransition::of(m_page)->enter(TransitionLook::fade(), motion);
    } else if (m_page) {
        PieceTransition::of(m_page)->leave(TransitionLook::fade(), motion, After::deleteWidget);
    }
    layoutPieces();
}

QList<QWidget*> BottomOverlay::stack() const
{
    QList<QWidget*> pieces;
    for (QWidget* piece : {m_toast.data(), static_cast<QWidget*>(m_progress.data()), static_cast<QWidget*>(m_page.data())})
        if (takesRoom(piece))
            pieces << piece;
    return pieces;
}

int BottomOverlay::bottomInset() const
{
    const QList<QWidget*> pieces = stack();
    return pieces.isEmpty() ? 0 : shadowInsetOf(pieces.last());
}

QSize BottomOverlay::sizeHint() const
{
    return stackSize(stack());
}

void BottomOverlay::layoutPieces()
{
    // A toast slot with nothing in it keeps no room of its own, not even the size of its last toast.
    if (m_toast && pieceSize(m_toast).isEmpty())
        m_toast->setGeometry(QRect());
    stackPieces(stack(), width());
    updateGeometry();
    emit contentChanged();
}

bool BottomOverlay::event(QEvent* event)
{
    const bool result = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize)
        layoutPieces();
    return result;
}

} // namespace vmk::chrome
