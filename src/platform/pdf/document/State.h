#pragma once

// Internal state behind the public handles. Pages and annotations are kept as indirect references to
// their dictionaries in a "home" MuPDF document; moving them to another document grafts the objects
// over and re-points the references, so the C++ handles keep their identity.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/engine/Fz.h"

#include <QList>
#include <QPainterPath>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace vmk::pdf::detail {

// An owned reference to an object of a document, kept alive with its document.
struct ObjRef {
    pdf_document* doc = nullptr;
    pdf_obj* obj = nullptr; // indirect reference

    ObjRef() = default;
    ObjRef(pdf_document* d, int num);
    ObjRef(const ObjRef&) = delete;
    ObjRef& operator=(const ObjRef&) = delete;
    ~ObjRef();
    void reset(pdf_document* d, int num);
    int num() const;
};

class FileFill;
class RecordingCopies;
struct GoodCopyState;
class SourceCopies;
struct DrawnForDisplay;

struct DocumentState {
    pdf_document* doc = nullptr;
    std::weak_ptr<Document> self;
    // Mirrors the page tree; handles are made on first request.
    mutable std::vector<PagePtr> pages;
    mutable bool pagesKnown = false;
    // The list is sized from the count the page tree claims and the tree is not walked yet (see
    // listPagesPending()); syncPageList() walks it.
    mutable bool pagesPending = false;
    bool locked = false;
    bool openedByOwner = false; // unlocked with the owner password: no permission applies
    // The bytes the document was opened from and the password that unlocked it: workers open their own
    // copies from them to read pages that are unchanged since opening (see TextReader). Null for a
    // document made in memory.
    fz_buffer* source = nullptr;
    // A file opened before it was read whole: it is read on a worker, and `source` is set once it is
    // (settled). Until then workers open their copies through it, reading what they need.
    std::shared_ptr<FileFill> fill;
    bool settled = true;
    QByteArray password;
    // Where pages are copied for interpreting on workers (see PageCapture); made on first use.
    std::shared_ptr<RecordingCopies> recordingCopies;
    // Copies that drawing workers record unchanged pages from, each in an engine family of its own (see
    // PageCapture::takeToDraw); made on first use.
    std::shared_ptr<SourceCopies> drawingCopies;
    // While a worker writes the document: what its unchanged pages are drawn from meanwhile (see
    // pages/LastGoodCopy). Main thread only.
    std::shared_ptr<GoodCopyState> lastGoodCopy;

    ~DocumentState();
    void syncPageList() const;
    // For a long document opened from a file: the list sized from the count the page tree's root claims,
    // with only the first page looked up, so that it shows before the whole tree is walked. False (and the
    // tree walked at once) when the root or the first page is not plainly what it should be.
    bool listPagesPending();
    // The page at index by the engine's own lookup while the pages are pending, with its boxes mended;
    // nullptr when the lookup finds no page.
    PagePtr pendingPage(int index) const;
    static DocumentPtr make(pdf_document* doc);
    // For a document opened from a file not read whole: reads the rest on a worker, then settles on the
    // main thread what opening from memory would have done.
    static void settle(const DocumentPtr& document);
};

struct PageState {
    ObjRef ref;
    std::weak_ptr<Document> document;
    mutable std::vector<AnnotationPtr> annotations;
    mutable bool annotationsLoaded = false;
    // Handles made one at a time before the whole list was (Page::annotationForKey), by object number;
    // the list takes them over so that each annotation keeps one identity.
    mutable std::unordered_map<int, AnnotationPtr> earlyAnnotations;
    // The annotations counted in the page's list while their handles are not made (Page::annotationCount).
    struct AnnotationCount {
        pdf_obj* list = nullptr; // compared, never followed
        int entries = -1;
        std::size_t count = 0;
    };
    mutable AnnotationCount annotationCount;
    // Read on first use, or handed over by a worker that read the same content (Page::adoptText).
    mutable std::shared_ptr<const TextLayout> text;
    // Counts changes of the content in place, so that text read from the content as it was is not
    // taken for the page's text.
    mutable quint64 textVersion = 0;

    static PagePtr make(pdf_document* doc, int num);
    void loadAnnotations(const PagePtr& self) const;
    // Whoever changes the page's content in place calls this, so that its text is read again.
    void invalidateText() const
    {
        text.reset();
        ++textVersion;
    }
};

struct AnnotationState {
    ObjRef ref;
    std::weak_ptr<Page> page;
    bool needsAppearance = false;
    // Read from the file without an appearance; once one is drawn for display, `drawn` keeps the
    // dictionary as read, for writing it so while the user leaves it alone (see UntouchedAppearances).
    bool lackedAppearance = false;
    std::shared_ptr<DrawnForDisplay> drawn;
    AppearanceProvider provider;
    // Paths as the caller gave them (curves kept); the file holds them flattened.
    std::optional<QList<QPainterPath>> inkPaths;

