#include "OrganizerTestSupport.h"

#include "support/TestFiles.h"
#include "views/OrganizerCollectionView.h"
#include "views/OrganizerDragDrop.h"
#include "views/PageCell.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

using namespace vmk;
using namespace vmk::views;

namespace {

std::unique_ptr<QMimeData> filesMime(const QStringList& paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

// Sends a drag from outside the application over a point of the viewport and drops it there; whether
// the drop was accepted.
bool dropFromOutside(test::OrganizerFixture& f, QMimeData* data, QPoint at)
{
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.viewport(), &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.viewport(), &drop);
    return drop.isAccepted();
}

} // namespace

TEST(OrganizerDragData, OneLinePerDraggedPageAndOnlyPdfNamesAmongFiles)
{
    std::unique_ptr<QMimeData> data(pageIndexMimeData({3, 0, 7}));
    EXPECT_TRUE(data->hasFormat(QStringLiteral("app.vellumark.page-index")));
    EXPECT_EQ(data->data(pageIndexPasteboardType()), QByteArray("0\n3\n7"));
    EXPECT_EQ(pageIndexesFromMimeData(data.get()), (IndexSet{0, 3, 7}));

    const auto files = filesMime({QStringLiteral("/tmp/a.pdf"), QStringLiteral("/tmp/notes.txt"),
                                  QStringLiteral("/tmp/B.PDF"), QStringLiteral("/tmp/noextension")});
    EXPECT_EQ(droppedPdfFiles(files.get()), (QStringList{QStringLiteral("/tmp/a.pdf"), QStringLiteral("/tmp/B.PDF")}));
    EXPECT_TRUE(droppedPdfFiles(data.get()).isEmpty());
    EXPECT_TRUE(droppedPdfFiles(nullptr).isEmpty());
}

TEST(OrganizerDrag, OwnDragMovesPagesWithUndoAndSettlesTheCards)
{
    test::OrganizerFixture f(10);
    f.editor->setMode(EditorMode::pages);
    f.editor->setOrganizerSelection({1});
    std::unique_ptr<QMimeData> data(pageIndexMimeData({1}));

    f.organizer->playLift({1});
    ASSERT_TRUE(f.organizer->dragged().has_value());
    EXPECT_DOUBLE_EQ(f.organizer->cellAt(1)->alpha(), 0.45);
    EXPECT_DOUBLE_EQ(f.organizer->cellAt(1)->shadowRadius(), PageCell::kLiftRadius);
    EXPECT_EQ(f.organizer->validateDrop(data.get(), true), PageOrganizerView::DropOperation::move);
    // The same page data from another organizer is no PDF file: refused.
    EXPECT_EQ(f.organizer->validateDrop(data.get(), false), PageOrganizerView::DropOperation::none);

    // Dragging the only selected page to the end moves it last and selects it there.
    EXPECT_TRUE(f.organizer->acceptDrop(data.get(), true, 10));
    f.organizer->playSettle();
    EXPECT_FALSE(f.organizer->dragged().has_value());
    EXPECT_EQ(f.order(), (QList<int>{1, 3, 4, 5, 6, 7, 8, 9, 10, 2}));
    EXPECT_EQ(f.editor->organizerSelection(), IndexSet{9});
    EXPECT_EQ(f.organizer->selectedItems(), IndexSet{9});
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Move Page"));
    for (int i = 0; i < 10; ++i) {
        if (PageCell* cell = f.organizer->cellAt(i)) {
            EXPECT_DOUBLE_EQ(cell->alpha(), 1.0);
        }
    }

    f.endGroup();
    f.undo().undo();
    EXPECT_EQ(f.order(), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(f.editor->organizerSelection(), IndexSet{1});

    // A drop where the pages already are changes nothing.
    f.organizer->playLift({2});
    f.organizer->acceptDrop(data.get(), true, 3);
    f.organizer->playSettle();
    EXPECT_EQ(f.order(), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(OrganizerDrop, DroppedPdfFilesInsertTheirPagesWhereTheyLand)
{
    test::OrganizerFixture f(4);
    f.editor->setMode(EditorMode::pages);
    const QString pdfPath = test::writeFile(f.dir, QStringLiteral("extra.pdf"), test::numberedPdf(2, QSizeF(400, 300)));
    const QString textPath = test::writeFile(f.dir, QStringLiteral("notes.txt"), "just words");

    // Only a text file: refused.
    auto onlyText = filesMime({textPath});
    EXPECT_FALSE(dropFromOutside(f, onlyText.get(), f.itemCentre(1)));
    EXPECT_EQ(f.pdf()->pageCount(), 4);

    // A PDF and a text file over the middle of the second card: the PDF's pages go in before it.
    auto both = filesMime({pdfPath, textPath});
    EXPECT_TRUE(dropFromOutside(f, both.get(), f.itemCentre(1)));
    EXPECT_EQ(f.pdf()->pageCount(), 6);
    EXPECT_EQ(f.order(), (QList<int>{1, 0, 0, 2, 3, 4}));
    EXPECT_EQ(f.editor->organizerSelection(), (IndexSet{1, 2}));
    EXPECT_NEAR(f.page(1)->cropBox().width(), 400, 0.5);
    EXPECT_EQ(f.organizer->collectionView()->model()->rowCount(), 6);
}

TEST(OrganizerDrop, AFileNamedPdfThatIsNotOneIsAcceptedThenReported)
{
    test::OrganizerFixture f(3);
    const QString fake = test::writeFile(f.dir, QStringLiteral("fake.pdf"), "not a pdf at all");
    auto data = filesMime({fake});
    EXPECT_EQ(f.organizer->validateDrop(data.get(), false), PageOrganizerView::DropOperation::copy);
    EXPECT_TRUE(dropFromOutside(f, data.get(), f.itemCentre(0)));
    EXPECT_EQ(f.pdf()->pageCount(), 3);
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Couldn’t read fake.pdf. Locked or not a PDF."));
}
