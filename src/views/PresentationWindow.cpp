#include "views/PresentationWindow.h"

#include "platform/pdf/document/Document.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace vmk::views {

PresentationPDFView::PresentationPDFView(QWidget* parent) : pdfview::PDFView(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
}

void PresentationPDFView::hidePointerUntilMoved()
{
    m_pointerHidden = true;
    viewport()->setCursor(Qt::BlankCursor);
}

void PresentationPDFView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_PageDown:
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (canGoToNextPage())
            goToNextPage();
        break;
    case Qt::Key_Backspace:
    case Qt::Key_PageUp:
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (canGoToPreviousPage())
            goToPreviousPage();
        break;
    case Qt::Key_Home:
        goToFirstPage();
        break;
    case Qt::Key_End:
        goToLastPage();
        break;
    case Qt::Key_Escape:
        if (onExit)
            onExit();
        break;
    default:
        pdfview::PDFView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PresentationPDFView::mousePressEvent(QMouseEvent* event)
{
    // Any click turns the page; the view's own click handling (selection, links) is left out.
    if (canGoToNextPage())
        goToNextPage();
    event->accept();
}

void PresentationPDFView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void PresentationPDFView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a quick double click turns the page again.
    mousePressEvent(event);
}

void PresentationPDFView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pointerHidden) {
        m_pointerHidden = false;
        viewport()->setCursor(Qt::ArrowCursor);
    }
    event->accept();
}

Qt::CursorShape PresentationPDFView::cursorShapeAt(QPointF) const
{
    return m_pointerHidden ? Qt::BlankCursor : Qt::ArrowCursor;
}

PresentationWindow::PresentationWindow(PresentationController* controller) : m_controller(controller)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
}

void PresentationWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !m_controller)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowFullScreen) && !(windowState() & Qt::WindowFullScreen))
        m_controller->windowDidExitFullScreen();
}

void PresentationWindow::closeEvent(QCloseEvent* event)
{
    if (m_controller)
        m_controller->windowWillClose();
    QWidget::closeEvent(event);
}

PresentationController::PresentationController(pdf::DocumentPtr document, int startIndex,
                                               std::function<void(int)> onEnd, QObject* parent)
    : QObject(parent), m_onEnd(std::move(onEnd))
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen && !QGuiApplication::screens().isEmpty())
        screen = QGuiApplication::screens().first();
    const QRect frame = screen ? screen->geometry() : QRect(0, 0, 1280, 800);

    m_window = std::make_unique<PresentationWindow>(this);
    m_window->setWindowTitle(QStringLiteral("Slideshow"));
    if (screen)
        m_window->setScreen(screen);
    m_window->setGeometry(frame);

    m_pdfView = new PresentationPDFView(m_window.get());
    m_pdfView->setDisplayMode(pdfview::DisplayMode::SinglePage);
    // After the display mode, which picks its own scroll bar policy: a slideshow shows none.
    m_pdfView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pdfView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pdfView->setDisplaysPageBreaks(false);
    m_pdfView->setBackgroundColor(Qt::black);
    m_pdfView->setPageShadowsEnabled(false);
    m_pdfView->setAutoScales(true);
    m_pdfView->setDocument(document ? document : pdf::Document::createEmpty());
    QPointer<PresentationController> self(this);
    m_pdfView->onExit = [self] { if (self) self->exit(); };
    if (document && startIndex >= 0 && startIndex < document->pageCount())
        m_pdfView->goToPage(startIndex);

    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pdfView);
}

PresentationController::~PresentationController()
{
    // The window must not report back into a controller being destroyed.
    m_ended = true;
}

void PresentationController::start()
{
    if (m_ended)
        return;
    m_window->showFullScreen();
    m_window->raise();
    m_window->activateWindow();
    m_pdfView->setFocus(Qt::OtherFocusReason);
    m_pdfView->hidePointerUntilMoved();
}

void PresentationController::exit()
{
    if (m_ended)
        return;
    if (m_window->windowState() & Qt::WindowFullScreen) {
        // The end follows when the window reports that it has left full screen.
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowFullScreen);
        return;
    }
    end();
}

void PresentationController::end()
{
    if (m_ended)
        return;
    m_ended = true;
    const int last = std::max(0, m_pdfView->currentPageIndex());
    m_window->hide();
    // Taken out first: the callback may let go of this controller.
    const std::function<void(int)> onEnd = std::move(m_onEnd);
    if (onEnd)
        onEnd(last);
}

} // namespace vmk::views
