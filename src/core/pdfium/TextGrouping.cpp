#include "core/pdfium/TextGrouping.h"

#include "core/pdfium/EditTextRules.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace vmk::core::textgrouping {

using editrules::trimmedWhitespace;
using editrules::trimmedWhitespaceAndNewlines;

QRectF unite(const std::optional<QRectF>& a, const QRectF& b)
{
    const QRectF n = b.normalized();
    if (!a)
        return n;
    const qreal left = std::min(a->left(), n.left()), top = std::min(a->top(), n.top());
    const qreal right = std::max(a->right(), n.right()), bottom = std::max(a->bottom(), n.bottom());
    return QRectF(left, top, right - left, bottom - top);
}

QString dominantFontName(const QList<EditRun>& runs)
{
    QList<QString> names; // first-met order, so that ties are settled the same way every time
    QHash<QString, qsizetype> totals;
    for (const EditRun& run : runs) {
        if (!totals.contains(run.fontName))
            names.append(run.fontName);
        totals[run.fontName] += run.text.toStdU32String().size();
    }
    QString best;
    qsizetype bestTotal = -1;
    for (const QString& name : names)
        if (totals.value(name) > bestTotal) {
            best = name;
            bestTotal = totals.value(name);
        }
    return best;
}

namespace {

bool isBlankForPlacing(const EditRun& run) { return trimmedWhitespaceAndNewlines(run.text).isEmpty(); }
bool isBlankForText(const EditRun& run) { return trimmedWhitespace(run.text).isEmpty(); }

// Top to bottom, then left to right; baselines within half a point count as one.
bool readsBefore(const EditRun& p, const EditRun& q)
{
    const qreal delta = std::fabs(p.baseline - q.baseline);
    if (delta > 0.5)
        return p.baseline > q.baseline;
    return p.x < q.x;
}

bool lineAccepts(const EditLine& line, const EditRun& run)
{
    const qreal m = std::max(line.size, run.size);
    return std::fabs(line.baseline - run.baseline) <= 0.35 * m && std::fabs(line.size - run.size) <= 0.2 * m
        && run.bounds.left() - line.maxX < 2.5 * m && line.minX - 2.5 * m < run.bounds.right();
}

QList<EditLine> placeRunsInLines(QList<EditRun> runs)
{
    std::stable_sort(runs.begin(), runs.end(), readsBefore);
    QList<EditLine> lines;
    for (const EditRun& run : runs) {
        bool placed = false;
        for (qsizetype i = lines.size() - 1; i >= 0 && !placed; --i) {
            EditLine& line = lines[i];
            if (!lineAccepts(line, run))
                continue;
            line.runs.append(run);
            if (!isBlankForPlacing(run)) {
                line.minX = std::min(line.minX, run.bounds.left());
                line.maxX = std::max(line.maxX, run.bounds.right());
            }
            placed = true;
        }
        if (placed)
            continue;
        EditLine line;
        line.runs.append(run);
        line.baseline = run.baseline;
        line.size = run.size;
        const bool blank = isBlankForPlacing(run);
        line.minX = blank ? run.x : run.bounds.left();
        line.maxX = blank ? run.x : run.bounds.right();
        lines.append(line);
    }
    return lines;
}

// Joins a line's runs left to right, putting a space where the gap is wider than a thin space.
void buildLineText(EditLine& line)
{
    std::stable_sort(line.runs.begin(), line.runs.end(),
                     [](const EditRun& a, const EditRun& b) { return a.bounds.left() < b.bounds.left(); });
    QString text;
    bool seenVisible = false;
    qreal lastRight = 0;
    for (const EditRun& run : line.runs) {
        if (seenVisible && !text.endsWith(QLatin1Char(' ')) && !run.text.startsWith(QLatin1Char(' '))
            && run.bounds.left() - lastRight > 0.18 * line.size)
            text += QLatin1Char(' ');
        text += run.text;
        if (!isBlankForText(run)) {
            seenVisible = true;
            lastRight = run.bounds.right();
        }
    }
    text.remove(QChar(0x0D));
    text.replace(QChar(0x0A), QLatin1Char(' '));
    line.text = text;
}

bool isEmptyLine(const EditLine& line)
{
    if (!trimmedWhitespace(line.text).isEmpty())
        return false;
    return std::all_of(line.runs.begin(), line.runs.end(), [](const EditRun& r) { return r.bounds.width() < 0.01; });
}

struct Group {
    QList<EditLine> lines;
    QList<QString> fonts; // each line's dominant font, computed once
};

bool groupAccepts(const Group& group, const EditLine& n, const QString& nFont)
{
    const EditLine& p = group.lines.last();
    const qreal step = p.baseline - n.baseline;
    const qreal s = n.size;
    if (group.lines.size() == 1) {
        if (!(0.85 * s < step && step < 1.9 * s))
            return false;
    } else {
        const EditLine& q = group.lines[group.lines.size() - 2];
        const qreal previous = q.baseline - p.baseline;
        if (std::fabs(step - previous) > std::max(0.2 * previous, 1.5))
            return false;
    }
    const bool edgesAgree = std::fabs(p.minX - n.minX) <= 0.6 * s
        || std::fabs((p.minX + p.maxX) / 2 - (n.minX + n.maxX) / 2) <= 0.6 * s;
    return edgesAgree && std::fabs(p.size - n.size) < 0.6 && group.fonts.last() == nFont && p.minX < n.maxX
        && n.minX < p.maxX;
}

QList<Group> groupLines(QList<EditLine> lines)
{
    std::stable_sort(lines.begin(), lines.end(),
                     [](const EditLine& a, const EditLine& b) { return a.baseline > b.baseline; });
    QList<Group> groups;
    for (const EditLine& line : lines) {
        const QString font = dominantFontName(line.runs);
        bool placed = false;
        for (qsizetype i = groups.size() - 1; i >= 0; --i) {
            if (!groupAccepts(groups[i], line, font))
                continue;
            // An older group takes the line only across a normal line step, so that a column's paragraph does
            // not reach over whatever came between.
            const bool newest = i == groups.size() - 1;
            if (newest || groups[i].lines.last().baseline - line.baseline < 2 * line.size) {
                groups[i].lines.append(line);
                groups[i].fonts.append(font);
                placed = true;
            }
            break;
        }
        if (!placed)
            groups.append(Group{{line}, {font}});
    }
    return groups;
}

// A line flows on into the next when it spans the paragraph's width and the next line's first word would not
// have fitted after it; a line that could have taken that word ended where the author broke it (a contents
// entry, an address, a table row), whatever its width.
bool flowsOn(const EditLine& previous, const EditLine& next, qreal widest)
{
    const qreal width = previous.maxX - previous.minX;
    if (width < 0.72 * widest)
        return false;
    const QString text = trimmedWhitespace(previous.text), following = trimmedWhitespace(next.text);
    // A word broken at the line's end goes on, however short the line.
    if (text.isEmpty() || following.isEmpty() || text.endsWith(QChar(0x0002)))
        return true;
    const qreal perChar = width / qreal(text.size());
    const qsizetype firstWord = std::max<qsizetype>(following.indexOf(QLatin1Char(' ')), 0);
    const qsizetype wordLength = firstWord > 0 ? firstWord : following.size();
    return width + perChar * qreal(wordLength + 1) > widest + 0.5 * perChar;
}

qreal spread(const QList<EditLine>& lines, qreal (*edge)(const EditLine&))
{
    qreal lo = edge(lines.first()), hi = lo;
    for (const EditLine& line : lines) {
        lo = std::min(lo, edge(line));
        hi = std::max(hi, edge(line));
    }
    return hi - lo;
}

} // namespace

