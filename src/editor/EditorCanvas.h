#pragma once

#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdf/document/Selection.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <optional>
#include <utility>

class QObject;
class QWidget;

namespace vmk {

class Editor;

// An annotation and the page it belongs to (or is to be put on).
using AnnotationItem = std::pair<pdf::AnnotationPtr, pdf::PagePtr>;

// What the Editor needs of its page canvas. The page views implement it (PDFCanvasView); tests use a
// HeadlessCanvas. The canvas reports back by calling Editor::notePageChange when its current page
// changes and Editor::noteFormFieldEdited when the user clicks or types into a form field.
class EditorCanvas {
public:
    virtual ~EditorCanvas() = default;

    // The QObject behind the canvas when it is one (so the Editor notices when Qt deletes it first).
    virtual QObject* canvasObject() { return nullptr; }
    // The widget to host in the window; null for a canvas without one.
    virtual QWidget* canvasWidget() { return nullptr; }

    // Set once by the Editor during its construction; a non-owning back reference.
    virtual void setEditor(Editor* editor) = 0;

    // --- Sessions and tools -----------------------------------------------------------------------
    // Ends typing in a text box (handing the text to Editor::commitFreeText); nothing when none is open.
    virtual void commitTextSession() = 0;
    // Closes an open Edit-mode block editor, committing a changed text when commit is true.
    virtual void endBlockSession(bool commit) = 0;
    // The Editor's tool changed: commit the text box; unless the tool is crop, clear the pending crop.
    virtual void toolDidChange() = 0;
    // Drops the gesture in progress back to idle.
    virtual void resetGesture() = 0;
    // The overlay (selection outlines, handles, previews) must redraw.
    virtual void setOverlayNeedsDisplay() = 0;
    // The window re-validates the cursor after a mode change.
    virtual void refreshCursor() = 0;

    // --- Effects ----------------------------------------------------------------------------------
    virtual void playMarkupSweep(const QList<AnnotationItem>& items, const QString& subtype, const QColor& color) = 0;
    virtual void playSignatureWrite(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page,
                                    const QImage& image) = 0;

    // --- Document and pages -----------------------------------------------------------------------
    // Shows a document (null shows none), then re-installs its scroll observer.
    virtual void setDocument(const pdf::DocumentPtr& document) = 0;
    // Replaces the document keeping the page, point and scale (after an in-place edit).
    virtual void swapDocument(const pdf::DocumentPtr& document) = 0;
    virtual pdf::DocumentPtr document() const = 0;
    // Whether the canvas is on screen in a window yet.
    virtual bool isInWindow() const = 0;
    // Pages were added, removed, moved, rotated or cropped.
    virtual void layoutDocumentView() = 0;
    // One page's annotations changed.
    virtual void annotationsChanged(const pdf::PagePtr& page) = 0;

    // --- Navigation ---------------------------------------------------------------------------------
    virtual pdf::PagePtr currentPage() const = 0;
    virtual std::optional<pdf::Destination> currentDestination() const = 0;
    // Plain go-to-page (no animation).
    virtual void goToPage(const pdf::PagePtr& page) = 0;
    // Animated scroll to the top of the page less 8 points; plain under reduce motion or non-continuous modes.
    virtual void scrollToPageAnimated(const pdf::PagePtr& page) = 0;
    virtual void goToDestination(const pdf::Destination& destination) = 0;

    // --- Zoom ----------------------------------------------------------------------------------------
    virtual double scaleFactor() const = 0;
    virtual void setScaleFactor(double scale, bool animated) = 0;
    virtual double minScaleFactor() const = 0;
    virtual double maxScaleFactor() const = 0;
    virtual bool autoScales() const = 0;
    virtual void setAutoScales(bool on) = 0;
    // The canvas's size in points at scale 1 (its bounds).
    virtual QSizeF boundsSize() const = 0;

    // --- Selections ----------------------------------------------------------------------------------
    virtual void setHighlightedSelections(const QList<pdf::Selection>& selections, int currentIndex) = 0;
    virtual void goToSelection(const pdf::Selection& selection) = 0;
    virtual void setCurrentSelection(const std::optional<pdf::Selection>& selection, bool animated) = 0;
    virtual std::optional<pdf::Selection> currentSelection() const = 0;
    virtual void clearSelection() = 0;

    // --- Geometry ------------------------------------------------------------------------------------
    // The middle of the visible area, in the page space of the given page.
    virtual QPointF visibleCentreInPage(const pdf::PagePtr& page) const = 0;
};

} // namespace vmk
