#pragma once

#include "editor/EditorModel.h"
#include "editor/Toast.h"
#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdf/document/Selection.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <set>

namespace vmk {

// Page indices, ascending.
using IndexSet = std::set<int>;

using ToolColors = QHash<Tool, QColor>;

// One find result.
struct SearchHit {
    int id = 0;               // position in Editor::searchHits, from 0
    pdf::Selection selection; // the matched text
    int pageIndex = 0;        // first page the selection touches; 0 without one
    QString snippet;          // a line of context around the match
    int matchStart = 0;       // the emphasised match within snippet
    int matchLength = 0;
};

// One node of the table of contents, shared by the views that show it.
struct OutlineItem {
    QUuid id = QUuid::createUuid();
    QString title;
    std::optional<pdf::Destination> destination;
    std::optional<int> pageIndex;
    // Absent for a leaf and below the depth limit.
    std::optional<QList<std::shared_ptr<OutlineItem>>> children;
};
using OutlineItemPtr = std::shared_ptr<OutlineItem>;
using Outline = std::optional<QList<OutlineItemPtr>>;

// The crop box being drawn with the crop tool, in the page's space.
struct PendingCrop {
    pdf::PagePtr page;
    QRectF rect;
    friend bool operator==(const PendingCrop&, const PendingCrop&) = default;
};

// A saved signature as placed on a page: its one-page PDF artwork, the artwork as an image and the
// image's width over its height.
struct SignaturePlacement {
    QByteArray pdfData;
    QImage image;
    double aspectRatio = 1.0;
};

// One rebuild of a page in place (made by Make Searchable and Apply Redactions). `page` stays in the
// document with its identity, so the outline, destinations, links and form widgets that point at it stay
// valid; `drawing` is a page in no document that holds the other drawing: the rebuilt one until the swap
// is applied, the previous one after. The reverse exchanges the drawings again and puts oldAnnotations back.
struct PageSwap {
    pdf::PagePtr page;
    pdf::PagePtr drawing;
    QList<pdf::AnnotationPtr> oldAnnotations;
    QList<pdf::AnnotationPtr> newAnnotations;

    PageSwap reversed() const { return {page, drawing, newAnnotations, oldAnnotations}; }
};

} // namespace vmk