EditableTextBlock makeBlock(const QList<EditLine>& lines, const EditFontTable& fonts, const FontFactsQuery& facts,
                            qint64& nextID)
{
    EditableTextBlock block;
    QList<EditRun> all;
    for (const EditLine& line : lines)
        all.append(line.runs);

    std::optional<QRectF> bounds;
    for (const EditRun& run : all)
        if (run.bounds.width() > 0 || run.bounds.height() > 0)
            bounds = unite(bounds, run.bounds);
    const EditLine& first = lines.first();
    block.bounds = bounds ? *bounds : QRectF(first.minX, first.baseline, 1, first.size);
    // The leftmost origin, unless it lies far from the ink (a text matrix that starts elsewhere).
    std::optional<qreal> origin;
    for (const EditRun& run : all)
        if (!isBlankForPlacing(run))
            origin = std::min(origin.value_or(run.x), run.x);
    if (origin && std::fabs(*origin - block.bounds.left()) <= 0.5 * first.size)
        block.textLeft = origin;

    qreal widest = 0;
    for (const EditLine& line : lines)
        widest = std::max(widest, line.maxX - line.minX);
    // PDFium reads a hyphen that ends a line as U+0002, which no font draws. It stays a hyphen, and a
    // word broken across the lines is joined again without a space ("com-" "pile" gives "com-pile"): a
    // hyphen may be part of the word ("run-time"), so none is dropped, and no space lands inside a word.
    const QChar lineEndHyphen(0x0002);
    QString text = trimmedWhitespace(first.text);
    auto lineObjects = [](const EditLine& line) {
        QList<FPDF_PAGEOBJECT> objects;
        for (const EditRun& run : line.runs)
            objects.append(run.object);
        return objects;
    };
    block.lines.append(EditBlockLine{lineObjects(first), 0, text.size(), first.baseline});
    // Where most lines end where the author broke them, the block is a list: its widest line ends so too.
    QList<bool> flows;
    for (qsizetype i = 1; i < lines.size(); ++i)
        flows.append(flowsOn(lines[i - 1], lines[i], widest));
    const bool list = flows.size() >= 2 && 2 * flows.count(false) > flows.size();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const bool goesOn = flows[i - 1] && (!list || text.endsWith(lineEndHyphen));
        if (goesOn && text.endsWith(lineEndHyphen))
            text.back() = QLatin1Char('-');
        else
            text += goesOn ? QStringLiteral(" ") : QStringLiteral("\n");
        const QString lineText = trimmedWhitespace(lines[i].text);
        block.lines.append(EditBlockLine{lineObjects(lines[i]), text.size(), lineText.size(), lines[i].baseline});
        text += lineText;
    }
    text.replace(lineEndHyphen, QLatin1Char('-'));
    block.text = text;

    block.alignment = EditableTextBlock::Alignment::left;
    if (lines.size() >= 2) {
        if (spread(lines, [](const EditLine& l) { return l.minX; }) <= 2.0)
            block.alignment = EditableTextBlock::Alignment::left;
        else if (spread(lines, [](const EditLine& l) { return (l.minX + l.maxX) / 2; }) <= 2.0)
            block.alignment = EditableTextBlock::Alignment::center;
        else if (spread(lines, [](const EditLine& l) { return l.maxX; }) <= 2.0)
            block.alignment = EditableTextBlock::Alignment::right;
    }

    block.baseFontName = dominantFontName(first.runs);
    auto representative = std::find_if(all.begin(), all.end(),
                                       [&](const EditRun& r) { return r.fontName == block.baseFontName; });
    const EditRun& rep = representative != all.end() ? *representative : all.first();
    block.color = rep.color;
    block.font = rep.font;
    if (rep.font) {
        const auto info = fonts.find(rep.font);
        block.isEmbeddedFont = info != fonts.end() && info->second.isEmbedded;
        const FontFacts f = facts ? facts(rep.font) : FontFacts{};
        block.fontFlags = f.flags;
        block.fontWeight = f.weight;
    } else {
        block.isEmbeddedFont = false;
        block.fontFlags = 0;
        block.fontWeight = 400;
    }

    block.lineHeight = lines.size() == 1 ? 1.2 * first.size
                                         : (first.baseline - lines.last().baseline) / qreal(lines.size() - 1);
    block.firstBaseline = first.baseline;
    block.fontSize = first.size;
    block.lineCount = int(lines.size());

    for (const EditRun& run : all) {
        if (run.problem) {
            block.reason = run.problem;
            break;
        }
    }
    block.isEditable = !block.reason.has_value();
    for (const EditRun& run : all)
        block.objects.append(run.object);
    block.id = nextID++;
    return block;
}

