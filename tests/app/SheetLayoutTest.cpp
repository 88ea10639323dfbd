// Every sheet, popover, alert and separate window, light and dark, at its default size and with the document
// window at its default and smallest sizes: nothing is cut off, squeezed or piled up, a sheet or alert is no
// larger than the window it belongs to, and nothing opens past the window's edge.

#include "WindowFixture.h"

#include "app/Appearance.h"
#include "app/CombineView.h"
#include "app/DocumentQuestions.h"
#include "app/Presenters.h"
#include "ScriptedQuestions.h"
#include "core/SystemAnnotations.h"
#include "app/WelcomeView.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "signatures/SignatureArtwork.h"
#include "signatures/SignatureEditorView.h"
#include "signatures/SignatureStore.h"
#include "signatures/SignatureStyles.h"
#include "support/LayoutCheck.h"
#include "views/NoteEditorView.h"
#include "views/PDFCanvasView.h"
#include "support/Wait.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;
using namespace vmk::app::test;

namespace {

struct SheetWalk {
    OneWindow& app;
    QStringList found;
    QString where;

    QMainWindow* window() const { return app.w->documentWindow(); }

    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            app.scheduler.advance(1.0);
            QTest::qWait(20);
        }
    }

    void check(QWidget* top, const QString& what)
    {
        settle();
        if (!top || !top->isVisible()) {
            found << QStringLiteral("[%1] %2: not shown").arg(where, what);
            return;
        }
        for (const QString& problem : vmk::test::layoutProblems(top))
            found << QStringLiteral("[%1, %2 %3×%4] %5").arg(where, what).arg(top->width()).arg(top->height()).arg(problem);
        // A window smaller than what its layout needs cuts its content off at its own edge.
        if (top->layout()) {
            const QSize need = top->layout()->totalMinimumSize();
            if (top->width() < need.width() - 1 || top->height() < need.height() - 1)
                found << QStringLiteral("[%1, %2] the window is %3×%4 but its content needs %5×%6")
                             .arg(where, what).arg(top->width()).arg(top->height()).arg(need.width()).arg(need.height());
        }
    }

    // A window the user can resize: as it opens and at the smallest it lets itself be made.
    void checkAtDefaultAndSmallest(QWidget* top, const QString& what)
    {
        check(top, what);
        if (!top || top->minimumSize() == top->maximumSize())
            return;
        const QSize before = top->size();
        top->resize(top->minimumSize().expandedTo(QSize(1, 1)));
        check(top, what + QStringLiteral(" at its smallest"));
        top->resize(before);
    }

    // A sheet or alert belongs to the document window: it is no larger than that window, so it never
    // reaches past its edges.
    void checkWithinWindow(QWidget* sheet, const QString& what)
    {
        if (!sheet || !sheet->isVisible())
            return;
        if (sheet->width() > window()->width() || sheet->height() > window()->height())
            found << QStringLiteral("[%1, %2] %3×%4, larger than its window %5×%6")
                         .arg(where, what).arg(sheet->width()).arg(sheet->height())
                         .arg(window()->width()).arg(window()->height());
    }

    // A sheet over the document window: it fits inside it, and its own layout is sound.
    void checkSheet(QWidget* sheet, const QString& what)
    {
        checkAtDefaultAndSmallest(sheet, what);
        checkWithinWindow(sheet, what);
    }

    // The modal dialog `open` starts (exec or open), checked and then closed.
    void checkModal(const std::function<void()>& open, const QString& what)
    {
        bool checked = false;
        QTimer::singleShot(150, qApp, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            checked = true;
            if (!modal) {
                found << QStringLiteral("[%1] %2: no dialog").arg(where, what);
                return;
            }
            checkAtDefaultAndSmallest(modal, what);
            modal->close();
        });
        open();
        if (!vmk::test::eventually([&] { return checked; }, 5000))
            found << QStringLiteral("[%1] %2: never opened").arg(where, what);
        settle();
    }

    QDialog* openSheet() const
    {
        for (QDialog* d : window()->findChildren<QDialog*>())
            if (d->isVisible())
                return d;
        return nullptr;
    }

    void closeSheets()
    {
        for (QDialog* d : window()->findChildren<QDialog*>())
            if (d->isVisible())
                d->reject();
        settle();
    }

    void everySheet()
    {
        Editor* e = app.editor();
        app.perform("goToPageNumber:");
        check(window(), QStringLiteral("going to a page"));

        app.w->presentCompressSheet();
        checkSheet(openSheet(), QStringLiteral("compress sheet"));
        closeSheets();
        app.w->presentPasswordSheet();
        checkSheet(openSheet(), QStringLiteral("password sheet"));
        closeSheets();

        signatureEditor();
        e->exportPagesAsImages();
        checkSheet(openSheet(), QStringLiteral("image export panel"));
        closeSheets();
        checkModal([this] { app.perform("runPageLayout:"); }, QStringLiteral("page setup"));

        // The note popover, over the middle of the page and then at the window's right edge.
        auto* canvas = window()->findChild<views::PDFCanvasView*>();
        ASSERT_TRUE(canvas);
        const pdf::PagePtr page = e->pdfDocument()->page(0);
        for (const QRectF& at : {QRectF(200, 400, 24, 24), QRectF(page->cropBox().width() - 30, 40, 24, 24)}) {
            pdf::AnnotationPtr note = pdf::Annotation::create(QStringLiteral("Text"), at);
            note->setContents(QStringLiteral("A note long enough to fill a few lines of its popover, so that its layout is tried."));
            e->addAnnotation({{note, page}}, QStringLiteral("Add Note"));
            canvas->showNotePopover(note, page, false);
            settle();
            auto* popover = canvas->findChild<views::NotePopover*>();
            check(popover, QStringLiteral("note popover at x %1").arg(at.x()));
            if (popover) {
                const QRect frame(window()->mapToGlobal(QPoint(0, 0)), window()->size());
                if (!frame.contains(popover->frameGeometry()))
                    found << QStringLiteral("[%1] the note popover opens past the window's edge (%2,%3 %4×%5 in %6,%7 %8×%9)")
                                 .arg(where).arg(popover->x()).arg(popover->y()).arg(popover->width()).arg(popover->height())
                                 .arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
                popover->close();
                settle();
            }
        }
    }

    // A window-modal alert the window shows without waiting (open()): checked, then dismissed.
    void checkOpenAlert(const QString& what)
    {
        settle();
        QMessageBox* box = nullptr;
        for (QMessageBox* b : window()->findChildren<QMessageBox*>())
            if (b->isVisible())
                box = b;
        checkAlert(box, what);
        if (box)
            box->reject();
        settle();
    }

    // An alert over the window: its own layout, and it stays within the screen.
    void checkAlert(QWidget* box, const QString& what)
    {
        check(box, what);
        // The print and page setup dialogs are the desktop's own windows; an alert is the window's.
        if (qobject_cast<QMessageBox*>(box) && box->parentWidget() == window())
            checkWithinWindow(box, what);
        if (auto* alert = qobject_cast<QMessageBox*>(box)) {
            // An alert reads as a short column; a title or a word it cannot wrap must not stretch it.
            if (alert->width() > 640)
                found << QStringLiteral("[%1, %2] an alert %3 wide").arg(where, what).arg(alert->width());
            // Its texts name files, which may hold anything: shown as written, never as markup.
            for (QLabel* label : alert->findChildren<QLabel*>())
                if (!label->text().isEmpty() && label->textFormat() != Qt::PlainText)
                    found << QStringLiteral("[%1, %2] reads “%3” as markup").arg(where, what, label->text().left(30));
        }
        if (box && box->screen() && box->isVisible()) {
            const QRect screen = box->screen()->availableGeometry();
            if (box->width() > screen.width() || box->height() > screen.height())
                found << QStringLiteral("[%1, %2] %3×%4, larger than the screen %5×%6")
                             .arg(where, what).arg(box->width()).arg(box->height()).arg(screen.width()).arg(screen.height());
        }
    }

    // The modal `open` starts, checked; `walk` may then change its choices and check it again.
    void checkModalWith(const std::function<void()>& open, const QString& what,
                        const std::function<void(QWidget*)>& walk)
    {
        bool checked = false;
        QTimer::singleShot(150, qApp, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            checked = true;
            if (!modal) {
                found << QStringLiteral("[%1] %2: no dialog").arg(where, what);
                return;
            }
            checkAlert(modal, what);
            if (walk)
                walk(modal);
            modal->close();
        });
        open();
        if (!vmk::test::eventually([&] { return checked; }, 5000))
            found << QStringLiteral("[%1] %2: never opened").arg(where, what);
        settle();
    }

    // Each paper size and orientation the page setup offers, the dialog checked after each choice.
    void walkPageChoices(QWidget* dialog, const QString& what)
    {
        for (QComboBox* combo : dialog->findChildren<QComboBox*>()) {
            if (!combo->isVisible() || !combo->isEnabled() || combo->count() < 2)
                continue;
            const int original = combo->currentIndex();
            // The first, the last and any custom size (which brings its own fields).
            QList<int> choices{0, combo->count() - 1};
            for (int i = 0; i < combo->count(); ++i)
                if (combo->itemText(i).contains(QLatin1String("Custom"), Qt::CaseInsensitive))
                    choices << i;
            for (int i : choices) {
                combo->setCurrentIndex(i);
                checkAlert(dialog, QStringLiteral("%1, %2 “%3”").arg(what, combo->objectName(), combo->itemText(i)));
            }
            combo->setCurrentIndex(original);
        }
        for (QRadioButton* radio : dialog->findChildren<QRadioButton*>()) {
            if (!radio->isVisible() || !radio->isEnabled())
                continue;
            radio->click();
            checkAlert(dialog, QStringLiteral("%1, %2").arg(what, radio->text()));
        }
    }

    void everyAlert()
    {
        Editor* e = app.editor();
        const QString longName = QStringLiteral("<b>Quarterly</b> report for the board of directors, final version with "
                                                "the auditors’ comments and every appendix (2).pdf");
        const QString longPath = QStringLiteral("/home/someone/Documents/Projects/2026/Clients/Northwind-Traders/"
                                                "Contracts-and-Amendments/Signed-Originals/Scans/")
                                 + longName;

        // Print, with its options opened, and Page Setup through each of its choices.
        checkModalWith([this] { app.perform("printDocument:"); }, QStringLiteral("print dialog"), [this](QWidget* dialog) {
            for (QPushButton* more : dialog->findChildren<QPushButton*>())
                if (more->isVisible() && more->text().contains(QLatin1String("Options")))
                    more->click();
            checkAlert(dialog, QStringLiteral("print dialog with its options"));
            walkPageChoices(dialog, QStringLiteral("print dialog"));
        });
        checkModalWith([this] { app.perform("runPageLayout:"); }, QStringLiteral("page setup"),
                       [this](QWidget* dialog) { walkPageChoices(dialog, QStringLiteral("page setup")); });

        // Closing an edited document that was never saved asks about its changes.
        setDocumentQuestions(nullptr);
        for (const QString& name : {e->documentBaseName(), longName})
            checkModalWith([this, name] { documentQuestions().askToSave(name, window()); },
                           QStringLiteral("save-changes alert for “%1”").arg(name.left(20)), {});
        setDocumentQuestions(&scriptedQuestions());

        e->passwordProtect(QStringLiteral("secret"), std::nullopt);
        app.w->confirmRemovePassword();
        checkOpenAlert(QStringLiteral("remove-password alert"));
        e->removePassword();

        const pdf::PagePtr page = e->pdfDocument()->page(0);
        pdf::AnnotationPtr mark = core::RedactionMarkAnnotation::create(QRectF(100, 500, 120, 30));
        e->addAnnotation({{mark, page}}, QStringLiteral("Mark for Redaction"));
        e->confirmRedactions();
        checkOpenAlert(QStringLiteral("redaction alert"));
        e->removeAnnotation({{mark, page}}, QStringLiteral("Remove"));

        // Errors naming long files and paths, which hold no place to break a line.
        app.w->showErrorAlert(QStringLiteral("The file couldn’t be saved."),
                              QStringLiteral("You don’t have permission to save “%1”.").arg(longPath));
        checkOpenAlert(QStringLiteral("write error alert"));
        app.w->showErrorAlert(QStringLiteral("The file “%1” couldn’t be saved because the volume is full and "
                                             "nothing more fits on it.").arg(longName),
                              QString());
        checkOpenAlert(QStringLiteral("write error alert with a long message"));
        platform::DocumentError error;
        error.message = QStringLiteral("The file “%1” couldn’t be opened.").arg(longName);
        error.recoverySuggestion = QStringLiteral("It may be damaged or use a format this application doesn’t "
                                                  "read. Its folder: %1").arg(longPath);
        checkModalWith([this, error] { alertPresenter().presentError(error, window()); },
                       QStringLiteral("open error alert"), {});
        platform::DocumentError unbroken;
        unbroken.message = QStringLiteral("Couldn’t open ") + QString(180, QLatin1Char('x')) + QStringLiteral(".pdf");
        checkModalWith([this, unbroken] { alertPresenter().presentError(unbroken, window()); },
                       QStringLiteral("open error alert with an unbroken name"), {});
    }

    void signatureEditor()
    {
        auto* editor = signatures::SignatureEditorView::present(window(), [](const signatures::SavedSignature&) {});
        for (QAbstractButton* kind : editor->kindButtons()->buttons()) {
            kind->click();
            checkSheet(editor, QStringLiteral("signature editor, %1").arg(kind->text()));
        }
        editor->reject();
        settle();
    }
    // The separate windows: welcome (no recents, then twelve), combine (empty, then five files) and a locked
    // document's unlock form, at their own default and smallest sizes.
    void separateWindows(AppDelegate* delegate, DocumentController* controller, const QStringList& pdfs,
                         const QString& locked)
    {
        controller->clearRecentDocuments();
        delegate->showWelcomeWindow();
        checkAtDefaultAndSmallest(delegate->welcomeWindow(), QStringLiteral("welcome, no recents"));
        delegate->welcomeWindow()->close();
        settle();
        for (const QString& path : pdfs)
            controller->noteNewRecentDocument(path);
        delegate->showWelcomeWindow();
        checkAtDefaultAndSmallest(delegate->welcomeWindow(), QStringLiteral("welcome, 12 recents"));
        if (delegate->welcomeView()->recentRows().size() != 12)
            found << QStringLiteral("[%1] the welcome window lists %2 recents of 12").arg(where).arg(delegate->welcomeView()->recentRows().size());
        delegate->welcomeWindow()->close();
        settle();

        delegate->showCombineWindow();
        QWidget* combine = delegate->combineWindow();
        checkAtDefaultAndSmallest(combine, QStringLiteral("combine, empty"));
        combine->findChild<CombineView*>()->model().appendPaths(pdfs.mid(0, 5));
        checkAtDefaultAndSmallest(combine, QStringLiteral("combine, five files"));
        combine->close();
        settle();

        // A locked document shows its unlock form in the window, down to the window's smallest size.
        controller->openPaths({locked});
        settle();
        DocumentWindowController* lockedWindow = nullptr;
        for (int i = 0; i < int(controller->documents().size()); ++i)
            if (app.window(i)->editor()->isLocked())
                lockedWindow = app.window(i);
        if (!lockedWindow) {
            found << QStringLiteral("[%1] the locked document has no window").arg(where);
            return;
        }
        lockedWindow->documentWindow()->show();
        QTest::qWait(800); // the unlock form fades in once
        for (const QSize size : {QSize(1180, 820), lockedWindow->documentWindow()->minimumSize()}) {
            lockedWindow->documentWindow()->resize(size);
            check(lockedWindow->documentWindow(), QStringLiteral("unlock form %1×%2").arg(size.width()).arg(size.height()));
        }
        lockedWindow->documentWindow()->close();
        settle();
        app.w->documentWindow()->activateWindow();
    }
};


