#pragma once

#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdf/pages/PageCapture.h"

#include <memory>

namespace vmk::pdf {

namespace detail { struct GoodCopyState; }

// The bytes a document was opened from, which it keeps, standing in for the document while a worker
// writes it (see Document::dataRepresentationFromWorker, which takes what this draws from as the writing
// starts): nothing may read the document then, but a page
// the window scrolls to can be drawn on a worker from a copy opened from those bytes.
//
// Why those bytes. What is being written is the document as it is now: those bytes with the changes made
// since. The engine knows exactly which objects changed since opening, so a page whose drawing reaches
// none of them (or only changes that were undone since) draws from the copy exactly as from the file
// being written. A page that reaches a change is never drawn from the copy, which would show it as it was
// before the user's edits: it keeps what was drawn of it, or waits for the writing to end. The file last
// saved would serve no better: it is the file being replaced, it would have to be read from disk again
// while the save writes, and nothing tells which of its objects changed since it was written.
class LastGoodCopy {
public:
    // On the main thread, without the engine, while a worker writes the document: what its pages can be
    // drawn from meanwhile. Null at other times, or when there is nothing to draw from: a document made in
    // memory, a locked one, or one the engine repaired while reading (its object numbers cannot be trusted
    // to match a fresh copy's).
    static std::shared_ptr<const LastGoodCopy> whileWriting(const Document& document);
    // The same taken now, on the document's thread with the engine open to it, as the writing takes it.
    static std::shared_ptr<const LastGoodCopy> take(const Document& document);
    ~LastGoodCopy();
    LastGoodCopy(const LastGoodCopy&) = delete;
    LastGoodCopy& operator=(const LastGoodCopy&) = delete;

    // Any thread, without the engine: whether the page was one of the document's when this was taken.
    // The pointer is only looked up, here and in record().
    bool knows(const Page* page) const;

    struct Recorded {
        RecordResult result;
        bool differs = false; // the page reaches a change: only the document itself may draw it
    };
    // On a worker: the page as the copy draws it, within the budget, unless it differs. The copy is
    // opened on first use; its drawings keep it open.
    Recorded record(const Page* page, const RecordBudget& budget, const RecordCancel* cancel = nullptr) const;

    // Copies open in the whole process: none once the last copy and its drawings are let go.
    static int copiesOpen();

    explicit LastGoodCopy(std::shared_ptr<detail::GoodCopyState> state);

private:
    std::shared_ptr<detail::GoodCopyState> m_state;
};

} // namespace vmk::pdf
