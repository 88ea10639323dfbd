// Nothing the user did is lost, in the window: the edited marker, Revert To Saved, the file as opened
// coming back after its changes were written, untitled documents asked about, a file another program
// changed kept apart, Rename/Move/Duplicate, the text commands, and the password state across undo.
#include "ScriptedQuestions.h"
#include "WindowFixture.h"

#include "app/AppDelegate.h"
#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"
#include "app/LaunchTiming.h"

#include "core/VMKDocument.h"
#include "platform/doc/KeptOriginals.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/Scheduler.h"
#include "platform/services/TempFiles.h"
#include "platform/services/UserDefaults.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

using namespace vmk;
using namespace vmk::app;
using vmk::app::test::scriptedQuestions;
using vmk::test::runCommand;

namespace {

QString makePdf(const QString& path, int pages)
{
    return vmk::app::test::makeTextPdf(path, pages, QStringLiteral("Section %1"));
}

// Page count as qpdf reads the file (with a password when given); -1 when it cannot.
int qpdfPages(const QString& path, const QString& password = {})
{
    QStringList args{"--show-npages", path};
    if (!password.isEmpty())
        args.prepend("--password=" + password);
    const auto result = runCommand("qpdf", args);
    return result.exitCode == 0 ? result.out.trimmed().toInt() : -1;
}

bool qpdfChecks(const QString& path, const QString& password = {})
{
    QStringList args{"--check", path};
    if (!password.isEmpty())
        args.prepend("--password=" + password);
    return runCommand("qpdf", args).exitCode == 0;
}

// A launched application with its own folders, virtual time and scripted questions.
struct App : vmk::app::test::LaunchedApp {
    App()
    {
        if (!vmk::test::commandExists("qpdf"))
            return;
        platform::KeptOriginals::setFolder(dir.filePath("Originals"));
        scriptedQuestions().reset();
        start();
    }
    ~App()
    {
        CommandRouter::shared().setKeyWindowOverride(nullptr);
        stop();
        scriptedQuestions().reset();
        platform::KeptOriginals::setFolder({});
    }
    DocumentWindowController* open(const QString& path)
    {
        controller->openPaths({path});
        scheduler.runDue();
        return front();
    }
    // The newest window, made key for the menus.
    DocumentWindowController* front() const
    {
        DocumentWindowController* w = window(int(controller->documents().size()) - 1);
        CommandRouter::shared().setKeyWindowOverride(w->documentWindow());
        return w;
    }
};

// The alert shown on a window, if any.
QMessageBox* openAlertOn(QWidget* window)
{
    QApplication::processEvents();
    for (QMessageBox* box : window->findChildren<QMessageBox*>())
        if (box->isVisible())
            return box;
    return nullptr;
}

#define REQUIRE_QPDF()                                                                                                 \
    if (!vmk::test::commandExists("qpdf"))                                                                             \
    GTEST_SKIP() << "qpdf is needed to check the files"

} // namespace

