#include "editor/SearchSnippet.h"

#include "platform/pdf/pages/TextFinder.h"

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

SearchSnippet makeSnippetText(const QString& context, const QString& searchText, SnippetPlace place)
{
    QString text = context;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    qsizetype lead = 0;
    while (lead < text.size() && isBlank(text.at(lead)))
        ++lead;
    text = trimSearchText(text);

    // The found text itself when the caller knows where it is, else its first occurrence. The context
    // often holds the same words earlier (a repeated heading, the previous line): marking those would
    // point at the wrong place.
    QPair<int, int> match = firstMatch(text, searchText);
    if (place.matchStart >= 0 && place.matchLength > 0 && place.matchStart - lead >= 0
        && place.matchStart - lead + place.matchLength <= text.size())
        match = {int(place.matchStart - lead), place.matchLength};

    const qsizetype firstSpace = text.indexOf(QLatin1Char(' '));
    if (!place.startsAtTextStart && firstSpace >= 0 && firstSpace < kShortEnd
        && !text.toLower().startsWith(searchText.toLower())) {
        // Never cut into the found text: a snippet must show what was found.
        if (match.first < 0 || match.first > firstSpace) {
            text = kEllipsis + text.mid(firstSpace + 1);
            if (match.first >= 0)
                match.first -= int(firstSpace);
        }
    }

    const qsizetype lastSpace = text.lastIndexOf(QLatin1Char(' '));
    if (!place.endsAtTextEnd && lastSpace >= 0 && text.size() - lastSpace < kShortEnd
        && (match.first < 0 || match.first + match.second <= lastSpace))
        text = text.left(lastSpace) + kEllipsis;

    SearchSnippet snippet;
    snippet.text = text;
    snippet.matchStart = match.first;
    snippet.matchLength = match.first >= 0 ? match.second : 0;
    return snippet;
}

} // namespace vmk
