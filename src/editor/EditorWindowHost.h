#pragma once

#include "editor/EditorModel.h"

class QWidget;

namespace vmk {

// What the Editor needs of the document window controller that owns it. The application shell
// implements it; without one (tests, a window being torn down) those steps are skipped.
class EditorWindowHost {
public:
    virtual ~EditorWindowHost() = default;

    // The document window, on which the Editor's panels and alerts run as sheets; null when none.
    virtual QWidget* window() const = 0;
    // Sets the window subtitle from the Editor's pageIndex and pageCount.
    virtual void updateSubtitle() = 0;
    // The mode changed from `from` to the Editor's current mode (collapses the sidebar on entering Pages).
    virtual void modeDidChange(EditorMode from) = 0;
    // Opens the sidebar when it is collapsed and the mode is not Pages.
    virtual void revealSidebar() = 0;
};

// The page thumbnail grid of Pages mode; it registers itself with Editor::setPageGrid.
class PageGridHost {
public:
    virtual ~PageGridHost() = default;

    // Item height of the grid for an item width.
    static double itemHeight(double width) { return width * 1.3 + 30; }

    virtual double itemWidth() const = 0;
    // Sets the item width, lays items out at (width, width × 1.3 + 30), reloads them and re-applies the
    // Editor's organizerSelection.
    virtual void setItemWidth(double width) = 0;
};

} // namespace vmk