TEST(FileSafety, TheWindowShowsEditsAndRevertToSavedDropsThem)
{
    REQUIRE_QPDF();
    App app;
    const QString path = makePdf(app.dir.filePath("notes.pdf"), 3);
    DocumentWindowController* w = app.open(path);
    EXPECT_TRUE(w->documentWindow()->windowTitle().startsWith("notes.pdf[*]"));
    EXPECT_FALSE(w->documentWindow()->isWindowModified());
    EXPECT_FALSE(app.enabled("revertDocumentToSaved:"));

    w->editor()->insertBlankPage(0);
    EXPECT_TRUE(w->documentWindow()->isWindowModified());
    ASSERT_TRUE(app.enabled("revertDocumentToSaved:"));

    // The changes cannot come back after a revert: the window asks first, and Cancel keeps them.
    for (const QString& answer : {QStringLiteral("Cancel"), QStringLiteral("Revert")}) {
        const int version = w->editor()->documentVersion();
        app.perform("revertDocumentToSaved:");
        QMessageBox* box = openAlertOn(w->documentWindow());
        ASSERT_TRUE(box) << "Revert To Saved asked nothing";
        EXPECT_EQ(box->text(), "Revert to the saved version?");
        EXPECT_EQ(box->windowModality(), Qt::WindowModal);
        ASSERT_EQ(box->buttons().size(), 2);
        const auto buttons = box->buttons();
        const auto chosen = std::find_if(buttons.begin(), buttons.end(), [&](auto* b) { return b->text() == answer; });
        ASSERT_NE(chosen, buttons.end()) << answer.toStdString();
        (*chosen)->click();
        app.scheduler.runDue();
        const bool kept = answer == "Cancel";
        EXPECT_EQ(w->editor()->pageCount(), kept ? 4 : 3) << answer.toStdString();
        EXPECT_EQ(w->documentWindow()->isWindowModified(), kept) << answer.toStdString();
        // Thumbnails and the rest drawn from the pages follow the re-read file.
        EXPECT_EQ(w->editor()->documentVersion() > version, !kept) << answer.toStdString();
    }
    EXPECT_EQ(qpdfPages(path), 3);
}

TEST(FileSafety, AClosedEditedDocumentCanGoBackToTheFileAsOpened)
{
    REQUIRE_QPDF();
    App app;
    const QString path = makePdf(app.dir.filePath("contract.pdf"), 3);
    const QByteArray asOpened = vmk::test::readFile(path);
    DocumentWindowController* w = app.open(path);
    EXPECT_FALSE(app.enabled("revertToOriginal:")); // nothing kept before the first write
    w->editor()->insertBlankPage(0);
    // Closing writes the change into the file, as this desktop expects of autosave.
    ASSERT_TRUE(app.controller->closeDocument(w->document()));
    EXPECT_EQ(qpdfPages(path), 4);

    w = app.open(path);
    EXPECT_EQ(w->editor()->pageCount(), 4);
    ASSERT_TRUE(app.enabled("revertToOriginal:"));
    scriptedQuestions().keptChoices = {0};
    app.perform("revertToOriginal:");
    app.scheduler.runDue();
    ASSERT_EQ(scriptedQuestions().lastKeptLabels.size(), 1);
    EXPECT_TRUE(scriptedQuestions().lastKeptLabels[0].startsWith("Opened before"));
    EXPECT_EQ(w->editor()->pageCount(), 3);
    EXPECT_TRUE(w->documentWindow()->isWindowModified());
    app.perform("saveDocument:");
    EXPECT_EQ(qpdfPages(path), 3);
    EXPECT_TRUE(qpdfChecks(path));
    // The oldest kept copy is the file as first opened (the second opening kept its own before the save).
    EXPECT_EQ(vmk::test::readFile(platform::KeptOriginals::versionsOf(path).last().keptPath), asOpened);
}

