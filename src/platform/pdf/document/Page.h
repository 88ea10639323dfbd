#pragma once

#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdf/document/Selection.h"
#include "platform/pdf/document/TextLayout.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSizeF>
#include <QTransform>

#include <memory>
#include <vector>

namespace vmk::pdf {

namespace detail { struct PageState; }
class PageSnapshot;
class RecordCancel;
struct RecordBudget;
struct DrawResult;

struct RenderOptions {
    bool withAnnotations = true;
    // A sub-rectangle of the full rendered image, in pixels (for tiles); null renders the whole page.
    QRect tile;
};

// One page. A shared handle with a stable identity: it may be in a document, removed from one, or
// standalone (a blank page, a copy). Used on the main thread; see snapshot() for other threads.
class Page : public std::enable_shared_from_this<Page> {
public:
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // A standalone blank page with the given media box (page space) and rotation.
    static PagePtr createBlank(const QRectF& mediaBox, int rotation = 0);
    // A deep copy with copies of the annotations and a new identity, in no document.
    PagePtr copy() const;

    // The document the page is in, or nullptr when removed or standalone.
    DocumentPtr document() const;

    QRectF bounds(PageBox box) const;
    QRectF mediaBox() const { return bounds(PageBox::Media); }
    QRectF cropBox() const { return bounds(PageBox::Crop); }
    void setMediaBox(const QRectF& box);
    void setCropBox(const QRectF& box);
    // 0, 90, 180 or 270.
    int rotation() const;
    // Any multiple of 90; normalised to 0...270.
    void setRotation(int degrees);

    // The crop box's size as displayed: width and height exchanged at 90 and 270 degrees.
    QSizeF displaySize() const;
    // Maps page space to the displayed (rotated) crop box with its origin at the lower left, y up.
    QTransform displayTransform() const;

    // The page's text (its own content; annotations are not read); synthetic "\n" ends each line. Empty
    // when there is none. Read on first use and kept with the page.
    QString text() const;
    const TextLayout& textLayout() const;
    std::shared_ptr<const TextLayout> sharedTextLayout() const;
    bool hasLoadedText() const;
    // A digest of what the page's content streams hold, decoded, with a mark for a part that cannot be
    // read: a written copy of the page that draws the same has the same digest, whatever its compression or
    // encryption. Reads every content stream of the page.
    QByteArray contentDigest() const;
    // Counts replacements of the page's content in place (exchangeDrawing): what was read or made from
    // the content under an older count no longer stands for the page.
    quint64 contentVersion() const;
    // Gives the page text read elsewhere from the same content (by a worker, see TextReader); ignored
    // when the page already knows its text.
    void adoptText(std::shared_ptr<const TextLayout> layout) const;
    // The character whose bounds contain the point (page space), or -1.
    int characterIndexAt(const QPointF& point) const;
    // Characters whose bounds intersect the rectangle (page space), in reading order.
    Selection selection(const QRectF& rect) const;
    Selection selection(int start, int length) const;
    // Text from the character nearest `from` to the character nearest `to`, as a mouse drag selects.
    Selection selection(const QPointF& from, const QPointF& to) const;
    // The whole line under the point, or an empty selection.
    Selection lineSelection(const QPointF& point) const;

    // Topmost last.
    std::vector<AnnotationPtr> annotations() const;
    // Where each annotation is and what kind, in the same order, read without making a handle for each:
    // a page may carry tens of thousands of links. `key` finds the handle (annotationForKey).
    struct AnnotationOutline {
        QRectF bounds;
        int key = -1;
        bool link = false;
        bool popup = false;
    };
    std::vector<AnnotationOutline> annotationOutlines() const;
    // The same read a part at a time, for a page too crowded to read at once: the outlines of the list's
    // entries from position `from` on, at most `count` of them. The list read is the page's own, or the
    // handles' once they are made (or when an entry cannot have a key before its handle); `list` tells
    // which list and `total` how long it is, so that a list changed between two parts shows as another
    // list or length.
    struct AnnotationOutlinePart {
        std::vector<AnnotationOutline> outlines;
        int next = 0; // where the following part starts
        int total = 0;
        const void* list = nullptr; // compared, never followed
    };
    AnnotationOutlinePart annotationOutlines(int from, int count) const;
    // How many annotations the page has; cheap however many.
    std::size_t annotationCount() const;
    // The handle of an annotation of this page by its outline's key (the same handle annotations()
    // gives), or null when the page has no such annotation.
    AnnotationPtr annotationForKey(int key) const;
    // Appends (on top). An annotation on another page is moved here and keeps its identity.
    void addAnnotation(const AnnotationPtr& annotation);
    void removeAnnotation(const AnnotationPtr& annotation);

    // Rebuilds this page in place: takes over what `other` (a page in no document, such as a rebuilt one)
    // draws (contents, resources, boxes, rotation, transparency group) while this page object, its
    // annotations and everything in the document that refers to it stay. `other` receives this page's
    // previous drawing, so exchanging again restores it; the old drawing is no longer reachable from the
    // document and is left out when it is written.
    Status exchangeDrawing(Page& other);

    // Renders the crop box with the rotation applied on white, `scale` pixels per point. Null when the
    // page cannot be drawn or goes over the default drawing budget.
    QImage render(double scale, const RenderOptions& options = {}) const;
    // The same within `budget` (time and memory for interpreting and drawing), with why it gave up. The
    // page is copied here and drawn on a thread of its own: the caller waits at most a moment past the
    // budget's time whatever the page holds.
    DrawResult render(double scale, const RenderOptions& options, const RecordBudget& budget,
                      const RecordCancel* cancel = nullptr) const;
    // A thread-safe recording of the page (built here, renderable on any thread).
    std::shared_ptr<PageSnapshot> snapshot(bool withAnnotations = true) const;
    // The same with annotations, except the given ones (of this page), which are left out of the drawing
    // only: their flags and the file are untouched.
    std::shared_ptr<PageSnapshot> snapshotExcluding(const std::vector<const Annotation*>& excluded) const;
    // Draws the page's displayed annotations over an image of the displayed page (any pixel size).
    QImage drawAnnotationsOver(const QImage& image) const;
    // A one-page PDF of the page as displayed (rotation applied, upright, crop box as media box) with its
    // displayed annotations drawn as page content.
    Result<QByteArray> flattenedPdf() const;
    // The entries of the page's own /Resources /XObject dictionary, forms expanded to a depth of two.
    QList<XObjectNode> xObjects() const;

    // Layer-internal state; not for use outside src/platform/pdf.
    detail::PageState& state() const { return *m_state; }

private:
    Page();
    std::unique_ptr<detail::PageState> m_state;
    friend struct detail::PageState;
};

} // namespace vmk::pdf
