#pragma once

// What the in-place edit engine finds on a page and reports back. Rectangles are in PDF page space:
// points, origin at the bottom left, y growing upwards (x() and y() are minX and minY).

#include "core/pdfium/PDFiumAPI.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>
#include <unordered_map>

namespace vmk::core {

// One line of a block as the page draws it: its text objects and where its text lies in the block's text.
struct EditBlockLine {
    QList<FPDF_PAGEOBJECT> objects;
    qsizetype start = 0;  // in the block's text
    qsizetype length = 0;
    qreal baseline = 0;
};

// One editable paragraph of a page.
struct EditableTextBlock {
    enum class Alignment { left, center, right };

    qint64 id = 0;
    QRectF bounds;
    // Where a left-aligned line's text starts: the origin of its first glyph, which lies left of the ink by
    // that glyph's side bearing. Lines set in a stand-in face start here, or its own bearing would be added
    // to the old one and move them sideways.
    std::optional<qreal> textLeft;
    QString text;
    QString baseFontName;
    qreal fontSize = 0;
    QColor color = Qt::black;
    qreal lineHeight = 0;
    qreal firstBaseline = 0;
    int lineCount = 0;
    Alignment alignment = Alignment::left;
    bool isEmbeddedFont = false;
    int32_t fontFlags = 0;
    int32_t fontWeight = 400;
    bool isEditable = true;
    std::optional<QString> reason;
    QList<FPDF_PAGEOBJECT> objects;
    QList<EditBlockLine> lines; // top to bottom
    FPDF_FONT font = nullptr;

    friend bool operator==(const EditableTextBlock& a, const EditableTextBlock& b)
    {
        return a.id == b.id && a.bounds == b.bounds;
    }
};

// One image object of a page.
struct EditableImage {
    qint64 id = 0;
    QRectF bounds;
    QSize pixelSize; // 0 x 0 when PDFium cannot tell
    FPDF_PAGEOBJECT object = nullptr;

    friend bool operator==(const EditableImage& a, const EditableImage& b)
    {
        return a.id == b.id && a.bounds == b.bounds;
    }
};

struct PageEditModel {
    QList<EditableTextBlock> blocks;
    QList<EditableImage> images;
    bool looksScanned = false;

    friend bool operator==(const PageEditModel&, const PageEditModel&) = default;
};

// The outcome of retyping a block.
struct TextEditResult {
    bool reusedOriginalFont = false;
    std::optional<QString> embeddedFontName; // PostScript name of the font embedded instead
    int lineCount = 0;
    bool overlapsNextBlock = false;
    QRectF newBounds; // null when nothing was written
};

// What the engine knows of one PDFium font during one page scan.
struct EditFontInfo {
    QString name;
    bool isEmbedded = false;
    bool isUnusable = false; // embedded, but its data cannot be read
};
using EditFontTable = std::unordered_map<FPDF_FONT, EditFontInfo>;

// One PDFium text object as the page scan found it.
struct EditRun {
    FPDF_PAGEOBJECT object = nullptr;
    QString text;
    QRectF bounds;
    qreal baseline = 0; // the text origin's y
    qreal x = 0;        // the text origin's x
    qreal size = 0;     // font size times the matrix's vertical scale
    FPDF_FONT font = nullptr;
    QString fontName;
    QColor color = Qt::black;
    std::optional<QString> problem; // why the run cannot be edited
};

// One line of runs while grouping.
struct EditLine {
    QList<EditRun> runs;
    qreal baseline = 0;
    qreal size = 0;
    qreal minX = 0;
    qreal maxX = 0;
    QString text;
};

// One line of retyped text, ready to be written.
struct LaidOutLine {
    QString text;
    QPointF origin; // the baseline start, page space
    qreal width = 0;
};

} // namespace vmk::core
