#pragma once

#include "platform/pdf/document/TextLayout.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace vmk::pdf::detail {

// The pages a read hands to its workers, cut into lanes: each worker reads a run of neighbouring pages
// from its own copy of the document, which then loads each font and shared object of that part of the
// document once; pages spread over every copy made each copy load nearly everything. The document's
// start is dealt out first, in short slices, so that a hit near it comes back early. A worker that runs
// out takes the back half of the longest run left, so the runs stay whole and the workers end together.
// Any thread may take work.
class TextLanes {
public:
    struct Page {
        std::shared_ptr<const TextLayout> layout; // known before: only visited
        int number = -1;                          // else its object number in the copies
    };
    // A chunk of pages, handed back as a whole; one not on a lane is read elsewhere.
    struct Span {
        int first = 0;
        int count = 0;
        bool onLane = true;
    };

    // The first `startChunks` chunks are the start's slices, dealt to the lanes in turn; the rest is cut
    // into `lanes` runs.
    TextLanes(std::vector<Page> pages, std::vector<Span> chunks, int lanes, int startChunks);

    // The next chunk for a lane's worker, or -1 when no work is left anywhere. A worker done with its
    // slices of the start waits a little for the others' before it goes on to its run: the first hits are
    // read meanwhile, and nothing else of this read takes the processor from them.
    int take(int lane);
    // A worker is done with a chunk (read or given up).
    void done(int chunk);

    int first(int chunk) const { return m_chunks[size_t(chunk)].first; }
    int count(int chunk) const { return m_chunks[size_t(chunk)].count; }
    const Page& page(int index) const { return m_pages[size_t(index)]; }

private:
    struct Lane {
        std::vector<int> starts; // its slices of the document's start, not taken yet
        int next = 0;            // its run: [next, end)
        int end = 0;
    };

    bool steal(Lane& thief);

    const std::vector<Page> m_pages;
    const std::vector<Span> m_chunks;
    std::mutex m_mutex;
    std::condition_variable m_startDone;
    int m_startChunks = 0;
    int m_startLeft = 0; // start slices not done yet
    std::vector<Lane> m_lanes;
};

} // namespace vmk::pdf::detail
