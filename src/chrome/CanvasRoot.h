#pragma once

#include "chrome/Motion.h"

#include <QPointer>
#include <QVariantAnimation>
#include <QMargins>
#include <QWidget>

#include <functional>

namespace vmk {
class Editor;
}

namespace vmk::chrome {

// Which floating pieces the content root shows for the editor's state.
struct CanvasRootState {
    bool locked = false;
    int mode = 0;          // editor mode raw value; 4 is Pages
    int pageCount = 0;
    bool progress = false; // a long task has progress
    bool progressIsOcr = false;
    bool progressVisible = false;
    bool toast = false;
    bool showScanSuggestion = false;
};

struct CanvasRootPieces {
    bool scanSweep = false;
    bool pageGrid = false;
    bool unlockView = false;
    bool topOverlay = false;  // the tool palette, and the scan banner inside it when scanBanner
    bool scanBanner = false;
    bool toast = false;
    bool progressPill = false;
    bool pagePill = false;
};

CanvasRootPieces canvasRootPieces(const CanvasRootState& state);

// The state value whose change carries the animation of an update, the innermost one when several
// changed at once: the mode, then the lock, then the progress pill's visibility, then the scan offer.
// A task that ends hides its pill in the same update, so a progress that goes away counts as the pill's.
enum class AnimatedChange { none, mode, lock, progressVisibility, scanSuggestion };
AnimatedChange animatedChange(const CanvasRootState& before, const CanvasRootState& after);
// The motion of that change (the mode's spring, the glide of the others); none moves nothing.
MotionSpec animatedChangeMotion(AnimatedChange change);
// The state as the editor publishes it now (all false without an editor).
CanvasRootState canvasRootStateOf(const Editor* editor);

class BottomOverlay;
class RevealVeil;
class ScanSweep;
class TopOverlay;
class UnlockView;

// The root of a document window's content: the editor's canvas and, over it from the back, the scan
// sweep, the page grid, the unlock card, the top stack (tool palette, scan banner) and the bottom stack
// (toast, progress pill, page pill). The root makes the pieces of its own subsystem as the editor's
// state calls for them and removes them when it no longer does (absent pieces take no room); views of
// other subsystems (the grid, the palette, the toast) are handed in through the slots. The canvas
// fades in and rises into place when it first comes on screen.
class CanvasRoot : public QWidget {
    Q_OBJECT
public:
    explicit CanvasRoot(Editor* editor, QWidget* parent = nullptr);

    Editor* editor() const;
    // The editor's canvas widget as hosted here, or the placeholder when the canvas has none.
    QWidget* canvasHost() const { return m_canvas; }
    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }

    bool revealed() const { return m_revealed; }
    const QVariantAnimation& revealAnimation() const { return m_reveal; }
    // Vertical offset of the canvas during the reveal (36 points low at the start).
    double revealOffset() const { return m_offset; }

    CanvasRootState state() const;
    CanvasRootPieces pieces() const { return canvasRootPieces(state()); }

    // Slots for the floating pieces; the root owns what is put there and shows it by the state's rules.
    void setPageGridView(QWidget* view);
    // Replaces the root's own unlock card.
    void setUnlockView(QWidget* view);
    // The tool palette, at the top of the top stack.
    void setTopOverlayView(QWidget* view);
    // The toast slot at the top of the bottom stack.
    void setBottomOverlayView(QWidget* view);
    void setToastView(QWidget* view) { setBottomOverlayView(view); }

    // The pieces on screen now (null while absent).
    ScanSweep* scanSweep() const;
    QWidget* unlockView() const;
    TopOverlay* topOverlay() const { return m_topStack; }
    BottomOverlay* bottomOverlay() const { return m_bottomStack; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void layoutPieces();
    void syncPieces();
    void placePageGrid(bool shown, const MotionSpec& motion);
    void startReveal();
    // Where the floating bars cover the canvas now, from its edges.
    QMargins coveredMargins() const;
    bool reduceMotion() const;

    QPointer<Editor> m_editor;
    QPointer<QWidget> m_canvas; // the editor's view: it may go first when a window closes
    QPointer<QWidget> m_pageGrid;
    QPointer<QWidget> m_unlock;  // handed in; replaces the own card
    QPointer<UnlockView> m_ownUnlock;
    QPointer<ScanSweep> m_sweep;
    QPointer<RevealVeil> m_veil; // over the canvas while it fades in
    TopOverlay* m_topStack = nullptr;
    BottomOverlay* m_bottomStack = nullptr;
    bool m_laying = false;
    CanvasRootState m_lastState;
    std::function<bool()> m_reduceMotion;
    bool m_revealed = false;
    double m_offset = 0;
    QVariantAnimation m_reveal;
};

} // namespace vmk::chrome
