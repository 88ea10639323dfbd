#pragma once

#include "editor/EditorModel.h"
#include "editor/Toast.h"
#include "platform/pdf/PdfTypes.h"
#include "platform/pdf/Selection.h"

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

// One replacement of a whole page (built by Make Searchable and Apply Redactions). The reverse swaps
// old with new and oldAnnotations with newAnnotations.
struct PageSwap {
    pdf::PagePtr oldPage;
    pdf::PagePtr newPage;
    QList<pdf::AnnotationPtr> oldAnnotations;
    QList<pdf::AnnotationPtr> newAnnotations;

    PageSwap reversed() const { return {newPage, oldPage, newAnnotations, oldAnnotations}; }
};

} // namespace vmk

