#pragma once

#include "chrome/Glass.h"
#include "chrome/Motion.h"
#include "chrome/WidthFitting.h"
#include "editor/Toast.h"

#include <QPointer>

#include <functional>

class QLabel;

namespace vmk {
class Editor;
}

namespace vmk::chrome {

class FeedbackMark;

// One toast on a glass capsule: the mark of its kind (the symbol for info, the success mark, the merge
// or split mark), then the message as given. It draws the toast it was made with and changes nothing.
class ToastView : public GlassSurface {
    Q_OBJECT
public:
    ToastView(const Toast& toast, bool reduceMotion, QWidget* parent = nullptr);

    const Toast& toast() const { return m_toast; }
    // The mark widget: a label with the symbol for info, else the animated mark.
    QWidget* markWidget() const { return m_mark; }
    QLabel* textLabel() const { return m_text; }
    // Lays the text out for a toast at most `width` wide (the surface's shadow room included): one
    // line when it fits, else wrapped inside the capsule. 0 means only the toast's own limit.
    void fitWidth(int width);

private:
    Toast m_toast;
    QWidget* m_mark = nullptr;
    QLabel* m_text = nullptr;
};

// The toast slot of the canvas's bottom overlay. It follows the Editor's toast: a new toast (a new id)
// gets a new view that rises in from the bottom edge while it grows from 0.9 and fades in, and a cleared
// one leaves the same way; a newer toast replaces the shown one at once. The Editor decides how long a
// toast stays.
class ToastOverlay : public QWidget, public WidthFitting {
    Q_OBJECT
public:
    void fitToWidth(int width) override;
    explicit ToastOverlay(Editor* editor, QWidget* parent = nullptr);

    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }

    // The toast on screen (not counting one on its way out), and its view.
    ToastView* currentView() const { return m_current; }
    // The view still moving out, if any.
    ToastView* leavingView() const { return m_leaving; }
    // The motions of the last entrance and exit (no motion under reduced motion).
    const MotionSpec& entrance() const { return m_enter; }
    const MotionSpec& exit() const { return m_exit; }

    QSize sizeHint() const override;

signals:
    void contentChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void follow();
    void layoutViews();
    bool reduceMotion() const;
    void dropLeaving();
    void leavingGone();

    QPointer<Editor> m_editor;
    std::function<bool()> m_reduceMotion;
    QPointer<ToastView> m_current;
    QPointer<ToastView> m_leaving;
    MotionSpec m_enter;
    MotionSpec m_exit;
    int m_availableWidth = 0;
};

} // namespace vmk::chrome
