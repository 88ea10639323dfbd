#include "WindowFixture.h"

#include "app/AppDelegate.h"
#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"
#include "app/LaunchTiming.h"
#include "app/Presenters.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"
#include "chrome/CanvasOverlays.h"
#include "chrome/PagePill.h"
#include "support/Wait.h"
#include "views/PDFCanvasView.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QUrl>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;

namespace {

// One document window of a launched application, with virtual time and the window as the key window.
struct OpenWindow : vmk::app::test::OneWindow {
    explicit OpenWindow(int pages, const QStringList& switches = {})
        : OneWindow(pages, "notes.pdf", switches)
    {
    }
    // The find runs on the PDF layer's own thread; its results arrive through the event loop.
    void waitForSearchEnd() { waitForHits(1); }
};

} // namespace

TEST(WindowCommands, TaskCommandsReachTheEditor)
{
    OpenWindow app(3);
    for (const char* action : {"makeSearchable:", "applyRedactions:", "exportImages:", "exportText:",
                               "exportFlattened:", "newSignature:"})
        EXPECT_TRUE(app.enabled(action)) << action;

    // Every page has text already: the editor says so instead of starting a task.
    // The pages' text is read on workers first.
    ASSERT_TRUE(app.perform("makeSearchable:"));
    ASSERT_TRUE(vmk::test::eventually([&] { return !app.toastText().isEmpty(); }, 20000));
    EXPECT_EQ(app.toastText(), "Already searchable. Every page has text.");

    // Apply Redactions switches to Redact first, then the editor reports that nothing is marked.
    ASSERT_TRUE(app.perform("applyRedactions:"));
    EXPECT_EQ(app.editor()->mode(), EditorMode::redact);
    EXPECT_EQ(app.toastText(), "Nothing marked yet. Drag across what you want gone.");

    // Export Text asks where, named after the document, and writes the pages' text there.
    ASSERT_TRUE(app.perform("exportText:"));
    auto* panel = app.openChild<QFileDialog>();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->defaultSuffix(), "txt");
    const QString out = app.dir.filePath("notes.txt");
    emit panel->fileSelected(out);
    panel->close();
    QFile text(out);
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(text.readAll());
    EXPECT_TRUE(written.contains("Chapter 1 begins here")) << written.toStdString();
    EXPECT_TRUE(written.contains("Chapter 3 begins here")) << written.toStdString();

    // Images ask for a folder.
    ASSERT_TRUE(app.perform("exportImages:"));
    panel = app.openChild<QFileDialog>();
    ASSERT_TRUE(panel);
    panel->reject();

    // New Signature goes to Sign mode and opens the signature sheet on the window.
    ASSERT_TRUE(app.perform("newSignature:"));
    EXPECT_EQ(app.editor()->mode(), EditorMode::sign);
    QDialog* sheet = nullptr;
    for (QDialog* d : app.w->documentWindow()->findChildren<QDialog*>())
        if (d->isVisible() && !qobject_cast<QFileDialog*>(d))
            sheet = d;
    ASSERT_TRUE(sheet);
    sheet->close();

    // While a long task shows progress none of them may start another.
    app.editor()->exportFlattened();
    if (app.editor()->progress()) {
        for (const char* action : {"makeSearchable:", "applyRedactions:", "exportText:", "newSignature:"})
            EXPECT_FALSE(app.enabled(action)) << action;
    }
}

