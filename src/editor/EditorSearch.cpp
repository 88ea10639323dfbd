#include "editor/Editor.h"

#include "editor/SearchSnippet.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/TextLayout.h"
#include "platform/pdf/pages/TextFinder.h"
#include "platform/services/Logger.h"

#include <QApplication>
#include <QElapsedTimer>

namespace vmk {

namespace {

constexpr double kHitFlushDelay = 0.08;
// One flush makes at most this much of its hits at a time (but never fewer than kHitsPerSliceAtLeast), and
// leaves the rest to the next turn of the event loop: the hits of a common word arrive by the thousand
// when a slow page held back the pages after it, and making them all at once froze the window. The results
// list and the canvas then take about twice as long again for the same hits.
constexpr qint64 kHitSliceMs = 4;
constexpr int kHitsPerSliceAtLeast = 200;
constexpr int kSnippetCharsBefore = 28;
constexpr int kSnippetCharsAfter = 48;

QColor hitColor()
{
    QColor yellow(255, 204, 0);
    yellow.setAlphaF(0.6f);
    return yellow;
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

// Where a page stands in the document. Hits come many to a page and in page order, so the place found for
// a page is kept and checked before it is used again; a walk of the page list for every hit cost as much as
// the rest of a long search's hits together.
int pageIndexOf(const pdf::Document& document, const pdf::PagePtr& page, std::unordered_map<const pdf::Page*, int>& known)
{
    if (!page)
        return 0;
    const auto it = known.find(page.get());
    if (it != known.end() && document.page(it->second) == page)
        return it->second;
    const int index = std::max(0, document.indexOf(page));
    known[page.get()] = index;
    return index;
}

SearchHit makeSearchHit(const pdf::Document& document, const pdf::Selection& match, int id, const QString& searchText,
                        std::unordered_map<const pdf::Page*, int>& pageIndices)
{
    SearchHit hit;
    hit.id = id;
    hit.selection = match;
    hit.selection.setColor(hitColor());
    const QList<pdf::SelectionRange>& ranges = match.ranges();
    hit.pageIndex = ranges.isEmpty() ? 0 : pageIndexOf(document, ranges.first().page, pageIndices);
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
    m_hitPageIndex.clear();
    m_findEnded = false;
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
    if (m_pendingHits.isEmpty()) {
        endFindOnceFlushed();
        return;
    }
    const pdf::DocumentPtr pdf = pdfDocument();
    const QString needle = trimSearchText(m_searchText);
    // The list grows in place: each flush costs its own hits, not the whole list again.
    const int n = int(m_searchHits.size());
    m_searchHits.reserve(n + m_pendingHits.size());
    m_hitSelections.reserve(n + m_pendingHits.size());
    QElapsedTimer slice;
    slice.start();
    int taken = 0;
    for (; taken < m_pendingHits.size(); ++taken) {
        if (taken >= kHitsPerSliceAtLeast && taken % 32 == 0 && slice.elapsed() >= kHitSliceMs)
            break;
        m_searchHits.append(makeSearchHit(*pdf, m_pendingHits[taken], n + taken, needle, m_hitPageIndex));
        m_hitSelections.append(m_searchHits.last().selection);
    }
    m_pendingHits.remove(0, taken);
    emit searchHitsChanged();

    // The first hit of a search becomes current as soon as it arrives; selecting it hands the canvas
    // the whole list with it marked current.
    if (m_currentHit)
        m_canvas->setHighlightedSelections(m_hitSelections, *m_currentHit);
    else
        selectHit(0);

    if (!m_pendingHits.isEmpty()) {
        QPointer<Editor> self(this);
        m_hitFlush = m_scheduler->schedule(0, [self] {
            if (self)
                self->flushSearchHits();
        });
        return;
    }
    endFindOnceFlushed();
}

void Editor::documentDidEndDocumentFind()
{
    m_findEnded = true;
    flushSearchHits();
}

void Editor::endFindOnceFlushed()
{
    if (!m_findEnded || !m_pendingHits.isEmpty())
        return;
    m_findEnded = false;
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
    m_canvas->setHighlightedSelections(m_hitSelections, index);
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
