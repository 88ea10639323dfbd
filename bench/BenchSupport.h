#pragma once

// Helpers every benchmark program shares (header only: each .cpp here is a program of its own).

#include <QBuffer>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QStringList>

#include <functional>

namespace vmk::bench {

// Draws `pages` pages of a standard size into the writer, in points (72 per inch) without margins;
// `paint` draws page `page` (0-based).
inline void paintPages(QPdfWriter& writer, int pages, QPageSize::PageSizeId size,
                       const std::function<void(QPainter& painter, int page)>& paint)
{
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(size), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        paint(painter, page);
    }
    painter.end();
}

// The same, as the bytes of a file in memory.
inline QByteArray paintedPdf(int pages, QPageSize::PageSizeId size,
                             const std::function<void(QPainter& painter, int page)>& paint)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    paintPages(writer, pages, size, paint);
    return bytes;
}

// A field of /proc/self/status in KiB (VmRSS: resident now, VmHWM: the peak), or -1.
inline long statusKiB(const char* field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A sentence of `shortest` to `shortest + spread - 1` words drawn from `words`, capitalised, with a full stop.
inline QString sentence(QRandomGenerator& random, const QStringList& words, int shortest, int spread)
{
    QStringList picked;
    for (int i = 0, n = shortest + int(random.bounded(spread)); i < n; ++i)
        picked << words[int(random.bounded(int(words.size())))];
    picked[0][0] = picked[0][0].toUpper();
    return picked.join(QLatin1Char(' ')) + QLatin1Char('.');
}

} // namespace vmk::bench
