#pragma once

#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdfview/PDFView.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace vmk::views {

class PresentationController;

// The page view of a presentation: one page at a time on black, fitted to the screen. Keys and clicks
// step through the pages; a click never selects text or follows a link. The pointer hides until the
// mouse moves.
class PresentationPDFView : public pdfview::PDFView {
    Q_OBJECT
public:
    explicit PresentationPDFView(QWidget* parent = nullptr);

    // Called when the user asks to leave (Escape).
    std::function<void()> onExit;
    bool pointerHidden() const { return m_pointerHidden; }
    void hidePointerUntilMoved();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    Qt::CursorShape cursorShapeAt(QPointF viewPoint) const override;

private:
    bool m_pointerHidden = false;
};

// The black top-level window of a presentation; reports leaving full screen and closing.
class PresentationWindow : public QWidget {
    Q_OBJECT
public:
    explicit PresentationWindow(PresentationController* controller);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<PresentationController> m_controller;
};

// A running slideshow of a document on a full-screen window of its own. The document window starts it
// at its current page, keeps it while it runs and ends it when it closes; onEnd receives the index of
// the page shown last, exactly once. The end may be reported from inside the window's own events, so
// onEnd lets go of the controller with deleteLater, never by deleting it there and then.
class PresentationController : public QObject {
    Q_OBJECT
public:
    // The window is made on the main screen, sized to it, and not shown: start() shows it.
    PresentationController(pdf::DocumentPtr document, int startIndex, std::function<void(int)> onEnd,
                           QObject* parent = nullptr);
    ~PresentationController() override;

    PresentationWindow* window() const { return m_window.get(); }
    PresentationPDFView* pdfView() const { return m_pdfView; }
    bool ended() const { return m_ended; }

    // Brings the window to the front, gives the page view the keyboard, goes full screen and hides the
    // pointer until the mouse moves.
    void start();
    // The user's request to leave: leaves full screen first (the end follows when the window reports
    // it has left), or ends at once when not in full screen.
    void exit();
    // Ends the presentation (at most once): hides the window and calls onEnd with the page shown last.
    void end();

    // The window's reports.
    void windowDidExitFullScreen() { end(); }
    void windowWillClose() { end(); }

private:
    std::unique_ptr<PresentationWindow> m_window;
    PresentationPDFView* m_pdfView = nullptr;
    std::function<void(int)> m_onEnd;
    bool m_ended = false;
};

} // namespace vmk::views
