// Opening a document into a window, timed as the user waits for it: from before the file is read and
// parsed to the first page painted on the canvas (the canvas is already on screen, as in a window being
// opened). The reference, in alternating pairs in the same run: `mutool draw` of page 1 at 96 dpi, which
// also parses the file and draws one page.
//
// Usage: bench_canvas_open [file.pdf ...]   (default: a generated document of 1,000 text pages)

#include "BenchSupport.h"

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "views/PDFCanvasView.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool waitRendered(vmk::views::PDFCanvasView& view)
{
    QElapsedTimer timer;
    timer.start();
    while (!view.isFullyRendered() && timer.elapsed() < 30000) {
        view.viewport()->repaint();
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    view.viewport()->repaint();
    return view.isFullyRendered();
}

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
        return waitRendered(*canvas);
    });
    *pages = document.pdf() ? document.pdf()->pageCount() : 0;
    return cost;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QStringList files = vmk::bench::filesOrLinedDocument(argc, argv, dir, QStringLiteral("bench-open.pdf"));
    bool ok = true;
    for (const QString& path : files) {
        int pages = 0;
        const vmk::bench::Comparison c = vmk::bench::alternate(
            vmk::bench::pairsToRun(),
            [&] {
                return vmk::bench::timeProgram(QStringLiteral("mutool"), {QStringLiteral("draw"), QStringLiteral("-q"),
                                                                          QStringLiteral("-r"), QStringLiteral("96"),
                                                                          path, QStringLiteral("1")});
            },
            [&] { return openOnce(path, &pages); });
        const QByteArray name = QStringLiteral("open to first page, %1 pages").arg(pages).toUtf8();
        vmk::bench::report(name.constData(), "mutool draw page 1", c, "wall <= 1.20");
        ok = ok && c.ok();
    }
    return ok ? 0 : 1;
}
