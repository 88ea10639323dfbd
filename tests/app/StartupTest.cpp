#include "WindowFixture.h"

#include "app/AppDelegate.h"
#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"
#include "app/LaunchTiming.h"
#include "app/Presenters.h"
#include "app/WelcomeView.h"

#include "chrome/ModeSwitcher.h"
#include "core/pdfium/PDFEditSession.h"
#include "core/pdfium/PDFiumError.h"
#include "platform/services/Logger.h"
#include "platform/services/NotificationCenter.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"
#include "support/TestFiles.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QWindow>
#include <QSplitter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;

namespace {

QString makePdf(const QTemporaryDir& dir, const QString& name, int pages)
{
    return vmk::app::test::makeTextPdf(dir.filePath(name), pages, QStringLiteral("Page %1"));
}

struct RecordingAlerts : AlertPresenter {
    QList<platform::DocumentError> shown;
    void presentError(const platform::DocumentError& error, QWidget*) override { shown << error; }
};

struct ScriptedPanel : OpenPanel {
    std::optional<QStringList> answer;
    int asked = 0;
    std::optional<QStringList> choosePdfFiles(QWidget*) override
    {
        ++asked;
        return answer;
    }
};

// One launch of the application, isolated: its own defaults, scheduler, alerts and open panel.
struct Launch : vmk::app::test::LaunchedApp {
    RecordingAlerts alerts;
    ScriptedPanel panel;
    platform::LogCapture log;

    explicit Launch(const QStringList& switches = {})
        : LaunchedApp(switches, 250.0)
    {
        setAlertPresenter(&alerts);
        setOpenPanel(&panel);
        start();
    }
    ~Launch()
    {
        stop();
        setAlertPresenter(nullptr);
        setOpenPanel(nullptr);
    }
    QStringList launchLines() const { return log.linesWithPrefix("perf: launch-to-first-window"); }
    // Due work, the window system's expose of the new window (its first frame), then what waited for it.
    void firstFrame()
    {
        scheduler.runDue();
        QCoreApplication::processEvents();
        scheduler.runDue();
    }
};

} // namespace

TEST(Startup, NoFileShowsOnlyTheWelcomeWindow)
{
    Launch app;
    app.delegate->launch({});
    app.scheduler.runDue();
    EXPECT_TRUE(app.controller->documents().empty());
    ASSERT_TRUE(app.delegate->welcomeWindow());
    EXPECT_TRUE(app.delegate->isWelcomeWindowVisible());
    EXPECT_EQ(app.launchLines(), QStringList{"perf: launch-to-first-window ms=250.0 window=welcome"});

    // Closing it by hand and asking again brings back the same window; no second launch line.
    QWidget* first = app.delegate->welcomeWindow();
    first->close();
    app.delegate->handleReopen(false);
    app.scheduler.runDue();
    EXPECT_EQ(app.delegate->welcomeWindow(), first);
    EXPECT_EQ(app.launchLines().size(), 1);
}

TEST(Startup, AFileShowsItsWindowAndNoWelcome)
{
    Launch app;
    const QString pdf = makePdf(app.dir, "ten.pdf", 10);
    app.delegate->launch({pdf});
    app.scheduler.runDue();
    ASSERT_EQ(app.controller->documents().size(), 1u);
    EXPECT_FALSE(app.delegate->welcomeWindow());
    EXPECT_TRUE(app.window()->documentWindow()->isVisible());
    EXPECT_EQ(app.launchLines(), QStringList{"perf: launch-to-first-window ms=250.0 window=document"});
    EXPECT_EQ(app.controller->recentDocumentPaths().value(0), QFileInfo(pdf).canonicalFilePath());

    // A welcome window shown later logs nothing, and goes once a document opens again.
    app.delegate->showWelcomeWindow();
    app.scheduler.runDue();
    EXPECT_EQ(app.launchLines().size(), 1);
    app.controller->openPaths({makePdf(app.dir, "other.pdf", 1)});
    EXPECT_FALSE(app.delegate->welcomeWindow());
}

