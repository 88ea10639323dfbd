// A document window as the application shows it (sidebar of thumbnails, canvas with a selected
// annotation, inspector) while its document is saved: the window paints, resizes, scrolls and follows
// the pointer while the engine writes, nothing of it waits for the writer, and what it put off comes
// once the writing is over. The file is checked by a second engine.
#include "WindowFixture.h"

#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "editor/EditorModel.h"
#include "platform/doc/KeptOriginals.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/engine/EngineGate.h"
#include "support/SlowContent.h"
#include "support/TestFiles.h"
#include "views/PDFCanvasView.h"
#include "views/PageCell.h"
#include "views/PageOrganizerView.h"
#include "support/Wait.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <set>

using namespace vmk;
using namespace vmk::app;

namespace {

constexpr int kPages = 40;

struct App : vmk::app::test::LaunchedApp {
    App()
    {
        platform::KeptOriginals::setFolder(dir.filePath("Originals"));
        start();
    }
    ~App()
    {
        CommandRouter::shared().setKeyWindowOverride(nullptr);
        stop();
        platform::KeptOriginals::setFolder({});
    }
};

void moveTo(QWidget* widget, QPointF point)
{
    QMouseEvent move(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

} // namespace

// The sidebar's cells present now, by page index.
std::set<int> cellsShown(views::PageOrganizerView* sidebar)
{
    std::set<int> shown;
    for (int i = 0; i < kPages; ++i)
        if (sidebar->cellAt(i))
            shown.insert(i);
    return shown;
}

TEST(SavingWhileShown, TheWholeWindowGoesOnWithoutWaitingForTheWriter)
{
    if (!vmk::test::commandExists("qpdf"))
        GTEST_SKIP() << "qpdf is needed to check the file";
    App app;
    const QString path = vmk::test::writeFile(app.dir, "long.pdf", vmk::test::slowToWritePdf(kPages));
    app.controller->openPaths({path});
    app.scheduler.runDue();
    DocumentWindowController* w = app.window(0);
    CommandRouter::shared().setKeyWindowOverride(w->documentWindow());
    w->documentWindow()->resize(1100, 800);
    w->documentWindow()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w->documentWindow()));
    w->setSidebarCollapsed(false);
    w->setInspectorCollapsed(false);
    app.perform("showSidebarTab:", 0);
    auto* canvas = w->documentWindow()->findChild<views::PDFCanvasView*>();
    ASSERT_TRUE(canvas);
    auto settle = [&] {
        for (int i = 0; i < 40; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            app.scheduler.advance(0.05);
        }
    };
    Editor* editor = w->editor();
    views::PageOrganizerView* sidebar = nullptr;
    for (auto* grid : w->sidebarPane()->findChildren<views::PageOrganizerView*>())
        sidebar = grid;
    ASSERT_TRUE(sidebar);

    // Each mode's window: reading with a search under way, annotating with a note selected (its outline
    // drawn), editing, signing, and the page grid.
    for (const EditorMode mode :
         {EditorMode::read, EditorMode::annotate, EditorMode::edit, EditorMode::sign, EditorMode::pages}) {
        SCOPED_TRACE(rawValue(mode));
        const QString text = QStringLiteral("written whole %1").arg(rawValue(mode));
        const pdf::PagePtr first = editor->pdfDocument()->page(0);
        pdf::AnnotationPtr note = pdf::Annotation::create(QStringLiteral("Text"), QRectF(150, 150, 24, 24));
        note->setContents(text);
        editor->addAnnotation({{note, first}}, QStringLiteral("Add Note"));
        w->applyMode(mode);
        if (mode == EditorMode::annotate)
            editor->setSelectedAnnotation(note);
        // A search reads every page's text meanwhile, and ends while the engine writes or after.
        if (mode == EditorMode::read)
            w->searchNow(QStringLiteral("alpha"));
        settle();
        ASSERT_TRUE(w->documentWindow()->isWindowModified());
        const std::set<int> cellsBefore = cellsShown(sidebar);

        // While the engine writes: the window resizes, the canvas and the sidebar scroll to what they
        // have not shown, the pointer moves over the page, and all of it is painted at once.
        const int waitsBefore = pdf::detail::EngineGate::mainThreadWaits();
        int turnsWhileWriting = 0;
        QTimer poke;
        QObject::connect(&poke, &QTimer::timeout, [&] {
            if (!pdf::Document::isWritingUnderWay())
                return;
            ++turnsWhileWriting;
            QWidget* window = w->documentWindow();
            window->resize(window->width() + (turnsWhileWriting % 2 ? 7 : -7), window->height());
            canvas->verticalScrollBar()->setValue(canvas->verticalScrollBar()->value() + 60);
            moveTo(canvas->viewport(), QPointF(100 + turnsWhileWriting % 50, 200));
            for (QAbstractScrollArea* area : w->sidebarPane()->findChildren<QAbstractScrollArea*>()) {
                if (area->isVisible())
                    area->verticalScrollBar()->setValue(area->verticalScrollBar()->value() + 80);
            }
            window->repaint();
        });
        poke.start(2);
        app.perform("saveDocument:");
        poke.stop();
        qInfo("%d turns while writing", turnsWhileWriting);
        EXPECT_GT(turnsWhileWriting, 2);
        // Nothing on the main thread waited for the writer.
        EXPECT_EQ(pdf::detail::EngineGate::mainThreadWaits(), waitsBefore);
        EXPECT_FALSE(w->documentWindow()->isWindowModified());

        // What was put off comes: the pages and the sidebar's cells scrolled to are drawn.
        settle();
        EXPECT_TRUE(vmk::test::eventually([&] { return canvas->isFullyRendered(); }, 10000));
        if (!cellsBefore.empty())
            EXPECT_NE(cellsShown(sidebar), cellsBefore);
        EXPECT_TRUE(vmk::test::eventually([&] {
            for (int i : cellsShown(sidebar))
                if (!sidebar->cellAt(i)->thumbnail)
                    return false;
            return true;
        }, 10000));

        EXPECT_EQ(vmk::test::runCommand("qpdf", {"--check", path}).exitCode, 0);
        const QByteArray json = vmk::test::runCommand("qpdf", {"--json", path}).out;
        EXPECT_TRUE(json.contains(text.toUtf8()));
    }
    // Every page's content came through the writes: another engine reads its line and draws it.
    const QByteArray words = vmk::test::runCommand("pdftotext", {"-layout", path, "-"}).out;
    for (int page = 1; page <= kPages; ++page)
        EXPECT_TRUE(words.contains("Page " + QByteArray::number(page) + " alpha beta")) << page;
    const QString prefix = app.dir.filePath("drawn");
    ASSERT_EQ(vmk::test::runCommand("pdftoppm", {"-r", "36", "-f", "3", "-l", "3", "-gray", path, prefix}).exitCode, 0);
    const QStringList drawn = QDir(app.dir.path()).entryList({"drawn*.pgm"});
    ASSERT_EQ(drawn.size(), 1);
    const QImage image(app.dir.filePath(drawn.first()));
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20);
}
