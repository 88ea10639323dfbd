#include "platform/pdf/pages/TextLanes.h"

#include <algorithm>
#include <chrono>

namespace vmk::pdf::detail {

namespace {
constexpr int kStartWaitMs = 60;
} // namespace

TextLanes::TextLanes(std::vector<Page> pages, std::vector<Span> chunks, int lanes, int startChunks)
    : m_pages(std::move(pages)), m_chunks(std::move(chunks)), m_lanes(size_t(std::max(1, lanes)))
{
    const int count = int(m_lanes.size());
    m_startChunks = std::clamp(startChunks, 0, int(m_chunks.size()));
    // Slices of changed pages are read elsewhere, and never done here.
    m_startLeft = int(std::count_if(m_chunks.begin(), m_chunks.begin() + m_startChunks,
                                    [](const Span& span) { return span.onLane; }));
    const int rest = int(m_chunks.size()) - startChunks;
    for (int k = 0; k < count; ++k) {
        Lane& lane = m_lanes[size_t(k)];
        for (int chunk = k; chunk < startChunks; chunk += count)
            lane.starts.push_back(chunk);
        lane.next = startChunks + int(qint64(rest) * k / count);
        lane.end = startChunks + int(qint64(rest) * (k + 1) / count);
    }
}

int TextLanes::take(int lane)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    Lane& own = m_lanes[size_t(lane)];
    for (;;) {
        int k = -1;
        if (!own.starts.empty()) {
            k = own.starts.front();
            own.starts.erase(own.starts.begin());
        } else if (m_startLeft > 0 && std::none_of(m_lanes.begin(), m_lanes.end(), [](const Lane& l) {
                       return !l.starts.empty();
                   })) {
            // Bounded: a start page that reads for long (a hostile one) must not hold the whole read up.
            m_startDone.wait_for(lock, std::chrono::milliseconds(kStartWaitMs), [this] { return m_startLeft <= 0; });
            m_startLeft = 0;
            continue;
        } else if (own.next < own.end) {
            k = own.next++;
        } else if (!steal(own)) {
            return -1;
        }
        if (k >= 0 && m_chunks[size_t(k)].onLane)
            return k;
    }
}

void TextLanes::done(int chunk)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (chunk < m_startChunks && --m_startLeft <= 0)
        m_startDone.notify_all();
}

bool TextLanes::steal(Lane& thief)
{
    // A slice of the start that its worker has not begun comes first: the first hits wait for it.
    for (Lane& lane : m_lanes)
        if (!lane.starts.empty()) {
            thief.starts.push_back(lane.starts.back());
            lane.starts.pop_back();
            return true;
        }
    Lane* victim = &*std::max_element(m_lanes.begin(), m_lanes.end(),
                                      [](const Lane& a, const Lane& b) { return a.end - a.next < b.end - b.next; });
    const int left = victim->end - victim->next;
    if (left <= 0)
        return false;
    thief.end = victim->end;
    thief.next = victim->end - std::max(1, left / 2);
    victim->end = thief.next;
    return true;
}

} // namespace vmk::pdf::detail
