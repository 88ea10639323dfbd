#include "LongTaskTestSupport.h"

#include "editor/ImageExportReport.h"
#include "editor/PageRaster.h"
#include "editor/PageWork.h"
#include "support/SlowContent.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

struct ExportFixture : EditorFixture {
    PanelWindow panels;
    std::shared_ptr<HeldRunner> runner = std::make_shared<HeldRunner>();

    explicit ExportFixture(pdf::DocumentPtr pdf, const QString& name = QStringLiteral("Scan.pdf"))
        : EditorFixture(std::move(pdf), name)
    {
        editor->setWindowController(&panels);
        editor->setDetachedRunner(runner);
    }
    ~ExportFixture() { editor->setWindowController(nullptr); }

    QString folder(const QString& name)
    {
        QDir(dir.path()).mkpath(name);
        return dir.filePath(name);
    }
    QString toastText() const { return editor->toast() ? editor->toast()->text : QString(); }
};

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

QStringList vmkTemporaryFiles()
{
    return QDir(QDir::tempPath()).entryList({QStringLiteral("vmk-*.pdf")}, QDir::Files);
}

} // namespace

TEST(ImageExport, NamesSizesAndCountsFollowThePageCount)
{
    using F = ImageExportOptions::Format;
    EXPECT_EQ(ImageExportOptions::fileName(QStringLiteral("Report"), 6, 3, F::png), QStringLiteral("Report \u2013 007.png"));
    EXPECT_EQ(ImageExportOptions::fileName(QStringLiteral("Report"), 119, 3, F::png), QStringLiteral("Report \u2013 120.png"));
    EXPECT_EQ(ImageExportOptions::fileName(QStringLiteral("Scan"), 0, 1, F::jpeg), QStringLiteral("Scan \u2013 1.jpg"));
    EXPECT_EQ(ImageExportOptions::digitWidth(0), 1);
    EXPECT_EQ(ImageExportOptions::digitWidth(9), 1);
    EXPECT_EQ(ImageExportOptions::digitWidth(10), 2);
    EXPECT_EQ(ImageExportOptions::digitWidth(999), 3);
    EXPECT_EQ(ImageExportOptions::countText(1), QStringLiteral("1 image"));
    EXPECT_EQ(ImageExportOptions::countText(0), QStringLiteral("0 images"));
    EXPECT_EQ(ImageExportOptions::countText(12), QStringLiteral("12 images"));

    const QSizeF letter(612, 792);
    EXPECT_EQ(ImageExportOptions::pixelSize(letter, 150 / 72.0), QSize(1275, 1650));
    EXPECT_EQ(ImageExportOptions::pixelSize(letter, 1), QSize(612, 792));
    EXPECT_EQ(ImageExportOptions::pixelSize(letter, 300 / 72.0), QSize(2550, 3300));
    EXPECT_EQ(ImageExportOptions::pixelSize(QSizeF(5000, 5000), 300 / 72.0), QSize(20000, 20000));
    EXPECT_EQ(ImageExportOptions::pixelSize(QSizeF(0.1, 0.1), 1), QSize(1, 1));

    // Recognition and redaction rasters cap their longer sides too.
    EXPECT_EQ(rasterSize(letter, rasterScale(letter, 5000, 300 / 72.0)), QSize(2550, 3300));
    EXPECT_EQ(rasterSize(QSizeF(1000, 1400), rasterScale(QSizeF(1000, 1400), 5000, 300 / 72.0)), QSize(3571, 5000));
    EXPECT_EQ(rasterSize(letter, rasterScale(letter, 6000, 200 / 72.0)), QSize(1700, 2200));
    EXPECT_EQ(rasterSize(QSizeF(3000, 4000), rasterScale(QSizeF(3000, 4000), 6000, 200 / 72.0)), QSize(4500, 6000));
}