TEST(Startup, FailedOpensGoToTheWelcomeWindowOrOneAlert)
{
    Launch app;
    const QString empty = vmk::test::writeFile(app.dir, "empty.pdf", {});
    const QString text = vmk::test::writeFile(app.dir, "notes.txt", "just some words\n");
    const QString damaged = vmk::test::writeFile(app.dir, "broken.pdf", "%PDF-1.7\n1 0 obj << /Type /Catalog >>\ngarbage");
    app.delegate->launch({});
    app.scheduler.runDue();
    WelcomeView* welcome = app.delegate->welcomeView();
    ASSERT_TRUE(welcome);

    QList<QVariantMap> posted;
    platform::NotificationCenter::defaultCenter().addObserver(
        platform::kOpenFailedNotification, nullptr, [&](const platform::Notification& n) { posted << n.userInfo; }, welcome);
    for (const QString& path : {empty, text, damaged}) {
        app.controller->openPaths({path});
        ASSERT_TRUE(welcome->model().failure()) << path.toStdString();
        EXPECT_EQ(welcome->model().failure()->name, QFileInfo(path).fileName());
        EXPECT_FALSE(welcome->model().failure()->message.isEmpty());
    }
    EXPECT_EQ(posted.size(), 3);
    EXPECT_TRUE(app.alerts.shown.isEmpty());
    EXPECT_TRUE(app.controller->documents().empty());

    // A cancelled open panel says nothing.
    app.panel.answer.reset();
    app.controller->runOpenPanel(nullptr);
    EXPECT_EQ(app.panel.asked, 1);
    EXPECT_EQ(posted.size(), 3);
    EXPECT_TRUE(app.alerts.shown.isEmpty());

    // With the welcome window gone, each failure is one alert.
    app.delegate->welcomeWindow()->hide();
    app.controller->openPaths({text});
    ASSERT_EQ(app.alerts.shown.size(), 1);
    EXPECT_EQ(app.alerts.shown[0].code, platform::DocumentError::FileReadCorruptFile);
    EXPECT_EQ(posted.size(), 3);

    // Shown again, the welcome window (of one size) still says what it last failed to open.
    app.delegate->showWelcomeWindow();
    ASSERT_TRUE(app.delegate->welcomeView());
    ASSERT_TRUE(app.delegate->welcomeView()->model().failure());
    EXPECT_EQ(app.delegate->welcomeView()->model().failure()->name, QFileInfo(damaged).fileName());
    EXPECT_EQ(app.delegate->welcomeWindow()->minimumSize(), app.delegate->welcomeWindow()->maximumSize());
}

TEST(Startup, FailedFilesAtLaunchShowInTheWelcomeWindow)
{
    Launch app;
    const QString text = vmk::test::writeFile(app.dir, "notes.txt", "hello");
    app.delegate->launch({text});
    app.scheduler.runDue();
    ASSERT_TRUE(app.delegate->welcomeView());
    EXPECT_TRUE(app.delegate->welcomeView()->model().failure());
    EXPECT_TRUE(app.alerts.shown.isEmpty());
    EXPECT_EQ(app.launchLines().size(), 1);
}

TEST(Startup, FilesHandedOverThatFailBesideOneThatOpensAreEachOneAlert)
{
    Launch app;
    app.delegate->launch({});
    app.scheduler.runDue();
    ASSERT_TRUE(app.delegate->isWelcomeWindowVisible());
    const QString text = vmk::test::writeFile(app.dir, "notes.txt", "hello");
    const QString pdf = makePdf(app.dir, "one.pdf", 1);
    // The welcome window closes as the PDF opens: the failures must not have gone to it.
    EXPECT_EQ(app.delegate->openHandedOver({"/dev/zero", text, pdf}), QStringList({pdf}));
    app.scheduler.runDue();
    QCoreApplication::processEvents();
    EXPECT_FALSE(app.delegate->welcomeWindow());
    QStringList shown;
    for (const platform::DocumentError& error : app.alerts.shown)
        shown << error.message;
    EXPECT_EQ(shown, QStringList({"“zero” isn’t a regular file.", "“notes.txt” isn’t a PDF."}));
}

