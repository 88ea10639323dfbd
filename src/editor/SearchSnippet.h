#pragma once

#include <QString>

namespace vmk {

// A line of context around a find result, with the found text marked for emphasis.
struct SearchSnippet {
    QString text;
    int matchStart = -1; // -1 when the text does not hold the search text
    int matchLength = 0;
};

// The text trimmed of spaces and tabs at both ends (line breaks are kept): what a search looks for.
QString trimSearchText(const QString& text);

// What is known of a match's context: whether it stops inside the page's text (its end word may be cut
// in half) or at the start or end of that text (its end word is whole), and where in it the match lies
// (-1 when unknown).
struct SnippetPlace {
    bool startsAtTextStart = false;
    bool endsAtTextEnd = false;
    int matchStart = -1;
    int matchLength = 0;
};

// Shapes the context of a match into a snippet: line feeds become spaces; a short word fragment at the
// start (fewer than 14 characters before the first space) and a short tail after the last space give way
// to an ellipsis, except where that would cut the search text itself or where the context reached the
// start or end of the text (a whole word there, no fragment); the match is marked where the place says,
// else the first occurrence of the search text (ignoring case and diacritics).
SearchSnippet makeSnippetText(const QString& context, const QString& searchText, SnippetPlace place = {});

} // namespace vmk
