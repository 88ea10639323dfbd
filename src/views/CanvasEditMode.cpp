#include "views/CanvasEditMode.h"

#include "core/pdfium/PDFEditSession.h"
#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "views/CanvasSurface.h"

#include <QLineF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace vmk::views {

namespace {
constexpr double kHandleRadius = 8.0;
constexpr double kMinSide = 8.0;
} // namespace

namespace editgeometry {

QPointF corner(const QRectF& r, int index)
{
    switch (index) {
    case 0: return {r.left(), r.top()};
    case 1: return {r.right(), r.top()};
    case 2: return {r.right(), r.bottom()};
    default: return {r.left(), r.bottom()};
    }
}

QPointF anchor(const QRectF& r, int index)
{
    return corner(r, (index + 2) % 4);
}

QRectF resizedRect(const QRectF& original, int cornerIndex, QPointF p, bool free)
{
    const QPointF a = anchor(original, cornerIndex);
    double w = std::max(std::abs(p.x() - a.x()), kMinSide);
    double h = std::max(std::abs(p.y() - a.y()), kMinSide);
    if (!free) {
        const double ratio = original.width() / std::max(original.height(), 0.01);
        if (w / h <= ratio)
            h = w / ratio;
        else
            w = h * ratio;
    }
    const double x = p.x() < a.x() ? a.x() - w : a.x();
    const double y = p.y() < a.y() ? a.y() - h : a.y();
    return {x, y, w, h};
}

bool movedEnough(const QRectF& original, const QRectF& dragged)
{
    return std::abs(dragged.x() - original.x()) >= 0.5 || std::abs(dragged.y() - original.y()) >= 0.5
        || std::abs(dragged.width() - original.width()) >= 0.5
        || std::abs(dragged.height() - original.height()) >= 0.5;
}

} // namespace editgeometry

CanvasEditMode::CanvasEditMode(CanvasSurface& surface, BlockEditing blockEditing)
    : m_surface(surface)
    , m_blockEditing(std::move(blockEditing))
{
}

bool CanvasEditMode::pageExists(int page) const
{
    const pdf::DocumentPtr doc = m_surface.shownDocument();
    return doc && page >= 0 && page < doc->pageCount();
}

QRectF CanvasEditMode::toView(const QRectF& pageRect, int page) const
{
    const QPointF a = m_surface.fromPage(pageRect.topLeft(), page);
    const QPointF b = m_surface.fromPage(pageRect.bottomRight(), page);
    return QRectF(a, b).normalized();
}

std::optional<CanvasEditMode::Location> CanvasEditMode::editLocation(QPointF viewPoint) const
{
    if (!m_editor)
        return std::nullopt;
    const int index = m_surface.pageIndexAt(viewPoint, false);
    if (!pageExists(index))
        return std::nullopt;
    return Location{index, m_surface.toPage(viewPoint, index)};
}

void CanvasEditMode::updateHover(QPointF viewPoint)
{
    if (!m_editor)
        return;
    const std::optional<Location> where = editLocation(viewPoint);
    const std::optional<EditTarget> target = where ? m_editor->editTargetAt(where->page, where->point) : std::nullopt;
    const std::optional<EditTarget>& hover = m_editor->editHover();
    if (target.has_value() != hover.has_value() || (target && !(*target == *hover))) {
        m_editor->setEditHover(target);
        m_surface.redrawOverlay();
    }
}

Qt::CursorShape CanvasEditMode::cursorAt(QPointF viewPoint) const
{
    if (!m_editor)
        return Qt::ArrowCursor;
    if (m_imageGesture && !m_imageGesture->handle)
        return Qt::ClosedHandCursor;
    if (editLocation(viewPoint) && imageHandle(viewPoint))
        return Qt::CrossCursor;
    const std::optional<EditTarget>& hover = m_editor->editHover();
    if (!hover)
        return Qt::ArrowCursor;
    if (hover->isImage())
        return Qt::OpenHandCursor;
    return hover->block.isEditable ? Qt::IBeamCursor : Qt::ForbiddenCursor;
}

std::optional<int> CanvasEditMode::imageHandle(QPointF viewPoint) const
{
    if (!m_editor)
        return std::nullopt;
    const std::optional<EditTarget>& selection = m_editor->editSelection();
    if (!selection || !selection->isImage() || !pageExists(selection->page))
        return std::nullopt;
    // The picture's own corners in view space: the radius stays 8 view points at every zoom.
    for (int k = 0; k < 4; ++k) {
        const QPointF c = m_surface.fromPage(editgeometry::corner(selection->image.bounds, k), selection->page);
        if (QLineF(c, viewPoint).length() <= kHandleRadius)
            return k;
    }
    return std::nullopt;
}

