#pragma once

#include "platform/pdf/pages/PageRebuild.h"
#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdf/document/TextLayout.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

namespace vmk::pdf {

class PageSnapshot;

namespace detail { struct CaptureState; }

// What one recording of a page may spend before it gives up. Interpreting a page can take minutes and
// gigabytes for a hostile or merely extravagant file; a page over its budget is shown as a placeholder.
struct RecordBudget {
    int milliseconds = 20000;
    std::size_t bytes = std::size_t(768) << 20;
};

enum class RecordOutcome {
    recorded,
    cancelled, // asked to stop: nothing is known about the page, ask again later
    tooSlow,   // over the time budget
    tooLarge,  // over the memory budget
    failed,    // the page cannot be read or drawn
};

// How work under a RecordBudget ended, judged in this order: over memory, stopped, over time, failed.
inline RecordOutcome budgetOutcome(bool overMemory, bool cancelled, bool timedOut, bool failed)
{
    if (overMemory)
        return RecordOutcome::tooLarge;
    if (cancelled)
        return RecordOutcome::cancelled;
    if (timedOut)
        return RecordOutcome::tooSlow;
    return failed ? RecordOutcome::failed : RecordOutcome::recorded;
}

// True when recording the same page again would end the same way.
inline bool isPermanent(RecordOutcome outcome)
{
    return outcome != RecordOutcome::recorded && outcome != RecordOutcome::cancelled;
}

struct RecordResult {
    RecordOutcome outcome = RecordOutcome::failed;
    std::shared_ptr<PageSnapshot> snapshot; // set when recorded
};

// A page drawn within a budget: the picture, or why there is none.
struct DrawResult {
    RecordOutcome outcome = RecordOutcome::failed;
    QImage image; // set when drawn
};

// The text of a page's own content, read on a worker under the same budget as its drawing.
struct TextResult {
    RecordOutcome outcome = RecordOutcome::failed;
    std::shared_ptr<const TextLayout> text; // set when read
};

namespace detail { class CookieLink; }

// Stops a recording or a render from another thread; the engine notices within a few operators.
class RecordCancel {
public:
    RecordCancel();
    ~RecordCancel();
    RecordCancel(const RecordCancel&) = delete;
    RecordCancel& operator=(const RecordCancel&) = delete;
    void cancel();
    bool isCancelled() const;
    detail::CookieLink& link() const { return *m_link; }

private:
    std::unique_ptr<detail::CookieLink> m_link;
};

// A page lifted out of its document with everything it draws (contents, resources, annotations), so
// that a worker can interpret it while the document stays in use on its own thread. Taking the copy
// costs what the page's objects weigh, never what drawing them costs; the page's look is fixed at that
// moment. Recording may run on any one thread at a time.
class PageCapture : public std::enable_shared_from_this<PageCapture> {
public:
    ~PageCapture();
    PageCapture(const PageCapture&) = delete;
    PageCapture& operator=(const PageCapture&) = delete;

    // On the document's thread. Annotations are included or not; `excluded` are left out in any case.
    // Null when the page cannot be read at all.
    static std::shared_ptr<PageCapture> take(const Page& page, bool withAnnotations,
                                             const std::vector<const Annotation*>& excluded = {});
    // The same for drawing and reading only (rebuild() fails on it): a page unchanged since its document
    // was opened is not copied at all, and is interpreted on the worker from that worker's own copy of the
    // document, opened from the same bytes; any other page is copied as take() copies it.
    static std::shared_ptr<PageCapture> takeToDraw(const Page& page, bool withAnnotations,
                                                   const std::vector<const Annotation*>& excluded = {});

    // Whether the page was copied out of its document; false when it is read on the worker from a copy of
    // the file (see takeToDraw).
    bool isCopied() const;

    // Interprets the page into a display list within the budget. `cancel` may be null.
    RecordResult record(const RecordBudget& budget, const RecordCancel* cancel = nullptr) const;
    // Reads the text of the page's own content (annotations are not read), as Page::textLayout() does.
    TextResult readText(const RecordBudget& budget, const RecordCancel* cancel = nullptr) const;
    // Records the page and draws it on white at `scale` pixels per point (`tile`: a sub-rectangle in
    // pixels of the full picture, null for all), both within `budget`, on a thread of its own. The
    // caller waits at most a moment past the budget's time: a decoder that never looks at its cancel
    // flag is left to finish alone on this copy, and the caller hears tooSlow.
    DrawResult draw(double scale, const QRect& tile, const RecordBudget& budget,
                    const RecordCancel* cancel = nullptr) const;

    // makeRebuiltPage() from the copy, on any thread: the page's bytes are moved here, not on the
    // document's thread.
    Result<PagePtr> rebuild(const RebuildBase& base, const QList<InvisibleTextRun>& runs) const;

    // How many private documents hold copied pages right now, in the whole process: bounded however
    // many pages are copied, as long as their captures and recordings are let go.
    static int copyDocumentsAlive();
    // Copies of whole documents open for takeToDraw() in the whole process: gone once their documents,
    // captures and recordings are.
    static int drawingCopiesOpen();
    // Drawings whose caller stopped waiting while the engine was still at them (stuck in a decoder that
    // never looks at its cancel flag) and that have not ended yet, in the whole process.
    static int abandonedDrawings();

    // Layer-internal.
    explicit PageCapture(std::unique_ptr<detail::CaptureState> state);

private:
    std::unique_ptr<detail::CaptureState> m_state;
};

} // namespace vmk::pdf
