#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QObject;

namespace vmk::pdf {

namespace detail { struct DocumentState; class FileFill; }

// A PDF document. Lives on the thread that made it (the main thread); workers render PageSnapshots.
//
// Pages and annotations are shared handles with a stable identity: page(i) returns the same object every
// time, a removed page keeps its identity and annotations and can be inserted again, and a page of another
// document (or a standalone one) is grafted in on insertion while the handle stays the same object.
// A file opened for reading into memory. Only its first bytes are read at once; the document opened from
// it reads what its first page needs, and the rest is read on a worker while the page is shown. The file is
// read once and never copied: the document takes the memory over.
class SourceFile {
public:
    // The error is the system's reason the file could not be opened.
    static Result<std::shared_ptr<SourceFile>> read(const QString& path);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    // The first `length` bytes (fewer in a shorter file), for telling what kind of file it is.
    QByteArray head(qsizetype length = 1024) const;
    qint64 size() const;

private:
    friend class Document;
    SourceFile() = default;
    std::shared_ptr<detail::FileFill> m_fill;
};

class Document : public std::enable_shared_from_this<Document> {
public:
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // A document without pages.
    static DocumentPtr createEmpty();
    // Opens a PDF held in memory. Empty, truncated beyond repair and non-PDF data give an error value.
    static Result<DocumentPtr> fromData(const QByteArray& data);
    // The same, for opening a file for a window: on the main thread the reading (which can take a second
    // for a file of tens of thousands of objects packed together) runs on a worker while the event loop
    // keeps turning, so that the windows already open keep answering. The user may stop it (Esc, closing a
    // window, Quit): `cancelled` then says so, the answer is an error, and the reading, left to end on its
    // worker, frees there what it made.
    static Result<DocumentPtr> fromDataWhileAnswering(const QByteArray& data, bool* cancelled = nullptr);
    // fromDataWhileAnswering() from a file opened beforehand, whose memory the document takes over. What the
    // first page needs is read before the answer; the rest of the file is read on a worker afterwards, and
    // what opening learns from the whole file (numbers it refers to, objects the table misplaces) is
    // settled on the main thread once it is read. A file that needs repairing or a password is read whole
    // first, as fromData() reads it.
    static Result<DocumentPtr> fromSourceWhileAnswering(std::shared_ptr<SourceFile> file, bool* cancelled = nullptr);
    // False while the rest of a file opened by fromSourceWhileAnswering() is still being read and settled
    // (the main thread's event loop ends it).
    bool isSettled() const;
    // Reads the whole file into memory, then as fromData().
    static Result<DocumentPtr> fromFile(const QString& path);
    // As fromFile(), reading into `memory`'s storage when it holds enough and nothing else shares it: the
    // check of a copy just written reads it back into the memory its bytes were made in, which costs a
    // fraction of fresh memory of that size. The document keeps the memory; it draws with no copies.
    static Result<DocumentPtr> fromFileInto(const QString& path, QByteArray memory);
    // Documents let go of on the main thread are freed on a worker; how many are still being freed.
    static int releasesUnderWay();
    // Files opened by fromSourceWhileAnswering() whose rest is still being read on a worker (ended soon
    // after their document is let go of).
    static int wholeFileReadsUnderWay();

    bool isEncrypted() const;
    // True while an encrypted document still needs a password.
    bool isLocked() const;
    // What the file's permissions allow whoever opened it: everything for a file without encryption or
    // one opened with its owner password.
    enum class Permission { Print, CopyContent };
    bool permits(Permission permission) const;
    // Accepts the user or the owner password; returns which one matched, or nothing when refused.
    // Unlocking an unlocked document answers PasswordKind::None. Reading what the password opened runs as
    // fromDataWhileAnswering's does; when the user stops it the document stays locked, the answer is
    // nothing and `cancelled` says why.
    std::optional<PasswordKind> unlock(const QString& password, bool* cancelled = nullptr);

    // Whether whoever opened the document holds the owner's rights: it is not encrypted, it was unlocked
    // with the owner password or that password was given since, or its owner password is empty. Only
    // then may its restrictions or its encryption be taken away.
    bool hasOwnerRights() const;
    // Grants the owner's rights when `password` is the document's owner password; the password is checked
    // on a copy of the encryption, so a wrong one leaves the document reading as before.
    bool provideOwnerPassword(const QString& password);
    // Gives this unencrypted document (one made from another's pages, say) the encryption of `source`
    // exactly: its method, permissions, passwords and identifier, so that a write keeping the existing
    // encryption writes them. Fails when source is not encrypted or is locked, or this one is encrypted.
    Status adoptEncryptionOf(const Document& source);