QList<EditableTextBlock> groupIntoBlocks(const QList<EditRun>& runs, const EditFontTable& fonts,
                                         const FontFactsQuery& facts, qint64& nextID)
{
    QList<EditLine> lines = placeRunsInLines(runs);
    for (EditLine& line : lines)
        buildLineText(line);
    lines.removeIf(isEmptyLine);
    QList<EditableTextBlock> blocks;
    for (const Group& group : groupLines(lines))
        blocks.append(makeBlock(group.lines, fonts, facts, nextID));
    return blocks;
}

void inferSingleLineAlignment(QList<EditableTextBlock>& blocks, qreal pageWidth)
{
    // Decide every block against the blocks as found, not against alignments settled moments ago.
    const QList<EditableTextBlock> found = blocks;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        EditableTextBlock& block = blocks[i];
        if (block.lineCount != 1)
            continue;
        int leftMatches = 0, rightMatches = 0;
        for (qsizetype j = 0; j < found.size(); ++j) {
            if (j == i)
                continue;
            if (std::fabs(found[j].bounds.left() - block.bounds.left()) < 1.5)
                ++leftMatches;
            if (std::fabs(found[j].bounds.right() - block.bounds.right()) < 1.5)
                ++rightMatches;
        }
        if (leftMatches < rightMatches)
            block.alignment = EditableTextBlock::Alignment::right;
        else if (leftMatches == 0 && std::fabs(block.bounds.center().x() - pageWidth * 0.5) < 3.0)
            block.alignment = EditableTextBlock::Alignment::center;
    }
}

} // namespace vmk::core::textgrouping
