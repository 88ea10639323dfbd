#include "OrganizerTestSupport.h"

#include "views/OrganizerCollectionView.h"
#include "support/PaintedPdf.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTest>

namespace vmk::test {

QByteArray numberedPdf(int pageCount, QSizeF pageSize)
{
    return paintedPdf(pageCount, pageSize, [pageSize](QPainter& painter, int i) {
        QFont big(QStringLiteral("DejaVu Sans"));
        big.setPixelSize(int(pageSize.height() / 4));
        big.setBold(true);
        painter.setFont(big);
        painter.setPen(QColor::fromHsv((i * 47) % 360, 200, 180));
        painter.drawText(QRectF(0, pageSize.height() * 0.2, pageSize.width(), pageSize.height() * 0.4), Qt::AlignCenter,
                         QString::number(i + 1));
        QFont small(QStringLiteral("DejaVu Sans"));
        small.setPixelSize(14);
        painter.setFont(small);
        painter.setPen(Qt::black);
        for (int line = 0; line < 6; ++line)
            painter.drawText(QPointF(60, pageSize.height() * 0.7 + line * 20),
                             QStringLiteral("Line %1 of page %2, with a few more words.").arg(line + 1).arg(i + 1));
    });
}

OrganizerFixture::OrganizerFixture(int pageCount, views::PageOrganizerView::Style style, QSize viewSize)
{
    defaults = std::make_unique<platform::UserDefaults>(dir.filePath(QStringLiteral("defaults.ini")));
    document = std::make_unique<core::VMKDocument>();
    document->setPdf(pdf::Document::fromData(numberedPdf(pageCount)).value());
    document->setFilePath(dir.filePath(QStringLiteral("Organizer.pdf")));
    editor = std::make_unique<Editor>(document.get(), Editor::CanvasFactory{}, &scheduler, defaults.get());
    for (int i = 0; i < pageCount; ++i)
        originalPages << page(i).get();
    organizer = std::make_unique<views::PageOrganizerView>(editor.get(), style);
    organizer->resize(viewSize);
    organizer->show();
    QApplication::processEvents();
}

OrganizerFixture::~OrganizerFixture()
{
    organizer.reset();
    editor.reset();
}

QList<int> OrganizerFixture::order() const
{
    QList<int> numbers;
    for (int i = 0; i < pdf()->pageCount(); ++i)
        numbers << int(originalPages.indexOf(page(i).get())) + 1;
    return numbers;
}

QWidget* OrganizerFixture::viewport() const
{
    return organizer->collectionView()->viewport();
}

QPoint OrganizerFixture::itemCentre(int index) const
{
    auto* view = organizer->collectionView();
    return view->visualRect(view->model()->index(index, 0)).center();
}

void OrganizerFixture::key(int k)
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(organizer->collectionView(), &press);
}

bool OrganizerFixture::waitForThumbnails(int timeoutMs)
{
    return QTest::qWaitFor([this] { return organizer->thumbnails().pendingCount() == 0; }, timeoutMs);
}

} // namespace vmk::test