void CanvasEditMode::mouseDown(QPointF viewPoint)
{
    if (!m_editor)
        return;
    if (m_blockEditing.end)
        m_blockEditing.end(true);
    m_surface.takeFocus();
    if (!m_editor)
        return;

    const std::optional<EditTarget> selection = m_editor->editSelection();
    if (selection && selection->isImage() && pageExists(selection->page)) {
        if (const std::optional<int> handle = imageHandle(viewPoint)) {
            m_imageGesture = ImageGesture{selection->image, selection->page,
                                          m_surface.toPage(viewPoint, selection->page), selection->image.bounds,
                                          handle};
            m_imageDragRect.reset();
            return;
        }
    }

    const std::optional<Location> where = editLocation(viewPoint);
    if (!where) {
        m_editor->setEditSelection(std::nullopt);
        m_surface.redrawOverlay();
        return;
    }
    const std::optional<EditTarget> target = m_editor->editTargetAt(where->page, where->point);
    if (!target) {
        m_editor->setEditSelection(std::nullopt);
        if (core::PDFEditSession* session = m_editor->editSession()) {
            const auto model = session->model(where->page);
            if (model && model->looksScanned)
                m_editor->showToast(QStringLiteral("This page is a scan. Run Make Searchable first, then use a text box."),
                                    QStringLiteral("text.viewfinder"), Toast::Style::info);
        }
        m_surface.redrawOverlay();
        return;
    }
    m_editor->setEditSelection(target);
    if (target->isImage()) {
        m_imageGesture = ImageGesture{target->image, where->page, where->point, target->image.bounds, std::nullopt};
        m_imageDragRect.reset();
    } else if (target->block.isEditable && m_blockEditing.begin) {
        // One press both selects and starts typing.
        m_blockEditing.begin(target->block, where->page);
    }
    m_surface.redrawOverlay();
}

void CanvasEditMode::dragImage(QPointF viewPoint, bool shift)
{
    if (!m_editor || !m_imageGesture || !pageExists(m_imageGesture->page))
        return;
    const ImageGesture& g = *m_imageGesture;
    // In the picture's page space even when the pointer has left that page.
    const QPointF p = m_surface.toPage(viewPoint, g.page);
    if (!g.handle)
        m_imageDragRect = g.original.translated(p - g.start);
    else
        m_imageDragRect = editgeometry::resizedRect(g.original, *g.handle, p, shift);
    m_surface.redrawOverlay();
}

void CanvasEditMode::finishImageDrag()
{
    const std::optional<ImageGesture> gesture = m_imageGesture;
    const std::optional<QRectF> rect = m_imageDragRect;
    m_imageGesture.reset();
    m_imageDragRect.reset();
    if (gesture && rect && m_editor && editgeometry::movedEnough(gesture->original, *rect))
        m_editor->moveImage(gesture->image, gesture->page, *rect);
    m_surface.redrawOverlay();
}

bool CanvasEditMode::keyDown(int key, Qt::KeyboardModifiers)
{
    if (!m_editor)
        return false;
    const std::optional<EditTarget> selection = m_editor->editSelection();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (selection && selection->isText() && selection->block.isEditable && m_blockEditing.begin) {
            m_blockEditing.begin(selection->block, selection->page);
            return true;
        }
        return false;
    }
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        if (!selection)
            return false;
        m_editor->deleteEditTarget();
        m_surface.redrawOverlay();
        return true;
    }
    if (key == Qt::Key_Escape && selection) {
        m_editor->setEditSelection(std::nullopt);
        m_surface.redrawOverlay();
        return true;
    }
    return false;
}

void CanvasEditMode::reset()
{
    m_imageGesture.reset();
    m_imageDragRect.reset();
}

void CanvasEditMode::draw(QPainter& painter, const QColor& accent) const
{
    if (!m_editor)
        return;
    const std::optional<EditTarget>& hover = m_editor->editHover();
    const std::optional<EditTarget>& selection = m_editor->editSelection();
    const std::optional<qint64> openBlock = m_blockEditing.openBlockId ? m_blockEditing.openBlockId() : std::nullopt;
    auto withAlpha = [](QColor c, double alpha) {
        c.setAlphaF(float(alpha));
        return c;
    };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    if (hover && pageExists(hover->page) && !(selection && *hover == *selection)
        && !(hover->isText() && openBlock && *openBlock == hover->block.id)) {
        const QRectF r = toView(hover->bounds(), hover->page).adjusted(-3, -3, 3, 3);
        QPen pen;
        pen.setWidthF(1.2);
        if (hover->isEditable()) {
            painter.setBrush(withAlpha(accent, 0.07));
            pen.setColor(withAlpha(accent, 0.85));
        } else {
            painter.setBrush(withAlpha(QColor(128, 128, 128), 0.06));
            pen.setColor(QColor(128, 128, 128));
            pen.setDashPattern({4 / 1.2, 3 / 1.2});
        }
        painter.setPen(pen);
        painter.drawRoundedRect(r, 4, 4);
    }

    if (selection && !openBlock && pageExists(selection->page)) {
        const QRectF r = toView(selection->bounds(), selection->page).adjusted(-3, -3, 3, 3);
        QPen pen(accent, 2.0);
        if (!selection->isEditable())
            pen.setDashPattern({4 / 2.0, 3 / 2.0});
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(r, 4, 4);
    }

    if (selection && selection->isImage() && !m_imageDragRect && pageExists(selection->page)) {
        const QRectF r = toView(selection->image.bounds, selection->page);
        painter.setPen(QPen(accent, 1.5));
        painter.setBrush(Qt::white);
        for (const QPointF& c : {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()})
            painter.drawEllipse(c, 5, 5);
    }

    if (m_imageDragRect && m_imageGesture && pageExists(m_imageGesture->page)) {
        const QRectF r = toView(*m_imageDragRect, m_imageGesture->page);
        QPen pen(accent, 1.5);
        pen.setDashPattern({6 / 1.5, 4 / 1.5});
        painter.setPen(pen);
        painter.setBrush(withAlpha(accent, 0.12));
        painter.drawRect(r);
    }
    painter.restore();
}

} // namespace vmk::views