TEST(WindowCommands, DeleteRemovesPagesInPagesModeAndTheAnnotationElsewhere)
{
    OpenWindow app(3);
    EXPECT_FALSE(app.enabled("delete:")); // nothing selected

    app.w->applyMode(EditorMode::pages);
    app.editor()->setOrganizerSelection({});
    EXPECT_FALSE(app.enabled("delete:"));
    app.editor()->setOrganizerSelection({1});
    ASSERT_TRUE(app.enabled("delete:"));
    ASSERT_TRUE(app.perform("delete:"));
    EXPECT_EQ(app.editor()->pageCount(), 2);
    ASSERT_TRUE(app.perform("undo:"));
    EXPECT_EQ(app.editor()->pageCount(), 3);

    // Outside Pages mode the page selection does not count; a selected annotation does.
    app.w->applyMode(EditorMode::annotate);
    app.editor()->setOrganizerSelection({1});
    EXPECT_FALSE(app.enabled("delete:"));
    const auto page = app.editor()->pdfDocument()->page(0);
    app.editor()->addShape(Tool::rectangle, page, {100, 100}, {200, 160});
    ASSERT_TRUE(app.editor()->selectedAnnotation());
    const auto before = page->annotations().size();
    ASSERT_TRUE(app.enabled("delete:"));
    ASSERT_TRUE(app.perform("delete:"));
    EXPECT_EQ(page->annotations().size(), before - 1);
    EXPECT_EQ(app.editor()->pageCount(), 3);
    EXPECT_FALSE(app.enabled("delete:"));

    // A locked document deletes nothing.
    app.editor()->addShape(Tool::rectangle, page, {100, 100}, {200, 160});
    DocumentCommandState locked = app.w->commandState();
    locked.locked = true;
    EXPECT_FALSE(validateDocumentCommand(locked, "delete:", 0).enabled);
}

TEST(WindowCommands, SearchFieldSearchesWhenTypingPauses)
{
    OpenWindow app(3);
    QLineEdit* field = app.w->searchField();
    ASSERT_TRUE(field->isEnabled());
    EXPECT_FALSE(app.enabled("findNextResult:"));

    // Every key restarts the wait; nothing is searched until 0.22 s after the last one.
    QTest::keyClicks(field, "Chap");
    app.scheduler.advance(0.2);
    QTest::keyClicks(field, "ter");
    app.scheduler.advance(0.2);
    EXPECT_TRUE(app.editor()->searchText().isEmpty());
    app.scheduler.advance(0.03);
    EXPECT_EQ(app.editor()->searchText(), "Chapter");

    app.waitForSearchEnd();
    ASSERT_EQ(app.editor()->searchHits().size(), 3);
    ASSERT_TRUE(app.enabled("findNextResult:"));
    ASSERT_TRUE(app.perform("findNextResult:"));
    const auto first = app.editor()->currentHit();
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(app.perform("findNextResult:"));
    EXPECT_NE(app.editor()->currentHit(), first);
    ASSERT_TRUE(app.perform("findPreviousResult:"));
    EXPECT_EQ(app.editor()->currentHit(), first);

    // Find… gives the field the keyboard; clearing it clears the search at once.
    ASSERT_TRUE(app.perform("findInDocument:"));
    EXPECT_EQ(field->selectedText(), "Chapter");
    field->clear();
    EXPECT_TRUE(app.editor()->searchText().isEmpty());
    EXPECT_FALSE(app.enabled("findNextResult:"));

    // A search still waiting when the window closes never runs.
    QTest::keyClicks(field, "begins");
    const platform::WorkItem pending = app.w->pendingSearch();
    EXPECT_TRUE(pending.isPending());
    app.w->closeWindow();
    EXPECT_TRUE(pending.isCancelled());
}

TEST(WindowCommands, SearchSwitchStartsASearchAtLaunch)
{
    OpenWindow app(2, {"-VMKSearch", "begins"});
    app.settle(); // the switches apply after the window's first frame
    EXPECT_EQ(app.w->searchField()->text(), "begins");
    EXPECT_EQ(app.editor()->searchText(), "begins");
    app.waitForSearchEnd();
    EXPECT_EQ(app.editor()->searchHits().size(), 2);
}