TEST(DocumentWindow, SplitSubtitleAndFrame)
{
    QRect savedFrame;
    QTemporaryDir files;
    const QString pdf = makePdf(files, "ten.pdf", 10);
    const QString single = makePdf(files, "one.pdf", 1);
    {
        Launch app({"-VMKInitialPage", "3"});
        app.delegate->launch({pdf});
        app.firstFrame();
        DocumentWindowController* w = app.window();
        EXPECT_EQ(w->documentWindow()->subtitle(), "Page 3 of 10");
        EXPECT_EQ(w->documentWindow()->windowTitle(), "ten.pdf[*] — Page 3 of 10");

        QSplitter* split = w->split();
        ASSERT_EQ(split->count(), 3);
        EXPECT_EQ(split->widget(0)->minimumWidth(), 180);
        EXPECT_EQ(split->widget(0)->maximumWidth(), 340);
        EXPECT_EQ(split->widget(1)->minimumWidth(), 360);
        EXPECT_EQ(split->widget(2)->minimumWidth(), 250);
        EXPECT_EQ(split->widget(2)->maximumWidth(), 340);
        EXPECT_TRUE(w->isInspectorCollapsed());
        EXPECT_FALSE(w->inspectorVisibility().visible());
        EXPECT_EQ(w->documentWindow()->minimumSize(), QSize(640, 420));

        w->documentWindow()->setGeometry(120, 90, 1000, 700);
        savedFrame = w->documentWindow()->geometry();

        app.controller->openPaths({single});
        app.scheduler.runDue();
        EXPECT_EQ(app.window(1)->documentWindow()->subtitle(), "1 page");

        // The frame and the panes come back on the next launch.
        w->setInspectorCollapsed(false);
        app.scheduler.runDue();
        EXPECT_TRUE(w->inspectorVisibility().visible());
        app.stop();

        app.start();
        app.delegate->launch({pdf});
        app.scheduler.runDue();
        EXPECT_EQ(app.window()->documentWindow()->geometry(), savedFrame);
        EXPECT_FALSE(app.window()->isInspectorCollapsed());

        // A maximized window comes back maximized, over the place it returns to.
        app.window()->documentWindow()->showMaximized();
        app.scheduler.runDue();
        QCoreApplication::processEvents();
        app.stop();
        app.start();
        app.delegate->launch({pdf});
        app.scheduler.runDue();
        EXPECT_TRUE(app.window()->documentWindow()->windowState() & Qt::WindowMaximized);
        EXPECT_EQ(app.window()->documentWindow()->normalGeometry(), savedFrame);
    }
}

TEST(DocumentWindow, AWindowLeftInPagesModeComesBackWithItsSidebar)
{
    QTemporaryDir files;
    const QString pdf = makePdf(files, "ten.pdf", 10);
    Launch app;
    app.delegate->launch({pdf});
    app.scheduler.runDue();
    DocumentWindowController* w = app.window();
    ASSERT_FALSE(w->isSidebarCollapsed());
    const QList<int> before = w->split()->sizes();
    w->applyMode(EditorMode::pages);
    app.scheduler.runDue();
    ASSERT_TRUE(w->isSidebarCollapsed());
    // What is kept while the grid has the room is the sidebar as the user left it.
    const QVariantMap kept = app.defaults.dictionary(QStringLiteral("VellumarkSplit"));
    EXPECT_FALSE(kept.value(QStringLiteral("sidebarCollapsed")).toBool());
    EXPECT_EQ(kept.value(QStringLiteral("sizes")).toList().value(0).toInt(), before.value(0));

    // A window closed the usual way, in Pages mode, comes back the same way.
    app.stop();
    app.start();
    app.delegate->launch({pdf});
    app.scheduler.runDue();
    EXPECT_FALSE(app.window()->isSidebarCollapsed());
    EXPECT_GT(app.window()->split()->sizes().value(0), 0);
}

TEST(DocumentWindow, LaunchSwitchesApplyOnFirstShow)
{
    QTemporaryDir files;
    const QString pdf = makePdf(files, "ten.pdf", 10);
    {
        Launch app({"-VMKInitialMode", "4", "-VMKInitialPage", "99", "-VMKShowInspector", "YES"});
        app.delegate->launch({pdf});
        app.firstFrame();
        DocumentWindowController* w = app.window();
        EXPECT_EQ(w->editor()->mode(), EditorMode::pages);
        EXPECT_EQ(w->modeSwitcher()->mode(), 4);
        EXPECT_EQ(w->editor()->pageIndex(), 9); // past the end: the last page
        EXPECT_FALSE(w->isInspectorCollapsed());
        EXPECT_TRUE(w->isSidebarCollapsed()); // Pages mode hides the sidebar

        // Leaving Pages brings the sidebar back; showing the window again re-applies nothing.
        w->applyMode(EditorMode::read);
        EXPECT_FALSE(w->isSidebarCollapsed());
        w->showWindow();
        app.scheduler.runDue();
        EXPECT_EQ(w->editor()->mode(), EditorMode::read);
    }
    for (const char* page : {"0", "-5", "-9223372036854775808"}) {
        Launch app({"-VMKInitialPage", page, "-VMKInitialMode", "abc", "-VMKInitialTool", "4"});
        app.delegate->launch({pdf});
        app.firstFrame();
        EXPECT_EQ(app.window()->editor()->pageIndex(), 0) << page;
        EXPECT_EQ(app.window()->editor()->mode(), EditorMode::read);
        EXPECT_EQ(app.window()->editor()->tool(), Tool::pen);
    }
}