TEST(ImageExport, ThePanelStartsFreshAndACancelDoesNothing)
{
    ExportFixture f(blankDocument(3, QSizeF(100, 50)));
    f.editor->exportPagesAsImages();
    ASSERT_EQ(f.panels.folderPanels.size(), 1);
    EXPECT_EQ(f.panels.folderPanels[0].prompt, QStringLiteral("Export"));
    EXPECT_EQ(f.panels.folderPanels[0].message, QStringLiteral("Choose a folder. Each page becomes its own image."));
    EXPECT_EQ(f.panels.lastPageCount, 3);
    f.panels.lastOptions->setFormat(ImageExportOptions::Format::jpeg);
    f.panels.lastOptions->setDpi(300);
    EXPECT_FALSE(f.editor->progress().has_value());

    f.editor->exportPagesAsImages();
    EXPECT_EQ(f.panels.lastOptions->format(), ImageExportOptions::Format::png);
    EXPECT_EQ(f.panels.lastOptions->dpi(), 150);

    // Without a window there is no panel.
    f.editor->setWindowController(nullptr);
    f.editor->exportPagesAsImages();
    EXPECT_EQ(f.panels.folderPanels.size(), 2);
}

TEST(ImageExport, WritesEveryPageWithItsAnnotationsAndRevealsTheFolder)
{
    ExportFixture f(blankDocument(10, QSizeF(144, 72)));
    f.page(1)->setRotation(90);
    const pdf::AnnotationPtr box = pdf::Annotation::create(QStringLiteral("Square"), QRectF(0, 0, 144, 72));
    box->setInteriorColor(QColor(Qt::red));
    f.page(0)->addAnnotation(box);
    const QString folder = f.folder(QStringLiteral("out"));
    QFile stale(QDir(folder).filePath(QStringLiteral("Scan \u2013 01.jpg")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("old");
    stale.close();

    f.panels.folderAnswer = folder;
    f.panels.chooseOptions = [](ImageExportOptions& options) {
        options.setFormat(ImageExportOptions::Format::jpeg);
        options.setDpi(72);
    };
    f.editor->exportPagesAsImages();
    ASSERT_TRUE(f.editor->progress().has_value());
    EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Exporting page 1 of 10\u2026"));
    EXPECT_TRUE(bool(f.editor->progress()->cancel));
    f.runner->runAll();

    EXPECT_FALSE(f.editor->progress().has_value());
    EXPECT_FALSE(f.editor->runningTask());
    EXPECT_EQ(f.toastText(), QStringLiteral("Exported 10 images."));
    EXPECT_EQ(f.panels.revealed, QStringList{folder});
    const QStringList files = filesIn(folder);
    ASSERT_EQ(files.size(), 10);
    EXPECT_EQ(files.first(), QStringLiteral("Scan \u2013 01.jpg"));
    EXPECT_EQ(files.last(), QStringLiteral("Scan \u2013 10.jpg"));

    const QImage first(QDir(folder).filePath(files[0]));
    ASSERT_EQ(first.size(), QSize(144, 72));
    EXPECT_GT(qRed(first.pixel(72, 36)), 200);
    EXPECT_LT(qGreen(first.pixel(72, 36)), 60);
    EXPECT_EQ(QImageReader(QDir(folder).filePath(files[1])).size(), QSize(72, 144));
}

TEST(ImageExport, StopFinishesThePageInHandAndCountsOnlyWrittenImages)
{
    ExportFixture f(blankDocument(10, QSizeF(72, 72)));
    const QString folder = f.folder(QStringLiteral("stop"));
    f.editor->exportPageImages(folder, std::make_shared<ImageExportOptions>());
    // Pages 1 and 2 rendered and written; page 3 rendered, then Stop.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(f.runner->runNext());
    EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Exporting page 3 of 10\u2026"));
    f.editor->progress()->cancel();
    f.runner->runAll();
    // Stopping is what was asked for: no pages are named as missing.
    EXPECT_EQ(f.toastText(), QStringLiteral("Exported 3 images."));
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::success);
    EXPECT_EQ(filesIn(folder), QStringList({QStringLiteral("Scan \u2013 01.png"), QStringLiteral("Scan \u2013 02.png"),
                                            QStringLiteral("Scan \u2013 03.png")}));
    EXPECT_EQ(QImageReader(QDir(folder).filePath(QStringLiteral("Scan \u2013 03.png"))).size(), QSize(150, 150));
    EXPECT_EQ(f.panels.revealed.size(), 1);

    // A folder that cannot be written to: every page is skipped, and the message says why.
    const QString missing = f.dir.filePath(QStringLiteral("missing/deeper"));
    f.editor->exportPageImages(missing, std::make_shared<ImageExportOptions>());
    f.runner->runAll();
    EXPECT_EQ(f.toastText(), QStringLiteral("Exported 0 images. That folder can\u2019t be written to."));
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::info);
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(f.panels.revealed.size(), 2);
}

