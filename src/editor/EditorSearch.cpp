#include "editor/Editor.h"

#include "editor/SearchSnippet.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/TextLayout.h"
#include "platform/pdf/pages/TextFinder.h"
#include "platform/services/Logger.h"

#include <QApplication>

namespace vmk {

namespace {

constexpr double kHitFlushDelay = 0.08;
constexpr int kSnippetCharsBefore = 28;
constexpr int kSnippetCharsAfter = 48;

QColor hitColor()
{
    QColor yellow(255, 204, 0);
    yellow.setAlphaF(0.6f);
    return yellow;
}

QList<pdf::Selection> hitSelections(const QList<SearchHit>& hits)
{
    QList<pdf::Selection> selections;
    selections.reserve(hits.size());
    for (const SearchHit& hit : hits)
        selections.append(hit.selection);
    return selections;
}

SearchSnippet makeSnippet(const pdf::Selection& match, const QString& searchText)
{
    if (match.isEmpty())
        return SearchSnippet{match.string(), -1, 0};
    pdf::Selection context = match;
    context.extendAtStart(kSnippetCharsBefore);
    context.extendAtEnd(kSnippetCharsAfter);
    // A context that ran into the start or end of its page's text holds whole words there: cutting them
    // as fragments left a hit near the end of a short page as the match and an ellipsis alone.
    SnippetPlace place;
    const pdf::SelectionRange& first = context.ranges().first();
    const pdf::SelectionRange& last = context.ranges().last();
    place.startsAtTextStart = first.start <= 0;
    place.endsAtTextEnd = last.page && last.start + last.length >= last.page->textLayout().size();
    // A match on one page: the extension only grew its one range, so the match sits at a known offset.
    if (match.ranges().size() == 1 && context.ranges().size() == 1) {
        place.matchStart = match.ranges().first().start - first.start;
        place.matchLength = int(match.string().size());
    }
    return makeSnippetText(context.string(), searchText, place);
}

SearchHit makeSearchHit(const pdf::Document& document, const pdf::Selection& match, int id, const QString& searchText)
{
    SearchHit hit;
    hit.id = id;
    hit.selection = match;
    hit.selection.setColor(hitColor());
    const QList<pdf::PagePtr> pages = match.pages();
    hit.pageIndex = pages.isEmpty() ? 0 : std::max(0, document.indexOf(pages.first()));
    const SearchSnippet snippet = makeSnippet(match, searchText);
    hit.snippet = snippet.text;
    hit.matchStart = std::max(0, snippet.matchStart);
    hit.matchLength = snippet.matchLength;
    return hit;
}

} // namespace

void Editor::search(const QString& text)
{
    cancelFind();
    setSearchText(text);
    setSearchHits({});
    m_pendingHits.clear();
    m_hitFlush.cancel();
    m_hitFlush = {};
    setCurrentHit(std::nullopt);
    m_canvas->setHighlightedSelections({}, -1);

    const QString needle = trimSearchText(text);
    if (needle.isEmpty() || m_isLocked) {
        setIsSearching(false);
        return;
    }
    setIsSearching(true);
    // A search replaced before its end would otherwise leave its interval open for good.
    if (m_searchSignpost)
        platform::Logger::shared().endInterval(QStringLiteral("Search"), *m_searchSignpost);
    m_searchSignpost = platform::Logger::shared().beginInterval(QStringLiteral("Search"));
    setSidebarTab(SidebarTab::search);
    if (m_windowHost)
        m_windowHost->revealSidebar();

    if (!m_finder) {
        m_finder = new pdf::TextFinder(this);
        connect(m_finder, &pdf::TextFinder::matchesFound, this, &Editor::didMatchString);
        connect(m_finder, &pdf::TextFinder::finished, this, &Editor::documentDidEndDocumentFind);
    }
    m_finder->start(pdfDocument(), needle);
}

void Editor::cancelFind()
{
    if (m_finder)
        m_finder->cancel();
}

void Editor::didMatchString(const QList<pdf::Selection>& matches)
{
    m_pendingHits.append(matches);
    if (m_hitFlush.isPending())
        return;
    // The first hits are shown the moment they are found; later ones are gathered, so that a long list
    // is not rebuilt for every page.
    if (m_searchHits.isEmpty()) {
        flushSearchHits();
        return;
    }
    QPointer<Editor> self(this);
    m_hitFlush = m_scheduler->schedule(kHitFlushDelay, [self] {
        if (self)
            self->flushSearchHits();
    });
}

void Editor::flushSearchHits()
{
    m_hitFlush.cancel();
    m_hitFlush = {};
    if (m_pendingHits.isEmpty())
        return;
    const pdf::DocumentPtr pdf = pdfDocument();
    const QString needle = trimSearchText(m_searchText);
    QList<SearchHit> hits = m_searchHits;
    const int n = int(hits.size());
    for (int k = 0; k < m_pendingHits.size(); ++k)
        hits.append(makeSearchHit(*pdf, m_pendingHits[k], n + k, needle));
    m_pendingHits.clear();
    setSearchHits(hits);

    // The first hit of a search becomes current as soon as it arrives; selecting it hands the canvas
    // the whole list with it marked current.
    if (m_currentHit)
        m_canvas->setHighlightedSelections(hitSelections(hits), *m_currentHit);
    else
        selectHit(0);
}

void Editor::documentDidEndDocumentFind()
{
    flushSearchHits();
    setIsSearching(false);
    if (m_searchSignpost) {
        platform::Logger::shared().endInterval(QStringLiteral("Search"), *m_searchSignpost);
        m_searchSignpost.reset();
    }
}

void Editor::selectHit(int index)
{
    if (index < 0 || index >= m_searchHits.size())
        return;
    setCurrentHit(index);
    if (m_mode == EditorMode::pages)
        setMode(EditorMode::read);
    // The canvas draws the current hit in a stronger colour than the rest, so it must learn which one it is.
    m_canvas->setHighlightedSelections(hitSelections(m_searchHits), index);
    const pdf::Selection& selection = m_searchHits[index].selection;
    m_canvas->goToSelection(selection);
    m_canvas->setCurrentSelection(selection, true);
}

void Editor::nextHit()
{
    const int count = int(m_searchHits.size());
    if (count == 0) {
        QApplication::beep();
        return;
    }
    selectHit((m_currentHit.value_or(-1) + 1) % count);
}

void Editor::previousHit()
{
    const int count = int(m_searchHits.size());
    if (count == 0) {
        QApplication::beep();
        return;
    }
    selectHit((m_currentHit.value_or(0) - 1 + count) % count);
}

} // namespace vmk
