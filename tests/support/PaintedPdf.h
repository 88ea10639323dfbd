#pragma once

#include <QByteArray>
#include <QList>
#include <QSizeF>

#include <functional>

class QPainter;

namespace vmk::test {

// Draws page `page` (0-based) in points, y down from the top left corner.
using PagePainter = std::function<void(QPainter& painter, int page)>;

// A PDF drawn with Qt's own writer, in points (72 per inch) without margins: one page per size. Qt embeds
// the fonts it draws with, as subsets. Without pages the file still has one, blank.
QByteArray paintedPdf(const QList<QSizeF>& pageSizes, const PagePainter& paint);
// `pages` pages of one size.
QByteArray paintedPdf(int pages, const QSizeF& size, const PagePainter& paint);

} // namespace vmk::test