TEST(ImageExport, AFileThatCannotBeSavedIsNamedAndTheOthersStay)
{
    ExportFixture f(blankDocument(3, QSizeF(72, 72)));
    const QString folder = f.folder(QStringLiteral("blocked"));
    // A folder where page 2's file should go: that one write fails, the others go ahead.
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("Scan \u2013 2.png")));
    f.editor->exportPageImages(folder, std::make_shared<ImageExportOptions>());
    f.runner->runAll();
    EXPECT_EQ(f.toastText(),
              QStringLiteral("Exported 2 images. Page 2 couldn\u2019t be saved in that folder, so it wasn\u2019t exported."));
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::info);
    EXPECT_EQ(filesIn(folder), QStringList({QStringLiteral("Scan \u2013 1.png"), QStringLiteral("Scan \u2013 3.png")}));
    for (const QString& name : filesIn(folder)) {
        const QImage written(QDir(folder).filePath(name));
        ASSERT_EQ(written.size(), QSize(150, 150)) << name.toStdString();
        EXPECT_EQ(written.pixel(75, 75), qRgb(255, 255, 255)) << name.toStdString();
    }
    EXPECT_TRUE(QFileInfo(QDir(folder).filePath(QStringLiteral("Scan \u2013 2.png"))).isDir());
    EXPECT_EQ(f.panels.revealed, QStringList{folder});
}

TEST(ImageExport, APageThatCannotBeDrawnIsNamedWithWhyAndTheOthersAreWritten)
{
    // Page 2 decodes into more than a gigabyte: its drawing is refused, at once or at its deadline.
    ExportFixture f(pdf::Document::fromData(testPagesPdf({TestPage::plain, TestPage::giantDecode, TestPage::plain})).value());
    const QString folder = f.folder(QStringLiteral("mixed"));
    auto options = std::make_shared<ImageExportOptions>();
    options->setDpi(72);
    f.editor->exportPageImages(folder, options);
    f.runner->runAll();
    EXPECT_FALSE(f.editor->progress().has_value());
    const QString toast = f.toastText();
    EXPECT_TRUE(toast == QStringLiteral("Exported 2 images. Page 2 needed too much memory to draw, so it wasn\u2019t exported.")
                || toast == QStringLiteral("Exported 2 images. Page 2 couldn\u2019t be drawn in time, so it wasn\u2019t exported."))
        << toast.toStdString();
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::info);
    EXPECT_EQ(f.editor->toast()->symbol, QStringLiteral("exclamationmark.triangle.fill"));
    EXPECT_EQ(filesIn(folder), QStringList({QStringLiteral("Scan \u2013 1.png"), QStringLiteral("Scan \u2013 3.png")}));
    // The pages written are whole pictures of their pages: the plain page's blue square is there.
    const QImage third(QDir(folder).filePath(QStringLiteral("Scan \u2013 3.png")));
    ASSERT_EQ(third.size(), QSize(612, 792));
    int blue = 0;
    for (int y = 0; y < third.height(); y += 2)
        for (int x = 0; x < third.width(); x += 2)
            blue += qBlue(third.pixel(x, y)) > 180 && qRed(third.pixel(x, y)) < 80 ? 1 : 0;
    EXPECT_GT(blue, 100);
}

