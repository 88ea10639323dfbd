#include "app/AppDelegate.h"
#include "app/CombineModel.h"
#include "app/CombineView.h"

#include "core/PDFOps.h"
#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Scheduler.h"
#include "support/Wait.h"

#include <QDir>
#include <QPointer>
#include <QProgressBar>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;

namespace {

// A PDF whose pages are as wide as 100 points times their number in the file, so merged pages can be
// traced back to their file and position.
QString writePdf(const QTemporaryDir& dir, const QString& name, int pages, double tag, const QString& password = {})
{
    pdf::DocumentPtr doc = pdf::Document::createEmpty();
    for (int i = 0; i < pages; ++i)
        doc->insertPage(pdf::Page::createBlank(QRectF(0, 0, tag + i, 500)), i);
    const auto bytes = password.isEmpty() ? doc->dataRepresentation() : doc->dataRepresentation(pdf::WriteOptions::protect(password));
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes.value());
    return path;
}

// Takes the merged documents instead of opening windows.
struct RecordingMaker : UntitledDocumentMaker {
    QList<std::pair<pdf::DocumentPtr, QString>> made;
    Editor* newDocument(const pdf::DocumentPtr& pdf, const QString& name) override
    {
        made.append({pdf, name});
        return nullptr;
    }
};

// Runs the merge when the test says so.
struct HeldMerge {
    QStringList paths;
    std::function<void(CombineResult)> done;
    CombineMerge merge()
    {
        return [this](const QStringList& p, std::function<void(CombineResult)> d) {
            paths = p;
            done = std::move(d);
        };
    }
    void finish() { done(core::PDFOps::combine(paths)); }
};

QList<double> widths(const pdf::DocumentPtr& doc)
{
    QList<double> result;
    for (int i = 0; i < doc->pageCount(); ++i)
        result << doc->page(i)->mediaBox().width();
    return result;
}

} // namespace

TEST(Combine, TextsOfTheListAndToast)
{
    QList<CombineItem> items;
    EXPECT_EQ(combineSubtitle(items), QStringLiteral("Add a few PDFs. Drag to put them in order."));
    items = {{QUuid::createUuid(), "a.pdf", 3}, {QUuid::createUuid(), "b.pdf", 5}, {QUuid::createUuid(), "c.pdf", std::nullopt}};
    EXPECT_EQ(combineSubtitle(items), QStringLiteral("3 files, 8 pages. Drag to reorder."));
    EXPECT_EQ(combineDetail(items[2]), QString::fromUtf8("Can\u2019t read this one"));
    EXPECT_EQ(combineDetail({QUuid(), "x.pdf", 1}), QStringLiteral("1 page"));
    EXPECT_EQ(combineDetail({QUuid(), "x.pdf", 0}), QStringLiteral("0 pages"));
    EXPECT_EQ(combinedToastText(1), QStringLiteral("Combined 1 files into one."));
}

TEST(Combine, OnlyPdfFilesAreAddedAndUnreadableOnesAreMarked)
{
    QTemporaryDir dir;
    const QString a = writePdf(dir, "a.pdf", 2, 100);
    const QString capitals = writePdf(dir, "LOUD.PDF", 1, 300);
    const QString locked = writePdf(dir, "locked.pdf", 1, 400, "pw");
    QFile png(dir.filePath("picture.png"));
    png.open(QIODevice::WriteOnly);
    png.write("\x89PNG");
    png.close();
    QFile broken(dir.filePath("broken.pdf"));
    broken.open(QIODevice::WriteOnly);
    broken.write("not a pdf at all");
    broken.close();
    QDir(dir.path()).mkdir("folder.pdf");

    CombineModel model({});
    model.appendPaths({dir.filePath("folder.pdf"), png.fileName(), a, capitals, locked, broken.fileName(), a});
    ASSERT_EQ(model.items().size(), 5);
    EXPECT_EQ(model.items()[0].pages, 2);
    EXPECT_EQ(model.items()[1].pages, 1);
    EXPECT_FALSE(model.items()[2].pages.has_value());
    EXPECT_FALSE(model.items()[3].pages.has_value());
    EXPECT_EQ(model.items()[4].path, a); // the same file twice is two rows
    EXPECT_NE(model.items()[4].id, model.items()[0].id);
}