// Counts the paint events a widget receives.
struct PaintCount : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// Edit mode reads the whole file for its engine before it shows anything. Asked for at launch, it waits
// until the window has painted its first frame: started earlier, it held the mapped window unpainted,
// which the screen shows as black, for as long as opening took.
TEST(DocumentWindow, ALaunchModeThatTakesLongWaitsForTheWindowsFirstFrame)
{
    QTemporaryDir files;
    const QString pdf = makePdf(files, "ten.pdf", 10);
    Launch app({"-VMKInitialMode", "2"});
    app.delegate->launch({pdf});
    DocumentWindowController* w = app.window();
    auto* canvas = qobject_cast<QAbstractScrollArea*>(w->editor()->pdfView()->canvasWidget());
    ASSERT_NE(canvas, nullptr);
    PaintCount canvasPaints;
    canvas->viewport()->installEventFilter(&canvasPaints);
    bool exposedWhenOpened = false;
    int paintsWhenOpened = -1;
    w->editor()->setEditSessionOpener([&](const QByteArray&) -> core::PDFiumResult<std::shared_ptr<core::PDFEditSession>> {
        exposedWhenOpened = w->documentWindow()->windowHandle()->isExposed();
        paintsWhenOpened = canvasPaints.paints;
        return core::PDFiumError::saveFailed();
    });
    app.scheduler.runDue();
    EXPECT_EQ(paintsWhenOpened, -1) << "Edit mode began opening before the window was on screen";
    EXPECT_EQ(w->editor()->mode(), EditorMode::read);

    app.firstFrame();
    EXPECT_TRUE(exposedWhenOpened);
    EXPECT_GT(paintsWhenOpened, 0);

    // A window whose expose never comes (here: no event is handled) still gets its switches a second later.
    Launch hidden({"-VMKInitialMode", "4"});
    hidden.delegate->launch({pdf});
    hidden.scheduler.runDue();
    EXPECT_EQ(hidden.window()->editor()->mode(), EditorMode::read);
    hidden.scheduler.advance(1.0);
    EXPECT_EQ(hidden.window()->editor()->mode(), EditorMode::pages);
}

TEST(DocumentWindow, LockedDocumentOffersOnlyRead)
{
    if (!vmk::test::commandExists("qpdf"))
        GTEST_SKIP() << "qpdf is needed to make an encrypted file";
    Launch app;
    const QString plain = makePdf(app.dir, "plain.pdf", 2);
    const QString locked = app.dir.filePath("locked.pdf");
    ASSERT_EQ(vmk::test::runCommand("qpdf", {"--encrypt", "secret", "secret", "256", "--", plain, locked}).exitCode, 0);
    app.delegate->launch({locked});
    app.scheduler.runDue();
    DocumentWindowController* w = app.window();
    ASSERT_TRUE(w->editor()->isLocked());
    EXPECT_EQ(w->documentWindow()->subtitle(), "");
    auto& router = CommandRouter::shared();
    router.setKeyWindowOverride(w->documentWindow());
    for (int tag = 0; tag < 6; ++tag)
        EXPECT_EQ(router.validate("selectMode:", tag).enabled, tag == 0) << tag;
    EXPECT_FALSE(router.validate("zoomInPDF:", 0).enabled);
    w->applyMode(EditorMode::pages);
    EXPECT_EQ(w->editor()->mode(), EditorMode::read);
    EXPECT_TRUE(w->modeSwitcher()->isLocked());
    router.setKeyWindowOverride(nullptr);
}

TEST(DocumentWindow, SharedCopyIsTheCurrentDocumentAndGoesAway)
{
    Launch app;
    const QString pdf = makePdf(app.dir, "report.pdf", 3);
    app.delegate->launch({pdf});
    app.scheduler.runDue();
    DocumentWindowController* w = app.window();
    w->editor()->insertBlankPage(0); // an unsaved change
    const QString copy = w->shareableFile();
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_EQ(QFileInfo(copy).fileName(), "report.pdf");
    EXPECT_NE(QFileInfo(copy).absolutePath(), QFileInfo(pdf).absolutePath());
    const auto pages = vmk::test::runCommand("qpdf", {"--show-npages", copy});
    if (pages.exitCode == 0) {
        EXPECT_EQ(pages.out.trimmed(), "4");
    }
    app.stop();
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(copy).absolutePath()));
}