QString writeLockedPdf(const QTemporaryDir& dir)
{
    pdf::DocumentPtr doc = pdf::Document::createEmpty();
    doc->insertPage(pdf::Page::createBlank(QRectF(0, 0, 595, 842)), 0);
    const QString path = dir.filePath(QStringLiteral("locked.pdf"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(doc->dataRepresentation(pdf::WriteOptions::protect(QStringLiteral("secret"))).value());
    return path;
}

std::optional<signatures::SavedSignature> saveASignature()
{
    signatures::InkStroke stroke;
    for (int k = 0; k <= 30; ++k)
        stroke.append({QPointF(10 + 9.0 * k, 30 + 12 * std::sin(k / 3.0)), 2.2});
    return signatures::SignatureStore::shared().add(
        signatures::inkSignaturePDF({stroke}, signatures::signatureInkColors()[0].color).value_or(QByteArray()));
}

// Each distinct fault once, with the first state that showed it.
std::string distinctProblems(const QStringList& found)
{
    QStringList distinct;
    QSet<QString> seen;
    for (const QString& problem : found) {
        const QString fault = problem.mid(problem.indexOf(QLatin1Char(']')) + 2);
        if (!seen.contains(fault)) {
            seen.insert(fault);
            distinct << problem;
        }
    }
    return QString::number(found.size()).toStdString() + " problems:\n" + distinct.mid(0, 60).join('\n').toStdString();
}

} // namespace

TEST(Layout, EverySheetAlertAndSeparateWindowFitsLightAndDarkAtTheDefaultAndSmallestSizes)
{
    ShownWindow app(3);
    const auto saved = saveASignature();
    QStringList pdfs;
    for (int i = 0; i < 12; ++i)
        pdfs << makeTextPdf(app.dir.filePath(QStringLiteral("A rather long report name, part %1.pdf").arg(i + 1)), 2);
    const QString locked = writeLockedPdf(app.dir);
    QMainWindow* window = app.w->documentWindow();
    app.settle();
    struct Walk {
        const char* what;
        std::function<void(SheetWalk&)> run;
    };
    const Walk walks[] = {
        {"sheets: compress, password, signature editor, image export, note popover", [](SheetWalk& w) { w.everySheet(); }},
        {"print, page setup and every alert", [](SheetWalk& w) { w.everyAlert(); }},
        {"separate windows: welcome, combine, unlock",
         [&](SheetWalk& w) { w.separateWindows(app.delegate.get(), app.controller.get(), pdfs, locked); }},
    };
    SheetWalk walk{app, {}, {}};
    const QPalette original = QApplication::palette();
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : lightPalette());
        for (const QSize size : {QSize(1180, 820), window->minimumSize()}) {
            for (const Walk& each : walks) {
                window->resize(size);
                walk.settle();
                walk.where = QStringLiteral("%1 %2×%3, %4").arg(dark ? "dark" : "light").arg(window->width())
                                 .arg(window->height()).arg(QLatin1String(each.what));
                each.run(walk);
            }
        }
    }
    QApplication::setPalette(original);
    if (saved)
        signatures::SignatureStore::shared().remove(saved->id);
    EXPECT_TRUE(walk.found.isEmpty()) << distinctProblems(walk.found);
}
