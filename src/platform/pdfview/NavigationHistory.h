#pragma once

#include <QPointF>

#include <vector>

namespace vmk::pdfview {

// A place the view showed: a page and the page point at the viewport's top left.
struct ViewLocation {
    int page = -1;
    QPointF point;
};

// Back and forward lists of a browser: jumping records where the view was, going back returns
// there and makes the place left the way forward. A new jump clears the way forward.
class NavigationHistory {
public:
    static constexpr std::size_t kLimit = 100;

    void recordJumpFrom(const ViewLocation& here);
    bool canGoBack() const { return !m_back.empty(); }
    bool canGoForward() const { return !m_forward.empty(); }
    // Where to go; `here` becomes the way forward (back) or back (forward). No value: nothing to do.
    bool goBack(const ViewLocation& here, ViewLocation* target);
    bool goForward(const ViewLocation& here, ViewLocation* target);
    void clear();
    // Pages were removed or the document changed size: drop places beyond the last page.
    void clampToPageCount(int pageCount);

private:
    std::vector<ViewLocation> m_back;
    std::vector<ViewLocation> m_forward;
};

} // namespace vmk::pdfview
