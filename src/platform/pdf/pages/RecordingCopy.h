#pragma once

#include "platform/pdf/engine/Fz.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vmk::pdf::detail {

// Who holds a mirror: at most one thread at a time, for as long as it copies into the mirror or
// interprets it. Lockable, so std::unique_lock works with it. A waiter that may be stopped waits a slice
// at a time and looks at its cancel flag between slices. Built from a plain mutex and a condition
// variable rather than a timed mutex: the race checker follows those, and would take the data the holder
// guards for unguarded otherwise.
class RecordingCopyUse {
public:
    void lock()
    {
        std::unique_lock guard(m_mutex);
        m_freed.wait(guard, [this] { return !m_busy; });
        m_busy = true;
    }
    bool try_lock()
    {
        const std::lock_guard guard(m_mutex);
        if (m_busy)
            return false;
        m_busy = true;
        return true;
    }
    void unlock()
    {
        {
            const std::lock_guard guard(m_mutex);
            m_busy = false;
        }
        m_freed.notify_one();
    }
    // Waits for the mirror unless `stopped` says so first (asked every `slice`): true when it is held.
    template <typename Stopped>
    bool lockUnless(Stopped&& stopped, std::chrono::milliseconds slice)
    {
        std::unique_lock guard(m_mutex);
        while (!m_freed.wait_for(guard, slice, [this] { return !m_busy; }))
            if (stopped())
                return false;
        m_busy = true;
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_freed;
    bool m_busy = false;
};

// A private document that the pages of one source document are copied into, one after another, so that
// what pages share (fonts, pictures, colour spaces) is copied once and loaded by the engine once: the
// engine keeps what it decoded per document and object, and its glyph cache per font. Whoever copies
// into it or interprets it holds `use`. A mirror takes a bounded number of pages, then is retired and
// freed with the last page copied into it, so that what it holds stays bounded however far one scrolls.
struct RecordingCopy {
    RecordingCopyUse use;
    // The context the copy is interpreted with: its store holds only what this copy's pages loaded, so
    // workers on other mirrors, and mirrors being freed, never meet in a store look-up. Used by whoever
    // holds `use`.
    fz_context* engine = nullptr;
    pdf_document* doc = nullptr;
    // Source object number -> number here, for objects that were unchanged since the source was opened,
    // with everything they reach, when they were copied. Only these are shared between pages.
    std::unordered_map<int, int> shared;
    int pages = 0;
    // Pages copied in and not interpreted yet: a worker will want the mirror for each.
    std::atomic_int waiting{0};
    // The bytes the source document was opened from (null for a private mirror, which copies streams
    // whole), and the streams copied as dictionaries whose data is still to be read from those bytes: the
    // document's thread only notes where the data lies, and whoever uses the mirror next reads it.
    fz_buffer* sourceBytes = nullptr;
    // How the data of a stream of an encrypted source is decrypted: the key for that one object, worked
    // out when the copy is taken, so that reading needs nothing of the source document.
    struct StreamCipher {
        enum Method : unsigned char { none, rc4, aes } method = none;
        unsigned char keyLength = 0;
        unsigned char key[32] = {};
    };
    struct PendingStream {
        int num = 0;         // here
        int64_t offset = 0;  // in sourceBytes
        uint64_t length = 0; // as the stream's dictionary says
        StreamCipher cipher;
    };
    std::vector<PendingStream> pending;
    // Streams here whose data could not be read or decrypted (they hold no data). A page reaching one
    // is not drawn, read or rebuilt from its copy.
    std::unordered_set<int> unreadable;

    // Reads the pending streams' data; with `use` held, on any thread.
    void readPending(fz_context* c);
    // Whether the copied page at `index` reaches no unreadable stream; with `use` held, after readPending.
    bool pageReadable(fz_context* c, int index);

    RecordingCopy();
    ~RecordingCopy();
    static int alive();
    RecordingCopy(const RecordingCopy&) = delete;
    RecordingCopy& operator=(const RecordingCopy&) = delete;
};

// The mirrors of one source document. Used on the document's thread only.
class RecordingCopies {
public:
    static constexpr int kPagesPerMirror = 48;
    static constexpr std::size_t kMirrors = 6;

    // A mirror nobody is using, locked for the caller. It never waits: one busy on a worker is passed
    // over. Pages go preferably where no other page waits to be interpreted, so that workers taking
    // pages in turn find them in different mirrors and do not wait for each other. Null when the
    // engine cannot make one.
    std::shared_ptr<RecordingCopy> acquire();
    std::size_t size() const { return m_mirrors.size(); }
    // Pages copied into the mirrors and not interpreted yet.
    int waiting() const;

private:
    std::vector<std::shared_ptr<RecordingCopy>> m_mirrors; // oldest first
};

// Copies the objects a page draws with into a mirror. Deeper nesting than any real file has is refused
// rather than followed (the copy recurses); page objects are cut off so that the copy never drags the
// page tree and every other page along. Objects the mirror already holds are reused when neither they
// nor anything they reach changed since.
class PageObjectCopier {
public:
    // Each level also takes a slot of the engine's error stack, which is a few hundred deep.
    static constexpr int kMaxDepth = 100;

    // `share`: whether the mirror's shared objects may be used and added to.
    PageObjectCopier(pdf_document* from, RecordingCopy& to, bool share);

    // Throws MuPDF errors; the caller owns the result.
    pdf_obj* copy(fz_context* c, pdf_obj* obj, int depth = 0);
    // An annotation as drawn: its actions and destinations, which point into the rest of the document,
    // are left behind.
    pdf_obj* copyAnnotation(fz_context* c, pdf_obj* annot);
    // After a failed copy: forgets what this copy added to the shared objects, which may be incomplete.
    void rollBack();

private:
    pdf_obj* copyIndirect(fz_context* c, pdf_obj* obj, int depth);
    bool changed(fz_context* c, int num) const;
    bool deferData(fz_context* c, int fromNum, int toNum);
    bool cipherFor(fz_context* c, pdf_obj* dict, int num, int gen, pdf_obj* copied,
                   RecordingCopy::StreamCipher* cipher);
    bool unchangedSince(fz_context* c, pdf_obj* obj, int depth);

    pdf_document* m_from;
    RecordingCopy& m_mirror;
    pdf_document* m_to;
    bool m_share;
    bool m_anyChange;                    // the source has been edited since it was opened
    std::unordered_map<int, int> m_local; // this copy's objects
    std::vector<int> m_added;             // shared entries this copy made
    std::unordered_set<int> m_checked;    // looked at during this copy
    std::unordered_set<int> m_changedReach; // changed, or reaching something changed
    int m_changes = 0;                    // changed objects met so far
    struct FileCipher;
    std::shared_ptr<const FileCipher> m_fileCipher; // of an encrypted source, once worked out
};

} // namespace vmk::pdf::detail