    static AnnotationPtr make(pdf_document* doc, int num);
    pdf_obj* dict() const { return ref.obj; }
};

// What opening does once the engine has read the file's table, with the whole file in memory (`buffer`,
// whose reference this takes over): damage looked for and repaired now, object streams and crowded pages
// read ahead, the page list made, fields drawn.
Result<DocumentPtr> readAhead(fz_context* c, pdf_document* doc, fz_buffer* buffer, bool locked);
// The same for a document whose stream holds the whole file as `bytes`, with no buffer to keep as its
// source (so no copies for drawing are opened from it).
Result<DocumentPtr> readAhead(fz_context* c, pdf_document* doc, const QByteArray& bytes, bool locked);

// A process-wide document that holds standalone annotations until they are put on a page.
pdf_document* scratchDocument();

// Deep-copies objects from one document into another. References to page objects become null (they
// cannot follow a single page); one copier shares its map, so objects reached twice are copied once.
class ObjectCopier {
public:
    ObjectCopier(pdf_document* from, pdf_document* to) : m_from(from), m_to(to) {}
    ~ObjectCopier();
    // Throws MuPDF errors: call inside guarded(). Returns a new reference owned by the caller.
    pdf_obj* copy(fz_context* c, pdf_obj* obj);
    // Copies a dictionary's entries except the listed keys into a new direct dictionary of the target.
    pdf_obj* copyDictExcept(fz_context* c, pdf_obj* dict, std::initializer_list<pdf_obj*> skip);
    // Reserves the target number of an object copied elsewhere (e.g. a page re-created by hand).
    void map(int fromNum, int toNum);

private:
    pdf_document* m_from;
    pdf_document* m_to;
    struct Map;
    Map* m_map = nullptr;
};

// A pdf_page loaded for MuPDF calls that need one. A page outside its document's page tree is inserted
// at the end for the duration of the call.
struct LoadedPage {
    pdf_page* page = nullptr;
    int index = -1;
    bool temporarilyInserted = false;
};
LoadedPage loadPage(fz_context* c, const Page& page);
void releasePage(fz_context* c, const Page& page, LoadedPage& loaded);

// Runs fn(ctx, pdf_page*) with the page loaded; false when it cannot be loaded.
template <typename Fn>
bool withLoadedPage(const Page& page, Fn&& fn)
{
    fz_context* c = ctx();
    LoadedPage loaded = loadPage(c, page);
    if (!loaded.page)
        return false;
    fn(c, loaded.page);
    releasePage(c, page, loaded);
    return true;
}

// Moves a page (with its annotations) into another MuPDF document and re-points the handles.
bool graftPage(const Page& page, pdf_document* target);
// Moves an annotation into another MuPDF document and re-points the handle.
bool graftAnnotation(const Annotation& annotation, pdf_document* target);

// The object number under which the page can be found in a fresh copy opened from the document's source
// bytes, when its content is unchanged since opening; -1 otherwise (changed, added, or no source).
int unchangedPageNumber(fz_context* c, const DocumentState& document, const Page& page);

// The text of a loaded page's own content (annotations are not read). Any thread, with its own context;
// `cookie` (may be null) stops it early.
std::shared_ptr<const TextLayout> readPageText(fz_context* c, pdf_page* page, fz_cookie* cookie = nullptr);
// The same from the page's dictionary: a worker's copy of the document reads a page without looking it up
// in the page tree.
std::shared_ptr<const TextLayout> readPageObjectText(fz_context* c, pdf_document* doc, pdf_obj* pageObj,
                                                     fz_cookie* cookie = nullptr);

// Regenerates the appearance streams of the page's annotations that need one.
void ensureAppearances(const Page& page);
// The matrix from page space to MuPDF's device space (rotated crop box, y down, origin top left).
fz_matrix pageToDevice(fz_context* c, pdf_obj* pageObj, fz_rect* deviceBounds = nullptr);

} // namespace vmk::pdf::detail

namespace vmk::pdf::detail {

// Resolves an explicit or named destination (or a GoTo action's) to a page of the document and a point
// in page space.
std::optional<Destination> resolveDestination(fz_context* c, const Document& document, pdf_obj* dest);

// What a named destination (a name or a string) stands for: the older /Dests dictionary first, then the
// name tree (a file may have both; MuPDF's own lookup stops at the dictionary). nullptr when undefined.
pdf_obj* lookupDestination(fz_context* c, pdf_document* doc, pdf_obj* name);

// Subtypes whose standard appearance the layer can (re)generate.
bool isSynthesizable(const QString& subtype);

} // namespace vmk::pdf::detail