TEST(WindowCommands, ToolbarAddressesItsOwnWindowWhateverWindowIsKey)
{
    OpenWindow app(2);
    QWidget sheet; // a sheet or another application window in front
    CommandRouter::shared().setKeyWindowOverride(&sheet);
    CommandRouter::shared().invalidate();
    QAction* sidebar = app.w->toolbar()->findChild<QAction*>("toggleSidebar");
    ASSERT_TRUE(sidebar);
    EXPECT_TRUE(sidebar->isEnabled());
    const bool collapsed = app.w->isSidebarCollapsed();
    sidebar->trigger();
    EXPECT_NE(app.w->isSidebarCollapsed(), collapsed);
    EXPECT_EQ(sidebar->toolTip(), collapsed ? "Hide Sidebar" : "Show Sidebar");
}

TEST(WindowCommands, DialogsBelongToTheirWindowSayWhatTheyMustInsideAndStartInTheDocumentsFolder)
{
    OpenWindow app(2);
    Editor* e = app.editor();
    QWidget* window = app.w->documentWindow();
    const QString folder = QFileInfo(app.w->document()->filePath()).absolutePath();
    struct Case {
        const char* what;
        std::function<void()> open;
        QString inside; // a text the dialog shows within it
    };
    const Case cases[] = {
        {"flattened copy's save panel", [&] { e->saveFlattenedCopy(QByteArray("%PDF-1.7")); },
         QStringLiteral("Markups, signatures and form entries become part of the page. No more editing them.")},
        {"text export's save panel", [&] { e->exportText(); }, QString()},
        {"compress sheet", [&] { app.w->presentCompressSheet(); }, QString()},
        {"no browser", [&] { openWebPage(QUrl(QStringLiteral("https://example.org/help")), window, [](const QUrl&) { return false; }); },
         QStringLiteral("https://example.org/help")},
    };
    for (const Case& c : cases) {
        c.open();
        app.settle();
        QDialog* dialog = nullptr;
        for (QDialog* d : window->findChildren<QDialog*>())
            if (d->isVisible())
                dialog = d;
        ASSERT_TRUE(dialog) << c.what;
        const Qt::WindowFlags flags = dialog->windowFlags();
        EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog) << c.what;
        EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)) << c.what;
        EXPECT_EQ(dialog->windowModality(), Qt::WindowModal) << c.what;
        EXPECT_LE(dialog->windowTitle().size(), 24) << c.what << ": " << dialog->windowTitle().toStdString();
        if (!c.inside.isEmpty()) {
            QStringList texts;
            for (QLabel* label : dialog->findChildren<QLabel*>())
                if (label->isVisible())
                    texts << label->text().remove(QChar(0x200B)); // the break points long addresses get
            EXPECT_TRUE(texts.join('\n').contains(c.inside)) << c.what << ": " << texts.join(" | ").toStdString();
        }
        if (auto* files = qobject_cast<QFileDialog*>(dialog))
            EXPECT_EQ(QFileInfo(files->directory().absolutePath()).canonicalFilePath(), QFileInfo(folder).canonicalFilePath()) << c.what;
        dialog->reject();
        app.settle();
    }
}

TEST(WindowCommands, WhatIsBroughtIntoViewStaysClearOfThePagePill)
{
    vmk::app::test::ShownWindow app(3);
    QTest::qWait(700); // the canvas rises into place once
    app.settle();
    auto* canvas = app.w->documentWindow()->findChild<vmk::views::PDFCanvasView*>();
    auto* pill = app.w->documentWindow()->findChild<vmk::chrome::PagePill*>();
    ASSERT_TRUE(canvas && pill && pill->isVisible());
    // A line at the foot of the second page, as a search hit there would be.
    const QRectF line(72, 30, 300, 14);
    canvas->goToRect(1, line);
    app.settle();
    const QRectF shown = canvas->convertRectFromPage(line, 1);
    // The pill's glass keeps a margin of shadow around what shows.
    const int pillTop = canvas->viewport()->mapFromGlobal(pill->mapToGlobal(QPoint(0, 0))).y()
                        + vmk::chrome::shadowInsetOf(pill);
    EXPECT_LT(shown.bottom(), pillTop) << shown.bottom() << " under a pill from " << pillTop;
    EXPECT_GE(shown.top(), 0);
}