TEST(ImageExport, TheClosingMessageNamesThePagesLeftOutByReason)
{
    using Miss = ImageExportReport::Miss;
    ImageExportReport all;
    for (int i = 0; i < 3; ++i)
        all.wrote();
    EXPECT_TRUE(all.complete());
    EXPECT_EQ(all.message(), QStringLiteral("Exported 3 images."));

    ImageExportReport some;
    some.wrote();
    some.missed(2, Miss::tooSlow);
    EXPECT_FALSE(some.complete());
    EXPECT_EQ(some.message(), QStringLiteral("Exported 1 image. Page 3 couldn\u2019t be drawn in time, so it wasn\u2019t exported."));

    // One sentence per reason, in the order the reasons first came, each with its pages in order.
    ImageExportReport mixed;
    mixed.missed(1, Miss::tooLarge);
    mixed.missed(3, Miss::unreadable);
    mixed.missed(4, Miss::tooLarge);
    mixed.missed(6, Miss::notSaved);
    for (int i = 7; i < 14; ++i)
        mixed.missed(i, Miss::tooSlow);
    EXPECT_EQ(mixed.message(),
              QStringLiteral("Exported 0 images. Pages 2 and 5 needed too much memory to draw, so they weren\u2019t exported. "
                             "Page 4 couldn\u2019t be read, so it wasn\u2019t exported. Page 7 couldn\u2019t be saved in that "
                             "folder, so it wasn\u2019t exported. Pages 8, 9, 10, 11, 12 and 2 more couldn\u2019t be drawn in "
                             "time, so they weren\u2019t exported."));
    ImageExportReport three;
    three.wrote();
    for (int i : {0, 2, 4})
        three.missed(i, Miss::unreadable);
    EXPECT_EQ(three.message(), QStringLiteral("Exported 1 image. Pages 1, 3 and 5 couldn\u2019t be read, so they weren\u2019t exported."));
    ImageExportReport lost;
    lost.wrote();
    lost.wrote();
    lost.missed(2, Miss::removed);
    EXPECT_EQ(lost.message(), QStringLiteral("Exported 2 images. Page 3 was deleted during the export, so it wasn\u2019t exported."));
    // Nothing written anywhere for a reason other than the folder: the reasons are still named.
    ImageExportReport none;
    none.missed(0, Miss::notSaved);
    none.missed(1, Miss::tooLarge);
    EXPECT_EQ(none.message(), QStringLiteral("Exported 0 images. Page 1 couldn\u2019t be saved in that folder, so it wasn\u2019t "
                                             "exported. Page 2 needed too much memory to draw, so it wasn\u2019t exported."));

    // A drawing's outcome gives the reason; a cancelled or failed one counts as unreadable.
    EXPECT_EQ(ImageExportReport::missFor(pdf::RecordOutcome::tooSlow), Miss::tooSlow);
    EXPECT_EQ(ImageExportReport::missFor(pdf::RecordOutcome::tooLarge), Miss::tooLarge);
    EXPECT_EQ(ImageExportReport::missFor(pdf::RecordOutcome::failed), Miss::unreadable);
}

TEST(ImageExport, PagesLostDuringTheRunEndItWithWhatWasWritten)
{
    ExportFixture f(blankDocument(3, QSizeF(72, 72)));
    const QString folder = f.folder(QStringLiteral("lost"));
    f.editor->exportPageImages(folder, std::make_shared<ImageExportOptions>());
    ASSERT_TRUE(f.runner->runNext()); // page 1 rendered
    f.editor->deletePages({1, 2});
    f.runner->runAll();
    EXPECT_FALSE(f.editor->progress().has_value());
    EXPECT_FALSE(f.editor->runningTask());
    // Not a success: the pages the document lost are named, and the image already written stays.
    EXPECT_EQ(f.toastText(),
              QStringLiteral("Exported 1 image. Pages 2 and 3 were deleted during the export, so they weren\u2019t exported."));
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::info);
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("Scan \u2013 1.png")});
    EXPECT_EQ(QImage(QDir(folder).filePath(QStringLiteral("Scan \u2013 1.png"))).size(), QSize(150, 150));
    EXPECT_EQ(f.panels.revealed, QStringList{folder});

    // Without a document nothing is walked.
    ExportFixture empty(blankDocument(1));
    empty.document.reset();
    empty.editor->exportPageImages(folder, std::make_shared<ImageExportOptions>());
    empty.runner->runAll();
    EXPECT_EQ(empty.toastText(), QStringLiteral("Exported 0 images."));
}

