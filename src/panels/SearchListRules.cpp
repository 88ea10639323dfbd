#include "panels/SearchListRules.h"

#include <QCoreApplication>

namespace vmk::panels {

QString searchQuery(const QString& searchText)
{
    auto trimmable = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype begin = 0;
    qsizetype end = searchText.size();
    while (begin < end && trimmable(searchText[begin]))
        ++begin;
    while (end > begin && trimmable(searchText[end - 1]))
        --end;
    return searchText.mid(begin, end - begin);
}

SearchListState searchListState(const QString& searchText, int hitCount, bool isSearching)
{
    if (searchQuery(searchText).isEmpty())
        return SearchListState::prompt;
    if (hitCount == 0 && !isSearching)
        return SearchListState::noResults;
    return SearchListState::results;
}

QString matchCountText(int hitCount, bool isSearching)
{
    if (isSearching)
        return QCoreApplication::translate("SearchSidebar", "Searching…");
    const QString ending = hitCount == 1 ? QString() : QStringLiteral("es");
    return QCoreApplication::translate("SearchSidebar", "%1 match%2").arg(hitCount).arg(ending);
}

QString hitPageText(int pageIndex)
{
    return QCoreApplication::translate("SearchSidebar", "Page %1").arg(qint64(pageIndex) + 1);
}

QString snippetHtml(const SearchHit& hit)
{
    const QString& s = hit.snippet;
    const qsizetype start = std::clamp<qsizetype>(hit.matchStart, 0, s.size());
    const qsizetype length = std::clamp<qsizetype>(hit.matchLength, 0, s.size() - start);
    return s.left(start).toHtmlEscaped() + QStringLiteral("<span style=\"font-weight:600\">")
        + s.mid(start, length).toHtmlEscaped() + QStringLiteral("</span>") + s.mid(start + length).toHtmlEscaped();
}

} // namespace vmk::panels
