#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>

namespace vmk::pdf {

// A run of characters on one page: indices into the page's TextLayout.
struct SelectionRange {
    PagePtr page;
    int start = 0;
    int length = 0;
};

// Text selected on one or more pages, as character ranges. A value: copies are independent.
class Selection {
public:
    Selection() = default;
    explicit Selection(QList<SelectionRange> ranges) : m_ranges(std::move(ranges)) {}

    bool isEmpty() const;
    const QList<SelectionRange>& ranges() const { return m_ranges; }
    // Pages touched, in order, without repeats.
    QList<PagePtr> pages() const;
    // Union of the selected characters' bounds on the page (page space); null rect when none.
    QRectF bounds(const PagePtr& page) const;
    // The selected text; lines are separated by "\n".
    QString string() const;
    // One selection per text line, in order.
    QList<Selection> selectionsByLine() const;
    // Grows the selection by up to `count` characters before its start / after its end, staying on the
    // first / last page.
    void extendAtStart(int count);
    void extendAtEnd(int count);
    // Adds the other selection's ranges (merging with overlapping ranges on the same page).
    void add(const Selection& other);

    // How a view highlights the selection; not used by the layer.
    QColor color() const { return m_color; }
    void setColor(const QColor& color) { m_color = color; }

    friend bool operator==(const Selection& a, const Selection& b);

private:
    QList<SelectionRange> m_ranges;
    QColor m_color;
};

} // namespace vmk::pdf
