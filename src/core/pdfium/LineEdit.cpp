#include "core/pdfium/LineEdit.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace vmk::core::lineedit {

namespace {

// Glyphs set apart from where the font's advances alone would put them (a TJ adjustment, character
// spacing) by more than this are written where they stood.
constexpr qreal kKeptPlace = 0.05;

struct Segment {
    QString text;
    qreal x = 0;
    int source = 0;
    QList<std::pair<QString, qreal>> glyphs; // each character and its origin
};

struct Word {
    QList<Segment> segments; // one per source, left to right
    QString text() const
    {
        QString t;
        for (const Segment& s : segments)
            t += s.text;
        return t;
    }
};

QList<Word> wordsOf(const QList<LineChar>& chars)
{
    QList<Word> words;
    bool inWord = false;
    for (const LineChar& c : chars) {
        if (c.text.trimmed().isEmpty()) {
            inWord = false;
            continue;
        }
        if (!inWord) {
            words.append(Word{});
            inWord = true;
        }
        QList<Segment>& segments = words.last().segments;
        if (segments.isEmpty() || segments.last().source != c.source)
            segments.append(Segment{QString(), c.x, c.source, {}});
        segments.last().text += c.text;
        segments.last().glyphs.append({c.text, c.x});
    }
    return words;
}

// The glyphs of characters as drawn: characters sharing one place are one glyph (a ligature's).
QStringList glyphsOf(const QList<std::pair<QString, qreal>>& chars)
{
    QStringList glyphs;
    qreal previous = 0;
    for (const auto& [text, x] : chars) {
        if (!glyphs.isEmpty() && x <= previous + kKeptPlace)
            glyphs.last() += text;
        else
            glyphs.append(text);
        previous = x;
    }
    return glyphs;
}

std::optional<qreal> drawnWidth(int source, const QStringList& glyphs, const LineMetrics& m)
{
    return m.glyphsWidth ? m.glyphsWidth(source, glyphs) : m.width(source, glyphs.join(QString()));
}

// A segment written again, moved by dx: in runs that each start where their first glyph stood, a new run
// wherever the font's advances would put a glyph off its place. False when a run cannot be measured.
bool appendRuns(const Segment& s, qreal dx, const LineMetrics& m, QList<LinePiece>& pieces)
{
    QList<std::pair<QString, qreal>> run;
    auto flush = [&] {
        const QStringList glyphs = glyphsOf(run);
        if (!drawnWidth(s.source, glyphs, m))
            return false;
        pieces.append(LinePiece{glyphs.join(QString()), run.first().second + dx, s.source, glyphs});
        run.clear();
        return true;
    };
    qreal previous = 0;
    for (const auto& glyph : s.glyphs) {
        const qreal x = glyph.second;
        // Characters of one glyph (a ligature's) share its place: they stay in their run.
        if (!run.isEmpty() && x > previous + kKeptPlace) {
            const auto width = drawnWidth(s.source, glyphsOf(run), m);
            if (!width)
                return false;
            if (std::fabs(run.first().second + *width - x) > kKeptPlace && !flush())
                return false;
        }
        run.append(glyph);
        previous = x;
    }
    return run.isEmpty() || flush();
}

std::optional<qreal> wordWidth(const Word& w, const LineMetrics& m)
{
    qreal total = 0;
    for (const Segment& s : w.segments) {
        const auto width = drawnWidth(s.source, glyphsOf(s.glyphs), m);
        if (!width)
            return std::nullopt;
        total += *width;
    }
    return total;
}

// A word drawn by several objects (a ligature from a font of its own, a kerned pair set apart) of which the
// edit changes the part one draws: that part stands for the word, and the other parts become words of their
// own that touch it, so that they are left as they were drawn, in their own fonts and codes, rather than
// written again in the font of the word's first letter (which may lack them).
void splitChangedWord(QList<Word>& words, QStringList& oldWords, QStringList& newWords, qsizetype& prefix,
                      qsizetype& suffix)
{
    const Word word = words[prefix];
    if (word.segments.size() < 2)
        return;
    const QString oldWord = oldWords[prefix], newWord = newWords[prefix];
    qsizetype head = 0;
    while (head < oldWord.size() && head < newWord.size() && oldWord[head] == newWord[head])
        ++head;
    qsizetype tail = 0;
    while (tail < oldWord.size() - head && tail < newWord.size() - head
           && oldWord[oldWord.size() - 1 - tail] == newWord[newWord.size() - 1 - tail])
        ++tail;
    // The segments the change touches: [first, last]; an insertion touches the segment it is typed into.
    qsizetype first = -1, last = -1, at = 0;
    for (qsizetype i = 0; i < word.segments.size(); ++i) {
        const qsizetype end = at + word.segments[i].text.size();
        const bool touched = head < oldWord.size() - tail ? at < oldWord.size() - tail && end > head
                                                          : head >= at && (head < end || i + 1 == word.segments.size());
        if (touched) {
            first = first < 0 ? i : first;
            last = i;
        }
        at = end;
    }
    if (first < 0 || (first == 0 && last == word.segments.size() - 1))
        return;
    QList<Word> parts;
    QStringList oldParts;
    qsizetype before = 0, after = 0;
    for (qsizetype i = 0; i < first; ++i) {
        parts.append(Word{{word.segments[i]}});
        oldParts.append(word.segments[i].text);
        before += word.segments[i].text.size();
    }
    Word changed;
    for (qsizetype i = first; i <= last; ++i)
        changed.segments.append(word.segments[i]);
    parts.append(changed);
    oldParts.append(changed.text());
    for (qsizetype i = last + 1; i < word.segments.size(); ++i) {
        parts.append(Word{{word.segments[i]}});
        oldParts.append(word.segments[i].text);
        after += word.segments[i].text.size();
    }
    if (newWord.size() - before - after <= 0)
        return; // the part is deleted whole: the word is written again
    QStringList newParts = oldParts;
    newParts[first] = newWord.mid(before, newWord.size() - before - after);
    words = words.mid(0, prefix) + parts + words.mid(prefix + 1);
    oldWords = oldWords.mid(0, prefix) + oldParts + oldWords.mid(prefix + 1);
    newWords = newWords.mid(0, prefix) + newParts + newWords.mid(prefix + 1);
    prefix += first;
    suffix += parts.size() - 1 - first;
}

} // namespace

