#include "platform/pdf/document/Selection.h"

#include "platform/pdf/document/Page.h"

#include <algorithm>

namespace vmk::pdf {

bool Selection::isEmpty() const
{
    return std::none_of(m_ranges.begin(), m_ranges.end(), [](const SelectionRange& r) { return r.page && r.length > 0; });
}

QList<PagePtr> Selection::pages() const
{
    QList<PagePtr> result;
    for (const SelectionRange& r : m_ranges) {
        if (r.page && r.length > 0 && !result.contains(r.page))
            result.append(r.page);
    }
    return result;
}

QRectF Selection::bounds(const PagePtr& page) const
{
    QRectF united;
    for (const SelectionRange& r : m_ranges) {
        if (r.page != page || !page)
            continue;
        const TextLayout& chars = page->textLayout();
        for (int i = qMax(0, r.start); i < qMin(chars.size(), r.start + r.length); ++i) {
            const QRectF bounds = chars.bounds(i);
            if (!bounds.isEmpty())
                united = united.isNull() ? bounds : united.united(bounds);
        }
    }
    return united;
}

QString Selection::string() const
{
    QStringList parts;
    for (const SelectionRange& r : m_ranges) {
        if (!r.page)
            continue;
        QString text = r.page->textLayout().mid(qMax(0, r.start), r.length - qMax(0, -r.start));
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        parts.append(text);
    }
    return parts.join(QLatin1Char('\n'));
}

QList<Selection> Selection::selectionsByLine() const
{
    QList<Selection> lines;
    for (const SelectionRange& r : m_ranges) {
        if (!r.page)
            continue;
        const TextLayout& chars = r.page->textLayout();
        int start = -1, line = -1;
        auto flush = [&](int end) {
            if (start >= 0 && end > start) {
                Selection s({SelectionRange{r.page, start, end - start}});
                s.setColor(m_color);
                lines.append(s);
            }
            start = -1;
        };
        const int last = qMin(chars.size(), r.start + r.length);
        for (int i = qMax(0, r.start); i < last; ++i) {
            if (chars.bounds(i).isEmpty()) { // a line break ends the line's run
                flush(i);
                continue;
            }
            if (start >= 0 && chars.line(i) != line)
                flush(i);
            if (start < 0) {
                start = i;
                line = chars.line(i);
            }
        }
        flush(last);
    }
    return lines;
}

void Selection::extendAtStart(int count)
{
    if (m_ranges.isEmpty() || count <= 0)
        return;
    SelectionRange& first = m_ranges.first();
    const int newStart = qMax(0, first.start - count);
    first.length += first.start - newStart;
    first.start = newStart;
}

void Selection::extendAtEnd(int count)
{
    if (m_ranges.isEmpty() || count <= 0 || !m_ranges.last().page)
        return;
    SelectionRange& last = m_ranges.last();
    const int total = last.page->textLayout().size();
    last.length = qMin(total - last.start, last.length + count);
}

void Selection::add(const Selection& other)
{
    for (const SelectionRange& incoming : other.m_ranges) {
        bool merged = false;
        for (SelectionRange& r : m_ranges) {
            if (r.page != incoming.page)
                continue;
            const int end = qMax(r.start + r.length, incoming.start + incoming.length);
            if (incoming.start <= r.start + r.length && r.start <= incoming.start + incoming.length) {
                r.start = qMin(r.start, incoming.start);
                r.length = end - r.start;
                merged = true;
                break;
            }
        }
        if (!merged)
            m_ranges.append(incoming);
    }
}

bool operator==(const Selection& a, const Selection& b)
{
    if (a.m_ranges.size() != b.m_ranges.size())
        return false;
    for (qsizetype i = 0; i < a.m_ranges.size(); ++i) {
        const SelectionRange& x = a.m_ranges[i];
        const SelectionRange& y = b.m_ranges[i];
        if (x.page != y.page || x.start != y.start || x.length != y.length)
            return false;
    }
    return true;
}

} // namespace vmk::pdf
