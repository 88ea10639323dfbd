#include "editor/SearchSnippet.h"

#include "platform/pdf/TextFinder.h"

namespace vmk {

namespace {

constexpr int kShortEnd = 14;
const QChar kEllipsis(0x2026);

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// Where the search text first occurs, as (start, length), or start -1.
QPair<int, int> firstMatch(const QString& text, const QString& searchText)
{
    if (searchText.isEmpty())
        return {-1, 0};
    const QList<QPair<int, int>> matches = pdf::TextFinder::matchesIn(text, searchText);
    return matches.isEmpty() ? QPair<int, int>(-1, 0) : matches.first();
}

} // namespace

QString trimSearchText(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text.at(start)))
        ++start;
    while (end > start && isBlank(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

SearchSnippet makeSnippetText(const QString& context, const QString& searchText)
{
    QString text = context;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text = trimSearchText(text);

    const qsizetype firstSpace = text.indexOf(QLatin1Char(' '));
    if (firstSpace >= 0 && firstSpace < kShortEnd && !text.toLower().startsWith(searchText.toLower())) {
        // Never cut into the found text: a snippet must show what was found.
        const QPair<int, int> match = firstMatch(text, searchText);
        if (match.first < 0 || match.first > firstSpace)
            text = kEllipsis + text.mid(firstSpace + 1);
    }

    const qsizetype lastSpace = text.lastIndexOf(QLatin1Char(' '));
    if (lastSpace >= 0 && text.size() - lastSpace < kShortEnd) {
        const QPair<int, int> match = firstMatch(text, searchText);
        if (match.first < 0 || match.first + match.second <= lastSpace)
            text = text.left(lastSpace) + kEllipsis;
    }

    SearchSnippet snippet;
    snippet.text = text;
    const QPair<int, int> match = firstMatch(text, searchText);
    snippet.matchStart = match.first;
    snippet.matchLength = match.first >= 0 ? match.second : 0;
    return snippet;
}

} // namespace vmk