std::optional<qreal> characterSpacing(const QList<qreal>& pastAdvance, qreal tolerance)
{
    if (pastAdvance.isEmpty())
        return std::nullopt;
    QList<qreal> sorted = pastAdvance;
    std::sort(sorted.begin(), sorted.end());
    const qreal median = sorted[sorted.size() / 2];
    if (std::fabs(median) <= tolerance)
        return std::nullopt;
    qreal sum = 0;
    int agreeing = 0;
    for (qreal d : pastAdvance)
        if (std::fabs(d - median) <= tolerance) {
            sum += d;
            ++agreeing;
        }
    if (3 * agreeing < 2 * pastAdvance.size())
        return std::nullopt;
    return sum / agreeing;
}

std::optional<LinePlan> planLineEdit(const QList<LineChar>& chars, const QString& oldLine, const QString& newLine,
                                     const LineMetrics& metrics)
{
    QList<Word> words = wordsOf(chars);
    QStringList oldWords = oldLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList newWords = newLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() != oldWords.size())
        return std::nullopt;
    for (qsizetype i = 0; i < words.size(); ++i)
        if (words[i].text() != oldWords[i])
            return std::nullopt;
    if (oldWords == newWords)
        return std::nullopt;

    qsizetype n = oldWords.size(), nn = newWords.size();
    qsizetype prefix = 0;
    while (prefix < std::min(n, nn) && oldWords[prefix] == newWords[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < std::min(n, nn) - prefix && oldWords[n - 1 - suffix] == newWords[nn - 1 - suffix])
        ++suffix;

    // The words' own spacing: the narrowest gap between two measurable neighbours, else the font's space.
    std::optional<qreal> gap;
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        const auto width = wordWidth(words[i], metrics);
        if (!width)
            continue;
        const qreal between = words[i + 1].segments.first().x - (words[i].segments.first().x + *width);
        if (between > 0 && (!gap || between < *gap))
            gap = between;
    }
    if (prefix + 1 == n - suffix && prefix + 1 == nn - suffix)
        splitChangedWord(words, oldWords, newWords, prefix, suffix);
    n = oldWords.size();
    nn = newWords.size();
    const qsizetype changedEnd = n - suffix; // old words [prefix, changedEnd) are replaced
    const int source = prefix < changedEnd ? words[prefix].segments.first().source
        : prefix > 0                       ? words[prefix - 1].segments.last().source
        : n > 0                            ? words.first().segments.first().source
                                           : (chars.isEmpty() ? 0 : chars.first().source);
    const qreal space = gap.value_or(metrics.space(source));

    // Where the new words start, and how far they move the words after them.
    qreal start = 0, oldWidth = 0;
    if (prefix < changedEnd) {
        start = words[prefix].segments.first().x;
        for (qsizetype i = prefix; i < changedEnd; ++i) {
            const auto width = wordWidth(words[i], metrics);
            if (!width)
                return std::nullopt;
            oldWidth += *width + (i > prefix ? space : 0);
        }
    } else if (prefix > 0) {
        const auto width = wordWidth(words[prefix - 1], metrics);
        if (!width)
            return std::nullopt;
        start = words[prefix - 1].segments.first().x + *width + space;
        oldWidth = -space; // an insertion also adds the space after it
    } else if (n > 0) {
        start = words.first().segments.first().x;
        oldWidth = -space;
    } else {
        return std::nullopt;
    }
    LinePlan plan;
    qreal x = start, newWidth = 0;
    for (qsizetype i = prefix; i < nn - suffix; ++i) {
        const auto width = metrics.width(source, newWords[i]);
        if (!width)
            return std::nullopt;
        plan.pieces.append(LinePiece{newWords[i], x, source, {}});
        x += *width + space;
        newWidth += *width + (i > prefix ? space : 0);
    }
    if (nn - suffix == prefix && prefix < changedEnd)
        newWidth = -space; // a deletion takes the space after it too
    const qreal shift = newWidth - oldWidth;
    const bool moves = std::fabs(shift) > 0.01;

    // The objects that must go: those holding replaced words or words that move. An object goes whole, so
    // the other words it holds are written again, each part where it stood; a word that only shares such an
    // object keeps its parts in other objects as they are. Writing those again would also put a copy over
    // an identical old object, which a reader takes for a duplicate and drops from the text.
    QList<bool> rewritten(n, false);
    for (qsizetype i = prefix; i < n; ++i)
        rewritten[i] = i < changedEnd || moves;
    QSet<int> wanted; // written with the line if they can be: a source that cannot stays as it is
    for (qsizetype i = 0; i < n; ++i)
        for (const Segment& s : words[i].segments) {
            if (rewritten[i])
                plan.removed.insert(s.source);
            else if (metrics.writtenWithTheLine && metrics.writtenWithTheLine(s.source))
                wanted.insert(s.source);
        }
    wanted.subtract(plan.removed);
    plan.removed.unite(wanted);
    for (bool grew = metrics.wholeWords; grew;) {
        grew = false;
        for (const Word& w : std::as_const(words)) {
            const bool touched = std::any_of(w.segments.begin(), w.segments.end(),
                                             [&](const Segment& s) { return plan.removed.contains(s.source); });
            for (const Segment& s : w.segments)
                if (touched && !plan.removed.contains(s.source)) {
                    plan.removed.insert(s.source);
                    grew = true;
                }
        }
    }
    for (qsizetype i = 0; i < n; ++i) {
        if (i >= prefix && i < changedEnd)
            continue;
        for (const Segment& s : words[i].segments) {
            if (!plan.removed.contains(s.source) || appendRuns(s, i >= changedEnd ? shift : 0, metrics, plan.pieces))
                continue;
            if (!wanted.contains(s.source))
                return std::nullopt;
            plan.removed.remove(s.source);
            plan.pieces.removeIf([&](const LinePiece& p) { return p.source == s.source; });
        }
    }

    qreal right = 0;
    for (const LinePiece& p : std::as_const(plan.pieces))
        right = std::max(right, p.x + (p.glyphs.isEmpty() ? metrics.width(p.source, p.text)
                                                          : drawnWidth(p.source, p.glyphs, metrics)).value_or(0));
    for (const LineChar& c : chars)
        if (!plan.removed.contains(c.source))
            right = std::max(right, metrics.sourceRight(c.source));
    // A line that already reached further (into the margin, up to the page's edge) may reach as far again.
    qreal oldRight = 0;
    for (const Word& w : words)
        oldRight = std::max(oldRight, w.segments.first().x + wordWidth(w, metrics).value_or(0));
    if (right > std::max(metrics.rightLimit, oldRight + 0.01))
        return std::nullopt;
    return plan;
}

} // namespace vmk::core::lineedit