    // 0 while locked.
    int pageCount() const;
    // A long document opened by fromSourceWhileAnswering() shows its first page before its page tree is
    // walked: until then its pages are pending. pageCount(), page(), pages() and everything that reads or
    // changes the pages walk the tree first (and repair it); only the two below do not.
    bool hasPagesPending() const;
    // While pending, the count the page tree claims (a window lays it out meanwhile), else pageCount().
    int pageCountForShowing() const;
    // While pending, the page the engine's own lookup finds at index (nullptr when it finds none), else
    // page(index). The walk keeps a handle in its place when it agrees.
    PagePtr pageForShowing(int index) const;
    // The same handle on every call; nullptr out of range or while locked.
    PagePtr page(int index) const;
    // Every page in order, the same handles as page(i); one pass over the page tree, so that a long
    // document's pages are all at hand in linear time. Empty while locked.
    std::vector<PagePtr> pages() const;
    // -1 for a page of another document, a removed page or nullptr.
    int indexOf(const PagePtr& page) const;
    int indexOf(const Page* page) const;
    // Inserts a page (standalone, removed, or of another document: it is grafted in and re-pointed) at
    // index (clamped to 0...pageCount()). A page that is already in this document is refused; a page in
    // another document is first removed from it.
    Status insertPage(const PagePtr& page, int index);
    // Removes and returns the page at index; it keeps its identity and annotations.
    PagePtr removePage(int index);
    Status exchangePages(int first, int second);

    QString attribute(DocumentAttribute key) const;
    // An empty value removes the entry. Dates are PDF date strings such as "D:20240102030405Z".
    void setAttribute(DocumentAttribute key, const QString& value);
    QMap<DocumentAttribute, QString> attributes() const;
    void setAttributes(const QMap<DocumentAttribute, QString>& attributes);

    // The outline's root node with its children, or nothing when the document has no outline.
    std::optional<OutlineItem> outline() const;
    // Replaces the outline; nothing removes it. Destinations on pages not in this document are dropped.
    void setOutline(const std::optional<OutlineItem>& root);

    // The whole document, including every pending annotation change with its appearance stream.
    Result<QByteArray> dataRepresentation(const WriteOptions& options = {}) const;
    // The same, asked for by the worker of a waitWhileAnswering() whose caller is the main thread, so that
    // making the bytes never holds the window. The appearance streams still missing are made on the main
    // thread a few pages at a time between its other work, `visit` (optional) being called there for each
    // page in order once its appearances are made (null for a page that cannot be read). The pass starts
    // over from the first page when the page list changed between slices or `visit` answers false (what it
    // saw so far no longer holds). The engine then writes on the calling worker while the main thread is kept off every
    // document (see isWritingUnderWay()): nothing can change the document during it. Called on the main
    // thread it is dataRepresentation() with the visits. Fails, with `stopped` set, when the wait was called
    // off and the main thread did not come back to the slices (the application is ending).
    using PageVisit = std::function<bool(int index, const PagePtr& page)>;
    Result<QByteArray> dataRepresentationFromWorker(const WriteOptions& options, const PageVisit& visit = {},
                                                    bool* stopped = nullptr) const;
    // True while a worker writes a document: the main thread's next use of any document waits until it
    // ends. Work on the main thread that can wait (drawing ahead, reading text, indexing) puts itself off.
    static bool isWritingUnderWay();
    // On the main thread: runs `then` there on a later turn once no document is being written (at once
    // when none is), unless `context` is gone by then. Work put off while writing comes back this way.
    static void afterWriting(QObject* context, std::function<void()> then);
    Status write(const QString& path, const WriteOptions& options = {}) const;

    // Layer-internal state; not for use outside src/platform/pdf.
    detail::DocumentState& state() const { return *m_state; }

private:
    Document();
    void makeMissingAppearances() const;
    Result<QByteArray> writeBytes(const WriteOptions& options) const;
    std::unique_ptr<detail::DocumentState> m_state;
    friend struct detail::DocumentState;
};

} // namespace vmk::pdf
