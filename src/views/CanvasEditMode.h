#pragma once

#include "editor/EditTarget.h"

#include <QColor>
#include <QPointF>
#include <QRectF>

#include <functional>
#include <optional>

class QPainter;

namespace vmk {
class Editor;
}

namespace vmk::views {

class CanvasSurface;

// Geometry of dragging a picture's corner. Corners are numbered in page space: 0 (minX, minY),
// 1 (maxX, minY), 2 (maxX, maxY), 3 (minX, maxY); a resize is anchored at the opposite corner.
namespace editgeometry {
QPointF corner(const QRectF& rect, int index);
QPointF anchor(const QRectF& rect, int index);
// The rectangle a corner drag to p gives: each side at least 8 points, proportions kept unless free (Shift),
// the box shrinking on one side to fit the pointer; dragging past the anchor mirrors the box.
QRectF resizedRect(const QRectF& original, int corner, QPointF p, bool free);
// Whether a drag ended far enough from where it started (0.5 points on any edge) to be a change.
bool movedEnough(const QRectF& original, const QRectF& dragged);
} // namespace editgeometry

// Edit mode on the page canvas: hover and selection of page text and pictures, dragging a picture to move it
// or one of its corners to resize it, and the outlines drawn over them. The Editor owns the session, the
// hover and the selection and does every write; this keeps only the one picture drag in progress.
class CanvasEditMode {
public:
    struct ImageGesture {
        core::EditableImage image;
        int page = 0;
        QPointF start;     // page space
        QRectF original;   // page space
        std::optional<int> handle;
    };
    struct Location {
        int page = 0;
        QPointF point; // page space
    };
    // What the canvas does for the block text editor.
    struct BlockEditing {
        std::function<void(const core::EditableTextBlock& block, int page)> begin;
        std::function<void(bool commit)> end;
        std::function<std::optional<qint64>()> openBlockId;
    };

    CanvasEditMode(CanvasSurface& surface, BlockEditing blockEditing);

    void setEditor(Editor* editor) { m_editor = editor; }
    Editor* editor() const { return m_editor; }

    // The page under a view point (not the nearest one) and the point in its space.
    std::optional<Location> editLocation(QPointF viewPoint) const;
    void updateHover(QPointF viewPoint);
    Qt::CursorShape cursorAt(QPointF viewPoint) const;
    // The corner of the selected picture within 8 view points of the point.
    std::optional<int> imageHandle(QPointF viewPoint) const;

    void mouseDown(QPointF viewPoint);
    bool isDraggingImage() const { return m_imageGesture.has_value(); }
    void dragImage(QPointF viewPoint, bool shift);
    void finishImageDrag();
    // Return opens the selected block, Delete or Backspace deletes the selection, Escape deselects.
    bool keyDown(int key, Qt::KeyboardModifiers modifiers);
    // Drops a drag in progress (mode changes, document swaps).
    void reset();

    const std::optional<ImageGesture>& imageGesture() const { return m_imageGesture; }
    const std::optional<QRectF>& imageDragRect() const { return m_imageDragRect; }

    void draw(QPainter& painter, const QColor& accent) const;
    // A page-space rectangle in view space.
    QRectF toView(const QRectF& pageRect, int page) const;

private:
    bool pageExists(int page) const;

    CanvasSurface& m_surface;
    BlockEditing m_blockEditing;
    Editor* m_editor = nullptr;
    std::optional<ImageGesture> m_imageGesture;
    std::optional<QRectF> m_imageDragRect;
};

} // namespace vmk::views
