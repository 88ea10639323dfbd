// Opening a document into a window, timed as the user waits for it: from before the file is read and
// parsed to the first page painted on the canvas (the canvas is already on screen, as in a window being
// opened). The reference, in alternating pairs in the same run: `mutool draw` of page 1 at 96 dpi, which
// also parses the file and draws one page.
//
// Usage: bench_canvas_open [file.pdf ...]   (default: a generated document of 1,000 text pages)

#include "platform/services/ThreadStarter.h"
#include "BenchSupport.h"
#include "Settle.h"

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/HeapTrim.h"
#include "views/PDFCanvasView.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>

namespace {

// As a window does: the view paints when it asks to (the document shown, each tile arriving), and the
// clock stops at the end of the first paint that shows every tile on screen. Repainting in a loop
// meanwhile, as this did, took the window's thread from the work it waits for and counted a cost no
// window pays.
class FirstFullPaint : public QObject {
public:
    explicit FirstFullPaint(vmk::views::PDFCanvasView& view) : m_view(view) { view.viewport()->installEventFilter(this); }
    bool wait()
    {
        QTimer::singleShot(30000, &m_loop, &QEventLoop::quit);
        m_loop.exec();
        return m_shown;
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        // What is there when the paint begins is what it shows; the loop ends once the paint is over.
        if (event->type() == QEvent::Paint && !m_shown && m_view.isFullyRendered()) {
            m_shown = true;
            m_loop.quit();
        }
        return false;
    }

private:
    vmk::views::PDFCanvasView& m_view;
    QEventLoop m_loop;
    bool m_shown = false;
};

// One open: the window's canvas exists first; the clock runs from reading the file to its first page shown.
vmk::bench::Cost openOnce(const QString& path, int* pages)
{
    vmk::core::VMKDocument document;
    document.setPdf(vmk::pdf::Document::createEmpty());
    vmk::Editor editor(&document, [] { return std::make_unique<vmk::views::PDFCanvasView>(); });
    auto* canvas = static_cast<vmk::views::PDFCanvasView*>(editor.pdfView());
    canvas->resize(900, 1000);
    canvas->show();
    QApplication::processEvents();
    const vmk::bench::Cost cost = vmk::bench::timeHere([&] {
        if (document.openFile(path))
            return false; // an error
        editor.attachDocument(false);
        // Only now: while the file is read, the window paints the empty document it had before.
        FirstFullPaint shown(*canvas);
        return shown.wait();
    });
    *pages = document.pdf() ? document.pdf()->pageCount() : 0;
    return cost;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    vmk::platform::prepareThreadStarter(); // as the application does at launch
    QTemporaryDir dir;
    const QStringList files = vmk::bench::filesOrLinedDocument(argc, argv, dir, QStringLiteral("bench-open.pdf"));
    bool ok = true;
    for (const QString& path : files) {
        int pages = 0;
        // A pair takes a tenth of a second: nine of them cost nothing and outlast a passing busy moment.
        const vmk::bench::Comparison c = vmk::bench::alternate(
            vmk::bench::pairsToRun(9),
            [&] {
                return vmk::bench::timeProgram(QStringLiteral("mutool"), {QStringLiteral("draw"), QStringLiteral("-q"),
                                                                          QStringLiteral("-r"), QStringLiteral("96"),
                                                                          path, QStringLiteral("1")});
            },
            [&] {
                const vmk::bench::Cost cost = openOnce(path, &pages);
                vmk::bench::settleReleases();
                return cost;
            });
        const QByteArray name = QStringLiteral("open to first page, %1 pages").arg(pages).toUtf8();
        vmk::bench::report(name.constData(), "mutool draw page 1", c, "wall <= 1.20");
        ok = ok && c.ok();
    }
    return ok ? 0 : 1;
}
