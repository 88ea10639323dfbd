#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

namespace vmk {
class Editor;
}

namespace vmk::chrome {

class PagePill;
class ProgressPill;
class ScanBanner;
struct CanvasRootPieces;
struct MotionSpec;

// Room a floating piece keeps around its visible surface for its shadow (the glass margin for glass
// surfaces, 0 for other widgets unless they say otherwise with the "glassInset" property).
int shadowInsetOf(const QWidget* piece);

// The stack at the top of the canvas: the tool palette and, under it, the scan banner while the editor
// offers one. Pieces that are absent take no room.
class TopOverlay : public QWidget {
    Q_OBJECT
public:
    explicit TopOverlay(Editor* editor, QWidget* parent = nullptr);

    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }
    void setPaletteView(QWidget* view);
    QWidget* paletteView() const { return m_palette; }
    // The widest the stack may be; a palette that can fold itself is told before it is measured.
    void setAvailableWidth(int width);
    ScanBanner* scanBanner() const;

    // Makes the pieces match the state with the motion of the change: the banner comes in from the
    // top edge and leaves the same way.
    void sync(const CanvasRootPieces& pieces, const MotionSpec& motion);
    // The visible top of the stack lies this far below the widget's top.
    int topInset() const;
    QSize sizeHint() const override;

signals:
    void contentChanged();

protected:
    bool event(QEvent* event) override;

private:
    void layoutPieces();
    bool reduceMotion() const;

    QPointer<Editor> m_editor;
    std::function<bool()> m_reduceMotion;
    QPointer<QWidget> m_palette;
    QPointer<ScanBanner> m_banner; // also while it leaves, so that a quick return turns it around
};

// The stack at the bottom of the canvas, from the top: the toast, the progress pill and the page pill.
class BottomOverlay : public QWidget {
    Q_OBJECT
public:
    explicit BottomOverlay(Editor* editor, QWidget* parent = nullptr);

    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }
    // The toast slot's view (it follows the editor's toast by itself).
    void setToastView(QWidget* view);
    QWidget* toastView() const { return m_toast; }
    // The widest the stack may be; the toast wraps its text to fit.
    void setAvailableWidth(int width);
    ProgressPill* progressPill() const;
    PagePill* pagePill() const;

    // The progress pill comes in from the bottom edge and leaves the same way; the page pill fades.
    void sync(const CanvasRootPieces& pieces, const MotionSpec& motion);
    int bottomInset() const;
    QSize sizeHint() const override;

signals:
    void contentChanged();

protected:
    bool event(QEvent* event) override;

private slots:
    void layoutPieces();

private:
    QList<QWidget*> stack() const;
    bool reduceMotion() const;

    QPointer<Editor> m_editor;
    std::function<bool()> m_reduceMotion;
    QPointer<QWidget> m_toast;
    // Also while they leave, so that a quick return turns them around.
    QPointer<ProgressPill> m_progress;
    QPointer<PagePill> m_page;
};

} // namespace vmk::chrome
