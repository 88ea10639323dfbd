#pragma once

#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdf/document/Selection.h"

#include <QPointF>

#include <optional>
#include <vector>

namespace vmk::views {

// What the canvas's gesture and key logic needs of the view it runs in: the page under a point, the
// conversions, the base view's own mouse handling, and the inline editors. The page canvas implements it
// over the PDF view; tests implement it without a window.
class CanvasSurface {
public:
    virtual ~CanvasSurface() = default;

    // --- Pages and coordinates (view space: the canvas's own, y down) ---------------------------------
    virtual pdf::DocumentPtr shownDocument() const = 0;
    virtual int pageIndexAt(QPointF viewPoint, bool nearest) const = 0;
    virtual QPointF toPage(QPointF viewPoint, int pageIndex) const = 0;
    virtual QPointF fromPage(QPointF pagePoint, int pageIndex) const = 0;
    virtual double viewScale() const = 0;
    // The topmost annotation under the point on the page there, as the base view sees it.
    virtual pdf::AnnotationPtr baseAnnotationAt(QPointF viewPoint) const = 0;
    // Annotations of the page whose rectangles, grown by `tolerance` (page units), hold the point, bottom
    // to top. Every annotation of the page will do for a surface without an index: callers test bounds.
    virtual std::vector<pdf::AnnotationPtr> annotationsAround(const pdf::PagePtr& page, QPointF pagePoint,
                                                              double tolerance) const
    {
        (void)pagePoint;
        (void)tolerance;
        return page ? page->annotations() : std::vector<pdf::AnnotationPtr>();
    }
    // The index of the character under the point, -1 when none.
    virtual int characterIndexAt(QPointF viewPoint) const = 0;

    // --- The base view's own handling of the event being dispatched ---------------------------------------
    virtual void basePress() = 0;
    virtual void baseDrag() = 0;
    virtual void baseRelease() = 0;
    virtual std::optional<pdf::Selection> textSelection() const = 0;
    virtual void clearTextSelection() = 0;
    // While dragging towards or past the edge.
    virtual void autoscrollTo(QPointF viewPoint) = 0;

    // --- Canvas services -----------------------------------------------------------------------------------
    virtual void redrawOverlay() = 0;
    virtual void takeFocus() = 0;
    virtual void stopEffects() = 0;
    // Redraws the page after its annotations changed live (no version bump, no undo).
    virtual void pageAnnotationsChangedLive(const pdf::PagePtr& page) = 0;
    virtual void commitTextSession() = 0;
    virtual void beginTextBoxEditing(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page, bool isNew) = 0;
    virtual void showNotePopover(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page, bool isNew) = 0;
};

} // namespace vmk::views