TEST(Combine, MergesReadableFilesInListOrderAndCloses)
{
    QTemporaryDir dir;
    const QString a = writePdf(dir, "a.pdf", 2, 100);
    const QString b = writePdf(dir, "b.pdf", 1, 200);
    const QString locked = writePdf(dir, "locked.pdf", 1, 400, "pw");
    RecordingMaker maker;
    HeldMerge held;
    int closes = 0;
    CombineView view([&] { ++closes; }, &maker, held.merge());
    EXPECT_FALSE(view.combineButton()->isEnabled());
    EXPECT_FALSE(view.isShowingList());

    view.model().appendPaths({a, locked});
    view.handleDrop({QUrl::fromLocalFile(b), QUrl(QStringLiteral("https://example.com/x.pdf"))});
    ASSERT_EQ(view.model().items().size(), 3);
    EXPECT_TRUE(view.isShowingList());
    EXPECT_EQ(view.subtitleLabel()->text(), QStringLiteral("3 files, 3 pages. Drag to reorder."));

    // Put b first, as a drag in the list would.
    const auto items = view.model().items();
    view.model().setOrder({items[2].id, items[0].id, items[1].id});
    EXPECT_EQ(view.list()->count(), 3);

    view.combineButton()->click();
    EXPECT_TRUE(view.model().isWorking());
    EXPECT_FALSE(view.combineButton()->isEnabled());
    EXPECT_FALSE(view.busyIndicator()->isHidden());
    EXPECT_EQ(held.paths, (QStringList{b, a})); // the locked file is left out
    // The list can still change while the merge runs; the merge keeps its own files.
    view.model().remove(items[0].id);
    held.finish();

    ASSERT_EQ(maker.made.size(), 1);
    EXPECT_EQ(maker.made[0].second, QStringLiteral("Combined"));
    EXPECT_EQ(widths(maker.made[0].first), (QList<double>{200, 100, 101}));
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(view.model().isWorking());
}

TEST(Combine, FailureKeepsTheWindowAndItsMessageUntilTheNextOutcome)
{
    QTemporaryDir dir;
    const QString a = writePdf(dir, "a.pdf", 1, 100);
    const QString b = writePdf(dir, "b.pdf", 1, 200);
    RecordingMaker maker;
    HeldMerge held;
    int closes = 0;
    CombineView view([&] { ++closes; }, &maker, held.merge());
    view.model().appendPaths({a, b});

    // b turns unreadable after it was added: nothing is made, the message names it.
    QFile::remove(b);
    QFile(b).open(QIODevice::WriteOnly);
    view.combineButton()->click();
    held.finish();
    EXPECT_TRUE(maker.made.isEmpty());
    EXPECT_EQ(closes, 0);
    ASSERT_TRUE(view.model().error().has_value());
    EXPECT_EQ(*view.model().error(), core::PDFOpsError::unreadable(QStringLiteral("b.pdf")).message());
    EXPECT_FALSE(view.errorLabel()->isHidden());
    EXPECT_TRUE(view.combineButton()->isEnabled());

    // Pressing again keeps the old message until the new outcome; adding files does not clear it.
    view.combineButton()->click();
    EXPECT_EQ(view.errorLabel()->text(), core::PDFOpsError::unreadable(QStringLiteral("b.pdf")).message());
    held.finish();
    view.model().appendPaths({a});
    EXPECT_TRUE(view.model().error().has_value());
}