TEST(TextExport, WritesTheTextAndSaysWhetherThereWasAny)
{
    ExportFixture f(openPdf(makePdf({true, false})), QStringLiteral("Contract.pdf"));
    const QString path = f.dir.filePath(QStringLiteral("out.txt"));
    f.panels.saveAnswer = path;
    f.editor->exportText();
    ASSERT_EQ(f.panels.savePanels.size(), 1);
    EXPECT_EQ(f.panels.savePanels[0].suggestedName, QStringLiteral("Contract.txt"));
    EXPECT_EQ(f.panels.savePanels[0].extension, QStringLiteral("txt"));
    const QByteArray written = readFile(path);
    EXPECT_TRUE(written.startsWith("Page 1 has words"));
    EXPECT_TRUE(written.endsWith("\n\f\n"));
    EXPECT_EQ(f.toastText(), QStringLiteral("Text exported."));

    ExportFixture scanned(openPdf(makePdf({false})));
    scanned.editor->writeExportedText(path);
    EXPECT_EQ(readFile(path), QByteArray());
    EXPECT_EQ(scanned.toastText(), QStringLiteral("Exported, but it\u2019s empty. Try Make Searchable first."));

    // A failed write: the error alert only.
    ExportFixture failing(openPdf(makePdf({true})));
    failing.editor->writeExportedText(failing.dir.filePath(QStringLiteral("missing/out.txt")));
    EXPECT_EQ(failing.panels.errors.size(), 1);
    EXPECT_FALSE(failing.editor->toast().has_value());

    // A cancelled panel writes nothing.
    ExportFixture cancelled(openPdf(makePdf({true})));
    cancelled.editor->exportText();
    EXPECT_EQ(cancelled.panels.savePanels.size(), 1);
    EXPECT_FALSE(cancelled.editor->toast().has_value());
}

TEST(FlattenedExport, SavesACopyWithTheMarkupsInThePage)
{
    ExportFixture f(blankDocument(2, QSizeF(144, 72)), QStringLiteral("Contract.pdf"));
    const pdf::AnnotationPtr box = pdf::Annotation::create(QStringLiteral("Square"), QRectF(10, 10, 50, 50));
    f.page(0)->addAnnotation(box);
    const QStringList temporaryBefore = vmkTemporaryFiles();
    const QString path = f.dir.filePath(QStringLiteral("flat.pdf"));
    f.panels.saveAnswer = path;

    f.editor->exportFlattened();
    EXPECT_TRUE(f.canvas->calls.contains(QStringLiteral("commitTextSession")));
    ASSERT_TRUE(f.editor->progress().has_value());
    EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Flattening\u2026"));
    EXPECT_FALSE(f.editor->progress()->fraction.has_value());
    EXPECT_FALSE(bool(f.editor->progress()->cancel));
    f.runner->runAll();

    EXPECT_FALSE(f.editor->progress().has_value());
    ASSERT_EQ(f.panels.savePanels.size(), 1);
    EXPECT_EQ(f.panels.savePanels[0].suggestedName, QStringLiteral("Contract (flattened).pdf"));
    EXPECT_EQ(f.panels.savePanels[0].message,
              QStringLiteral("Markups, signatures and form entries become part of the page. No more editing them."));
    EXPECT_EQ(f.toastText(), QStringLiteral("Flattened copy saved."));
    const pdf::DocumentPtr copy = openPdf(readFile(path));
    ASSERT_EQ(copy->pageCount(), 2);
    EXPECT_TRUE(copy->page(0)->annotations().empty());
    EXPECT_EQ(vmkTemporaryFiles(), temporaryBefore);
    // The open document and its history are untouched.
    EXPECT_EQ(box->page(), f.page(0));
    EXPECT_FALSE(f.undo().canUndo());
}

TEST(FlattenedExport, RefusalsCancelsAndFailures)
{
    // Locked: nothing.
    ExportFixture locked(openPdf(lockedPdf(QStringLiteral("pw"))));
    locked.editor->exportFlattened();
    EXPECT_FALSE(locked.editor->progress().has_value());
    EXPECT_EQ(locked.runner->held(), 0);

    // A document opened with its password flattens like any other.
    ExportFixture unlocked(openPdf(lockedPdf(QStringLiteral("pw"))));
    ASSERT_TRUE(unlocked.editor->unlock(QStringLiteral("pw")));
    unlocked.editor->exportFlattened();
    unlocked.runner->runAll();
    EXPECT_EQ(unlocked.panels.savePanels.size(), 1);

    // A cancelled panel writes nothing and says nothing; the pill is already gone.
    ExportFixture cancelled(blankDocument(1));
    cancelled.editor->exportFlattened();
    cancelled.runner->runAll();
    EXPECT_FALSE(cancelled.editor->progress().has_value());
    EXPECT_EQ(cancelled.panels.savePanels.size(), 1);
    EXPECT_FALSE(cancelled.editor->toast().has_value());

    // Nothing flattened.
    cancelled.editor->saveFlattenedCopy(std::nullopt);
    EXPECT_EQ(cancelled.toastText(), QStringLiteral("Couldn\u2019t flatten this one."));
    EXPECT_FALSE(makeFlattenedData(QByteArray("not a pdf")).has_value());

    // A write that fails shows the error and no success toast.
    ExportFixture failing(blankDocument(1));
    failing.panels.saveAnswer = failing.dir.filePath(QStringLiteral("missing/flat.pdf"));
    failing.editor->saveFlattenedCopy(QByteArray("%PDF-1.4"));
    EXPECT_EQ(failing.panels.errors.size(), 1);
    EXPECT_FALSE(failing.editor->toast().has_value());
}

