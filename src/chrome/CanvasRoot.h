#pragma once

#include <QPointer>
#include <QVariantAnimation>
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

// The root of a document window's content: the editor's canvas, with slots over it for what floats
// above the pages (the page grid, the unlock card, the palette at the top, toasts and pills at the
// bottom). Pieces are hosted here as their views exist; absent ones take no room. The canvas fades in
// and rises into place when it first comes on screen.
class CanvasRoot : public QWidget {
    Q_OBJECT
public:
    explicit CanvasRoot(Editor* editor, QWidget* parent = nullptr);

    Editor* editor() const { return m_editor; }
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
    void setUnlockView(QWidget* view);
    void setTopOverlayView(QWidget* view);
    void setBottomOverlayView(QWidget* view);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void layoutPieces();
    void startReveal();

    QPointer<Editor> m_editor;
    QWidget* m_canvas = nullptr;
    QPointer<QWidget> m_pageGrid;
    QPointer<QWidget> m_unlock;
    QPointer<QWidget> m_top;
    QPointer<QWidget> m_bottom;
    std::function<bool()> m_reduceMotion;
    bool m_revealed = false;
    double m_offset = 0;
    QVariantAnimation m_reveal;
};

} // namespace vmk::chrome