TEST(FileSafety, AClosedWindowStillAwaitingDeletionSurvivesALateActivation)
{
    // Closing a document frees its window controller at once and the window on a later turn of the event
    // loop; an activation the window system queued for the window before it closed can arrive in
    // between (during a save or an opening that keeps the window answering).
    App app;
    const QString path = makePdf(app.dir.filePath("late.pdf"), 2);
    DocumentWindowController* w = app.open(path);
    QPointer<DocumentWindow> window = w->documentWindow();
    QPointer<core::VMKDocument> document = w->document();
    ASSERT_TRUE(app.controller->closeDocument(document));
    QCoreApplication::sendPostedEvents(document, QEvent::DeferredDelete);
    ASSERT_TRUE(document.isNull());
    ASSERT_FALSE(window.isNull());
    QApplication::setActiveWindow(window);
    EXPECT_EQ(QApplication::activeWindow(), window.data());
    QApplication::setActiveWindow(nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST(FileSafety, UntitledDocumentsAreAskedAboutAndDuplicatesKeepTheContent)
{
    REQUIRE_QPDF();
    App app;
    const QString path = makePdf(app.dir.filePath("plan.pdf"), 2);
    app.open(path);
    ASSERT_TRUE(app.enabled("duplicateDocument:"));
    app.perform("duplicateDocument:");
    ASSERT_EQ(app.controller->documents().size(), 2u);
    DocumentWindowController* copy = app.front();
    EXPECT_EQ(copy->document()->displayName(), "plan copy");
    EXPECT_TRUE(copy->document()->isUntitled());
    EXPECT_EQ(copy->editor()->pageCount(), 2);
    EXPECT_TRUE(copy->documentWindow()->isWindowModified());

    // Cancel keeps it; Save… with a cancelled panel keeps it; Save… to a place writes it there.
    auto& q = scriptedQuestions();
    q.save = {DocumentQuestions::SaveAnswer::Cancel, DocumentQuestions::SaveAnswer::Save, DocumentQuestions::SaveAnswer::Save};
    q.savePaths = {std::nullopt, app.dir.filePath("plan copy.pdf")};
    EXPECT_FALSE(copy->documentWindow()->close());
    EXPECT_FALSE(copy->documentWindow()->close());
    EXPECT_EQ(app.controller->documents().size(), 2u);
    EXPECT_TRUE(copy->documentWindow()->close());
    EXPECT_EQ(app.controller->documents().size(), 1u);
    EXPECT_EQ(qpdfPages(app.dir.filePath("plan copy.pdf")), 2);
    EXPECT_TRUE(app.controller->recentDocumentPaths().contains(QFileInfo(app.dir.filePath("plan copy.pdf")).canonicalFilePath()));

    // Don't Save closes it, and nothing of it lands in a hidden folder.
    app.front();
    app.perform("duplicateDocument:");
    q.save = {DocumentQuestions::SaveAnswer::DontSave};
    EXPECT_TRUE(app.front()->documentWindow()->close());
    EXPECT_EQ(app.controller->documents().size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(app.dir.filePath("autosave")));
    EXPECT_EQ(q.asked.count("save"), 4);
}

TEST(FileSafety, ASaveAfterAnotherProgramChangedTheFileKeepsBoth)
{
    REQUIRE_QPDF();
    App app;
    const QString path = makePdf(app.dir.filePath("budget.pdf"), 2);
    DocumentWindowController* w = app.open(path);
    w->editor()->insertBlankPage(0); // ours: 3 pages
    // Another program writes its own version (5 pages) over the file.
    const QString theirs = makePdf(app.dir.filePath("theirs.pdf"), 5);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::copy(theirs, path));

    scriptedQuestions().diskChange = {DocumentQuestions::DiskChangeAnswer::Cancel,
                                      DocumentQuestions::DiskChangeAnswer::KeepOursAsCopy};
    app.perform("saveDocument:");
    EXPECT_EQ(qpdfPages(path), 5);
    EXPECT_TRUE(w->documentWindow()->isWindowModified());
    app.perform("saveDocument:");
    EXPECT_EQ(qpdfPages(path), 5);
    const QString ours = app.dir.filePath("budget (edited).pdf");
    EXPECT_EQ(qpdfPages(ours), 3);
    EXPECT_TRUE(qpdfChecks(ours));
    EXPECT_EQ(w->document()->filePath(), ours);
    EXPECT_TRUE(w->documentWindow()->windowTitle().startsWith("budget (edited).pdf"));
    EXPECT_FALSE(w->documentWindow()->isWindowModified());

    // Reloading theirs shows their version.
    w->editor()->insertBlankPage(0);
    QFile::remove(ours);
    QFile::copy(theirs, ours);
    scriptedQuestions().diskChange = {DocumentQuestions::DiskChangeAnswer::ReloadTheirs};
    app.perform("saveDocument:");
    app.scheduler.runDue();
    EXPECT_EQ(w->editor()->pageCount(), 5);
    EXPECT_EQ(qpdfPages(ours), 5);
}

TEST(FileSafety, RenameAndMoveTakeTheFileAndKeepTheWindow)
{
    REQUIRE_QPDF();
    App app;
    const QString path = makePdf(app.dir.filePath("draft.pdf"), 1);
    DocumentWindowController* w = app.open(path);
    ASSERT_TRUE(app.enabled("renameDocument:"));
    scriptedQuestions().names = {"final"};
    app.perform("renameDocument:");
    const QString renamed = app.dir.filePath("final.pdf");
    EXPECT_EQ(w->document()->filePath(), renamed);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(qpdfPages(renamed), 1);
    EXPECT_TRUE(w->documentWindow()->windowTitle().startsWith("final.pdf"));

    ASSERT_TRUE(QDir(app.dir.path()).mkdir("archive"));
    scriptedQuestions().folders = {app.dir.filePath("archive")};
    app.perform("moveDocument:");
    EXPECT_EQ(w->document()->filePath(), app.dir.filePath("archive/final.pdf"));
    EXPECT_EQ(qpdfPages(app.dir.filePath("archive/final.pdf")), 1);
    EXPECT_EQ(app.front(), w);
    EXPECT_TRUE(app.controller->recentDocumentPaths().contains(QFileInfo(app.dir.filePath("archive/final.pdf")).canonicalFilePath()));
}

TEST(FileSafety, TextCommandsReachTheFocusedFieldThenTheCanvas)
{
    REQUIRE_QPDF();
    App app;
    DocumentWindowController* w = app.open(makePdf(app.dir.filePath("words.pdf"), 1));
    w->documentWindow()->show();
    w->documentWindow()->activateWindow();
    QApplication::setActiveWindow(w->documentWindow());
    QLineEdit* field = w->searchField();
    ASSERT_TRUE(field);
    field->setFocus();
    if (QApplication::focusWidget() != field)
        GTEST_SKIP() << "the platform gives no keyboard focus here";
    field->setText("quarterly");
    EXPECT_FALSE(app.enabled("copy:"));
    ASSERT_TRUE(app.enabled("selectAll:"));
    app.perform("selectAll:");
    EXPECT_EQ(field->selectedText(), "quarterly");
    app.perform("copy:");
    EXPECT_EQ(QApplication::clipboard()->text(), "quarterly");
    app.perform("cut:");
    EXPECT_TRUE(field->text().isEmpty());
    ASSERT_TRUE(app.enabled("paste:"));
    app.perform("paste:");
    EXPECT_EQ(field->text(), "quarterly");

    // On the canvas, Select All selects the page's text and Copy copies it; Cut and Paste do nothing there.
    w->editor()->pdfView()->canvasWidget()->setFocus();
    EXPECT_FALSE(app.enabled("cut:"));
    EXPECT_FALSE(app.enabled("paste:"));
    app.perform("selectAll:");
    app.perform("copy:");
    EXPECT_TRUE(QApplication::clipboard()->text().contains("Section 1"));
}

TEST(FileSafety, PasswordStateIsOneTruthAcrossSaveAndUndo)
{
    REQUIRE_QPDF();
    App app;
    const QString plain = makePdf(app.dir.filePath("plain.pdf"), 2);
    const QString path = app.dir.filePath("secret.pdf");
    ASSERT_EQ(runCommand("qpdf", {"--encrypt", "user", "owner", "256", "--", plain, path}).exitCode, 0);
    DocumentWindowController* w = app.open(path);
    Editor* e = w->editor();
    ASSERT_TRUE(e->isLocked());
    ASSERT_TRUE(e->unlock("user"));
    ASSERT_TRUE(e->isPasswordProtected());

    // Remove Password (opened with the user password, it takes the owner's), Save: the file opens for anyone.
    e->removePassword("owner");
    app.perform("saveDocument:");
    EXPECT_EQ(runCommand("qpdf", {"--requires-password", path}).exitCode, 2); // not encrypted
    EXPECT_FALSE(e->isPasswordProtected());

    // Undo: the inspector's "Protected" and the next save agree — the password is back on disk.
    app.front();
    app.perform("undo:");
    EXPECT_TRUE(e->isPasswordProtected());
    app.perform("saveDocument:");
    EXPECT_EQ(runCommand("qpdf", {"--requires-password", path}).exitCode, 0);
    EXPECT_TRUE(qpdfChecks(path, "user"));
    EXPECT_EQ(qpdfPages(path, "user"), 2);
    // And another save without any change keeps it so.
    e->insertBlankPage(0);
    app.perform("saveDocument:");
    EXPECT_EQ(runCommand("qpdf", {"--requires-password", path}).exitCode, 0);
    EXPECT_EQ(qpdfPages(path, "user"), 3);
}

TEST(FileSafety, ASeparateOwnerPasswordRestrictsPrintingAndChanging)
{
    REQUIRE_QPDF();
    App app;
    const QString path = makePdf(app.dir.filePath("terms.pdf"), 1);
    DocumentWindowController* w = app.open(path);
    w->editor()->passwordProtect("reader", QStringLiteral("keeper"));
    app.perform("saveDocument:");
    const auto shown = runCommand("qpdf", {"--show-encryption", "--password=reader", path});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_TRUE(shown.out.contains("Supplied password is user password"));
    EXPECT_TRUE(shown.out.contains("print high resolution: not allowed"));
    EXPECT_TRUE(shown.out.contains("modify anything: not allowed"));
    const auto owner = runCommand("qpdf", {"--show-encryption", "--password=keeper", path});
    EXPECT_TRUE(owner.out.contains("Supplied password is owner password"));

    // One password for both: the user may do everything.
    w->editor()->passwordProtect("both", std::nullopt);
    app.perform("saveDocument:");
    const auto single = runCommand("qpdf", {"--show-encryption", "--password=both", path});
    EXPECT_TRUE(single.out.contains("print high resolution: allowed"));
    EXPECT_TRUE(single.out.contains("modify anything: allowed"));
}

TEST(FileSafety, NothingDecryptedReachesTheDiskUnasked)
{
    REQUIRE_QPDF();
    App app;
    const QString plain = makePdf(app.dir.filePath("plain.pdf"), 3);
    const QString path = app.dir.filePath("payroll.pdf");
    ASSERT_EQ(runCommand("qpdf", {"--encrypt", "pay", "pay", "256", "--", plain, path}).exitCode, 0);
    DocumentWindowController* w = app.open(path);
    ASSERT_TRUE(w->editor()->unlock("pay"));

    // The shared copy is the user's alone, in the private working folder, and goes with the window.
    const QString shared = w->shareableFile();
    ASSERT_FALSE(shared.isEmpty());
    EXPECT_TRUE(shared.startsWith(platform::privateTemporaryFolder() + "/"));
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
    EXPECT_EQ(QFileInfo(shared).permissions() & others, QFileDevice::Permissions());
    EXPECT_EQ(runCommand("qpdf", {"--requires-password", shared}).exitCode, 0);

    // Pages taken out of it become a new document behind the same password.
    w->editor()->extractPages({0, 1});
    ASSERT_EQ(app.controller->documents().size(), 2u);
    DocumentWindowController* extracted = app.front();
    EXPECT_TRUE(extracted->editor()->isPasswordProtected());
    scriptedQuestions().save = {DocumentQuestions::SaveAnswer::Save};
    scriptedQuestions().savePaths = {app.dir.filePath("pages.pdf")};
    EXPECT_TRUE(extracted->documentWindow()->close());
    EXPECT_EQ(runCommand("qpdf", {"--requires-password", app.dir.filePath("pages.pdf")}).exitCode, 0);
    EXPECT_EQ(qpdfPages(app.dir.filePath("pages.pdf"), "pay"), 2);

    ASSERT_TRUE(app.controller->closeDocument(w->document()));
    EXPECT_FALSE(QFileInfo::exists(shared));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(shared).absolutePath()));
}
