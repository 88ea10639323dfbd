#include "core/KeptText.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vmk::core::PDFOps {

namespace {

bool isWordCharacter(QStringView text) { return !text.isEmpty() && text.at(0).isLetterOrNumber(); }
bool isSpace(QStringView text) { return text.isEmpty() || text.at(0).isSpace(); }

// The way a run reads on the displayed page (y up), as recognition states it: turned clockwise.
int clockwiseTurn(const QPointF& from, const QPointF& to)
{
    const QPointF d = to - from;
    if (std::abs(d.x()) >= std::abs(d.y()))
        return d.x() >= 0 ? 0 : 180;
    return d.y() < 0 ? 90 : 270;
}

class Runs {
public:
    Runs(const pdf::TextLayout& chars, const DisplayedPage& page) : m_chars(chars), m_page(page) {}

    void add(int first, int last, int spaceAfter, int lineTurn)
    {
        QString text;
        QRectF box;
        for (int i = first; i <= last; ++i) {
            text += m_chars.characterText(i);
            box = box.united(m_chars.bounds(i));
        }
        const int turn = first == last ? lineTurn : clockwiseTurn(centre(first), centre(last));
        if (spaceAfter >= 0) {
            // The space is written out; its width counts only while it is a space and not a gap between
            // columns, which would stretch the word over it.
            text += QLatin1Char(' ');
            const QRectF space = m_page.toDisplay.mapRect(m_chars.bounds(spaceAfter));
            const QRectF word = m_page.toDisplay.mapRect(box);
            const bool across = turn == 90 || turn == 270;
            if ((across ? space.height() : space.width()) <= (across ? word.width() : word.height()))
                box = box.united(m_chars.bounds(spaceAfter));
        }
        const QRectF shown = m_page.toDisplay.mapRect(box);
        const double w = m_page.size.width();
        const double h = m_page.size.height();
        m_lines.append({text, QRectF(shown.x() / w, shown.y() / h, shown.width() / w, shown.height() / h), turn});
    }

    QPointF centre(int i) const { return m_page.toDisplay.map(m_chars.bounds(i).center()); }
    QList<RecognizedLine> lines() const { return m_lines; }

private:
    const pdf::TextLayout& m_chars;
    const DisplayedPage& m_page;
    QList<RecognizedLine> m_lines;
};

} // namespace

QList<RecognizedLine> keptOwnText(const pdf::TextLayout& chars, const QList<QRectF>& rects, const DisplayedPage& page)
{
    if (chars.isEmpty() || !(page.size.width() > 0 && page.size.height() > 0))
        return {};
    const int n = chars.size();
    const QRectF displayed(QPointF(0, 0), page.size);
    auto placed = [&](int i) {
        const QRectF b = chars.bounds(i);
        return !b.isEmpty() && displayed.contains(page.toDisplay.map(b.center()));
    };
    auto covered = [&](int i) {
        const QPointF c = chars.bounds(i).center();
        return std::any_of(rects.begin(), rects.end(), [&](const QRectF& r) { return r.contains(c); });
    };
    std::vector<char> kept(size_t(n), 0);
    for (int i = 0; i < n;) {
        if (!isWordCharacter(chars.characterText(i))) {
            kept[size_t(i)] = placed(i) && !covered(i);
            ++i;
            continue;
        }
        // A word goes whole when any part of it is under a mark: its other letters would give it away.
        int end = i;
        bool hit = false;
        while (end < n && chars.line(end) == chars.line(i) && isWordCharacter(chars.characterText(end)))
            hit = covered(end++) || hit;
        // A ligature taken apart gives its later letters no width: they go where the first one goes.
        for (int k = i; k < end; ++k)
            kept[size_t(k)] = !hit && (placed(k) || (k > i && kept[size_t(k - 1)] && chars.bounds(k).width() <= 0));
        i = end;
    }

    Runs runs(chars, page);
    for (int lineStart = 0; lineStart < n;) {
        int lineEnd = lineStart;
        while (lineEnd < n && chars.line(lineEnd) == chars.line(lineStart))
            ++lineEnd;
        // The line's own direction stands for runs of a single character.
        int firstPlaced = -1, lastPlaced = -1;
        for (int i = lineStart; i < lineEnd; ++i) {
            if (!chars.bounds(i).isEmpty() && !isSpace(chars.characterText(i))) {
                firstPlaced = firstPlaced < 0 ? i : firstPlaced;
                lastPlaced = i;
            }
        }
        const int lineTurn = firstPlaced >= 0 && lastPlaced > firstPlaced
                                 ? clockwiseTurn(runs.centre(firstPlaced), runs.centre(lastPlaced))
                                 : 0;
        for (int i = lineStart; i < lineEnd;) {
            if (!kept[size_t(i)] || isSpace(chars.characterText(i))) {
                ++i;
                continue;
            }
            int last = i;
            while (last + 1 < lineEnd && kept[size_t(last + 1)] && !isSpace(chars.characterText(last + 1)))
                ++last;
            const int next = last + 1;
            const bool spaceFollows = next < lineEnd && kept[size_t(next)] && isSpace(chars.characterText(next));
            runs.add(i, last, spaceFollows ? next : -1, lineTurn);
            i = next;
        }
        lineStart = lineEnd;
    }
    return runs.lines();
}

QList<RecognizedLine> linesBesideOwnText(const QList<RecognizedLine>& lines, const pdf::TextLayout& chars,
                                         const DisplayedPage& page)
{
    const QTransform toPage = page.toDisplay.inverted();
    std::vector<QRectF> own;
    for (int i = 0; i < chars.size(); ++i)
        if (!chars.bounds(i).isEmpty() && !isSpace(chars.characterText(i)))
            own.push_back(chars.bounds(i));
    QList<RecognizedLine> beside;
    for (const RecognizedLine& line : lines) {
        const QRectF shown(line.box.x() * page.size.width(), line.box.y() * page.size.height(),
                           line.box.width() * page.size.width(), line.box.height() * page.size.height());
        const QRectF box = toPage.mapRect(shown);
        if (std::none_of(own.begin(), own.end(), [&](const QRectF& r) { return r.intersects(box); }))
            beside.append(line);
    }
    return beside;
}

} // namespace vmk::core::PDFOps