TEST(FlattenedExport, CarriesTheProtectionTheDocumentHasNow)
{
    if (!commandExists(QStringLiteral("qpdf")))
        GTEST_SKIP() << "qpdf is needed";
    // Another program's file: AES-256, its own user and owner passwords, no printing or changing.
    QTemporaryDir dir;
    const QString plain = writeFile(dir, QStringLiteral("plain.pdf"), makePdf({true, false}));
    const QString restricted = dir.filePath(QStringLiteral("restricted.pdf"));
    ASSERT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--encrypt"), QStringLiteral("usr"), QStringLiteral("own"),
                                                  QStringLiteral("256"), QStringLiteral("--print=none"),
                                                  QStringLiteral("--modify=none"), QStringLiteral("--"), plain, restricted})
                  .exitCode,
              0);
    const QStringList passwords = {QStringLiteral("usr"), QStringLiteral("own"), QStringLiteral("new"), QStringLiteral("boss")};
    struct Case {
        const char* name;
        std::function<void(Editor&)> change;
        QString opensWith; // empty: not encrypted
    };
    const QList<Case> cases = {
        {"as opened", [](Editor&) {}, QStringLiteral("usr")},
        {"a new password not saved yet", [](Editor& e) { e.passwordProtect(QStringLiteral("new"), QStringLiteral("boss")); },
         QStringLiteral("new")},
        {"the password removed by its owner", [](Editor& e) { e.removePassword(QStringLiteral("own")); }, QString()},
    };
    for (const Case& c : cases) {
        ExportFixture f(openPdf(readFile(restricted)));
        ASSERT_TRUE(f.editor->unlock(QStringLiteral("usr")));
        c.change(*f.editor);
        const QString flat = f.dir.filePath(QStringLiteral("flat.pdf"));
        f.panels.saveAnswer = flat;
        f.editor->exportFlattened();
        f.runner->runAll();
        ASSERT_EQ(f.toastText(), QStringLiteral("Flattened copy saved.")) << c.name;
        // The copy is protected exactly as the next save would write the document.
        const QString saved = f.dir.filePath(QStringLiteral("saved.pdf"));
        ASSERT_FALSE(f.document->saveToPath(saved, platform::SaveOperation::SaveTo).has_value()) << c.name;
        EXPECT_EQ(qpdfEncryption(flat, passwords), qpdfEncryption(saved, passwords)) << c.name;
        EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--is-encrypted"), flat}).exitCode == 0,
                  !c.opensWith.isEmpty()) << c.name;
        EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), QStringLiteral("--password=") + c.opensWith, flat})
                      .exitCode,
                  0) << c.name;
    }
}

TEST(ExportNames, BaseNameDropsOnlyTheLastExtension)
{
    EXPECT_EQ(ExportFixture(blankDocument(1), QStringLiteral("Scan.PDF")).editor->documentBaseName(), QStringLiteral("Scan"));
    EXPECT_EQ(ExportFixture(blankDocument(1), QStringLiteral("Report.final.pdf")).editor->documentBaseName(),
              QStringLiteral("Report.final"));
    EXPECT_EQ(ExportFixture(blankDocument(1), QStringLiteral("Notes")).editor->documentBaseName(), QStringLiteral("Notes"));
    ExportFixture gone(blankDocument(1));
    gone.document.reset();
    EXPECT_EQ(gone.editor->documentBaseName(), QStringLiteral("Document"));
}
