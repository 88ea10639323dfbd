#include "OrganizerTestSupport.h"

#include "platform/pdf/document/Annotation.h"
#include "views/OrganizerCollectionView.h"
#include "views/PageCell.h"

#include <QDir>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;

// Renders the grid with thumbnails, a selection and a lifted card into a picture for a person to look
// at, and checks that the cards and the selection reach the screen.
TEST(OrganizerScreenshot, GridWithThumbnailsAndSelection)
{
    test::OrganizerFixture f(9, views::PageOrganizerView::Style::grid, QSize(940, 720));
    f.page(4)->setRotation(90);
    auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(80, 80, 300, 200));
    square->setColor(QColor(255, 59, 48));
    f.editor->addAnnotation({{square, f.page(2)}}, QStringLiteral("Rectangle"));
    f.editor->setMode(vmk::EditorMode::pages);
    f.editor->setOrganizerSelection({1, 2});
    ASSERT_TRUE(f.waitForThumbnails());
    QTest::qWait(300); // let the selection colours finish their short fade

    const QImage shot = f.organizer->grab().toImage();
    const QString path = QDir(QStringLiteral(VMK_BUILD_DIR)).filePath(QStringLiteral("organizer-grid.png"));
    ASSERT_TRUE(shot.save(path));

    auto* view = f.organizer->collectionView();
    const QRect second = view->visualRect(view->model()->index(1, 0));
    const auto geometry = f.organizer->cellAt(1)->geometry(second.size());
    // The selected card's border and badge are drawn in the accent colour; the page is white inside.
    const QColor accent = f.organizer->palette().color(QPalette::Highlight);
    const QPoint badge = second.topLeft() + geometry.badge.topLeft().toPoint() + QPoint(3, 9);
    EXPECT_LT(std::abs(shot.pixelColor(badge).hue() - accent.hue()), 20);
    const QPoint inside = second.topLeft() + geometry.card.topLeft().toPoint() + QPoint(12, 12);
    EXPECT_GT(shot.pixelColor(inside).lightness(), 240);
}

// The grid's entrance draws it into memory it does not clear first, trusting the grid to cover every pixel
// (the scroll bar's included): anything left uncovered would show the last frame's leftovers.
TEST(OrganizerScreenshot, TheGridCoversEveryPixelItIsDrawnInto)
{
    test::OrganizerFixture f(40, views::PageOrganizerView::Style::grid, QSize(700, 500));
    f.editor->setMode(vmk::EditorMode::pages);
    ASSERT_TRUE(f.waitForThumbnails());
    ASSERT_TRUE(f.organizer->property("paintsEveryPixel").toBool());
    const QColor stale(255, 0, 255);
    QImage picture(f.organizer->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(stale);
    QPainter painter(&picture);
    f.organizer->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    int leftovers = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            leftovers += picture.pixelColor(x, y) == stale;
    EXPECT_EQ(leftovers, 0);
}
