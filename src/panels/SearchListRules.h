#pragma once

#include "editor/EditorTypes.h"

#include <QString>

namespace vmk::panels {

// What the search list shows for the window's find state.
enum class SearchListState {
    prompt,    // no query: the invitation to search
    noResults, // a finished search found nothing
    results,   // hits, or a search still running (its header says so)
};

// The query as the list judges it: spaces and tabs trimmed from both ends, line breaks kept.
QString searchQuery(const QString& searchText);
SearchListState searchListState(const QString& searchText, int hitCount, bool isSearching);
// The header: "Searching…" while a search runs, else "1 match" or "<n> matches".
QString matchCountText(int hitCount, bool isSearching);
// "Page <n>" for a 0-based index.
QString hitPageText(int pageIndex);
// The hit's snippet as rich text with the match in semibold; the snippet's own text is escaped.
QString snippetHtml(const SearchHit& hit);

} // namespace vmk::panels
