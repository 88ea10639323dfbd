#pragma once

// Layer-internal: the bytes a document was opened from, with what changed since, taken as a worker starts
// writing the document, and the copies opened from those bytes to draw its unchanged pages meanwhile (see
// pages/LastGoodCopy).

#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdf/document/UnchangedReach.h"
#include "platform/pdf/engine/Fz.h"

#include <QByteArray>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace vmk::pdf::detail {

struct GoodCopyState {
    // A document opened from the bytes, in a context of ctx()'s family with a store of its own, used by
    // one thread at a time (between take() and give()).
    struct Copy {
        fz_context* engine = nullptr;
        pdf_document* doc = nullptr;
        bool treeLoaded = false;
        std::unique_ptr<UnchangedReach> reach;
    };

    fz_buffer* source = nullptr; // of ctx()'s family, shared with the document
    QByteArray password;
    std::unordered_map<const Page*, int> pages; // handle -> page object number
    ChangedObjects changed;

    ~GoodCopyState();
    // A copy nobody else uses until it is given back; null when the bytes cannot be opened as they were.
    Copy* take();
    void give(Copy* copy);
    // Copies open in the whole process.
    static int openCount();

private:
    Copy* open();
    static void close(Copy* copy);
    std::mutex m_mutex;
    std::vector<Copy*> m_all;
    std::vector<Copy*> m_free;
};

// On the document's thread, with the engine open to it. Null when there is nothing to draw from: a
// document made in memory, a locked one, or one the engine repaired while reading (its object numbers
// cannot be trusted to match a fresh copy's).
std::shared_ptr<GoodCopyState> takeGoodCopy(const Document& document);

} // namespace vmk::pdf::detail