TEST(Combine, RemovingTheLastRowBringsBackTheInvitation)
{
    QTemporaryDir dir;
    const QString a = writePdf(dir, "a.pdf", 1, 100);
    CombineView view({}, nullptr, [](const QStringList&, std::function<void(CombineResult)>) {});
    view.model().appendPaths({a});
    EXPECT_TRUE(view.isShowingList());
    view.model().remove(view.model().items()[0].id);
    EXPECT_FALSE(view.isShowingList());
    EXPECT_EQ(view.subtitleLabel()->text(), QStringLiteral("Add a few PDFs. Drag to put them in order."));
    EXPECT_FALSE(view.combineButton()->isEnabled());

    // "Add Files…" goes through the chooser; a cancelled panel adds nothing.
    std::optional<QStringList> answer;
    view.setFileChooser([&](QWidget*) { return answer; });
    view.dropArea()->addButton()->click();
    EXPECT_TRUE(view.model().items().isEmpty());
    answer = QStringList{a, a};
    view.dropArea()->addButton()->click();
    EXPECT_EQ(view.model().items().size(), 2);
}

TEST(Combine, BackgroundMergeFinishesEvenAfterTheWindowIsGone)
{
    QTemporaryDir dir;
    const QString a = writePdf(dir, "a.pdf", 2, 100);
    RecordingMaker maker;
    auto view = std::make_unique<CombineView>([] {}, &maker);
    view->model().appendPaths({a});
    view->combineButton()->click();
    view.reset();
    // The merge runs on a worker and comes back through the event loop.
    ASSERT_TRUE(test::eventually([&] { return maker.made.size() == 1; }, 30000));
    EXPECT_EQ(maker.made[0].first->pageCount(), 2);
}

TEST(Combine, DelegateShowsOneWindowAndForgetsItWhenClosed)
{
    AppDelegate delegate(nullptr);
    EXPECT_TRUE(delegate.validateCommand(QStringLiteral("combinePDFs:"), 0).enabled);
    EXPECT_TRUE(delegate.validateCommand(QStringLiteral("showAcknowledgements:"), 0).enabled);
    delegate.performCommand(QStringLiteral("combinePDFs:"), 0);
    QPointer<QWidget> window = delegate.combineWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Combine PDFs"));
    EXPECT_EQ(window->minimumSize(), QSize(420, 360));
    auto* view = window->findChild<CombineView*>();
    ASSERT_NE(view, nullptr);
    QTemporaryDir dir;
    view->model().appendPaths({writePdf(dir, "a.pdf", 1, 100)});

    delegate.showCombineWindow();
    EXPECT_EQ(delegate.combineWindow(), window.data());
    EXPECT_EQ(view->model().items().size(), 1);

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    EXPECT_EQ(delegate.combineWindow(), nullptr);
    delegate.showCombineWindow();
    ASSERT_NE(delegate.combineWindow(), nullptr);
    EXPECT_TRUE(delegate.combineWindow()->findChild<CombineView*>()->model().items().isEmpty());
}

TEST(Combine, FilesWithoutPagesAreLeftOutAndAloneCannotBeCombined)
{
    QTemporaryDir dir;
    const QString a = writePdf(dir, "a.pdf", 2, 100);
    const QString empty = writePdf(dir, "empty.pdf", 0, 100);
    RecordingMaker maker;
    HeldMerge held;
    CombineView view([] {}, &maker, held.merge());
    view.model().appendPaths({empty});
    ASSERT_EQ(view.model().items().size(), 1);
    EXPECT_EQ(view.model().items()[0].pages, 0);
    EXPECT_FALSE(view.combineButton()->isEnabled());
    view.model().combine();
    EXPECT_TRUE(held.paths.isEmpty());

    view.model().appendPaths({a});
    ASSERT_TRUE(view.combineButton()->isEnabled());
    view.combineButton()->click();
    EXPECT_EQ(held.paths, QStringList{a});
    held.finish();
    ASSERT_EQ(maker.made.size(), 1);
    EXPECT_EQ(maker.made[0].first->pageCount(), 2);
}
