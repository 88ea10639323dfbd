#include "views/PDFCanvasView.h"

#include "core/InkPath.h"
#include "editor/Editor.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "views/BackgroundSampling.h"
#include "views/InlineTextView.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace vmk::views {

namespace {

bool isMarkup(const QString& type)
{
    return type == QLatin1String("Highlight") || type == QLatin1String("Underline")
        || type == QLatin1String("StrikeOut") || type == QLatin1String("Squiggly");
}

// Dash lengths are in points; Qt's dash patterns count in pen widths.
QPen dashedPen(const QColor& color, double width, double on, double off)
{
    QPen pen(color, width);
    pen.setDashPattern({on / width, off / width});
    return pen;
}

} // namespace

void PDFCanvasView::paintOverlay(QPainter& painter, const QRect&)
{
    if (!editor())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    m_effects.paint(painter);
    drawSelection(painter);
    if (editor()->mode() == EditorMode::edit)
        m_editMode.draw(painter, palette().color(QPalette::Highlight));
    drawGesturePreview(painter);
    painter.restore();
}

void PDFCanvasView::drawSelection(QPainter& painter)
{
    Editor* e = editor();
    const pdf::AnnotationPtr a = e->selectedAnnotation();
    const pdf::DocumentPtr doc = PDFView::document();
    if (!a || !doc || e->mode() == EditorMode::read || e->mode() == EditorMode::pages)
        return;
    const pdf::PagePtr page = a->page();
    const int index = page ? doc->indexOf(page) : -1;
    if (index < 0)
        return; // a page of another document, or none
    const QColor accent = palette().color(QPalette::Highlight);

    if (m_textSession && m_textSession->annotation == a && m_textSession->view) {
        QColor thin = accent;
        thin.setAlphaF(0.9f);
        painter.setPen(QPen(thin, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(m_textSession->view->geometry()).adjusted(-2, -2, 2, 2), 3, 3);
        return;
    }
    if (pdf::Document::isWritingUnderWay()) {
        // Drawn as it was; once the writing is over, drawn again from the annotation.
        if (!m_redrawAfterWriting) {
            m_redrawAfterWriting = true;
            pdf::Document::afterWriting(this, [this] {
                m_redrawAfterWriting = false;
                viewport()->update();
            });
        }
        if (m_drawnSelection.annotation.lock() != a || m_drawnSelection.page != index)
            return;
    } else {
        DrawnSelection drawn{a, index, std::nullopt, false, {}};
        if (a->type() != QLatin1String("Line")) {
            drawn.outline = a->bounds();
            drawn.dashed = isMarkup(a->type());
        }
        for (const auto& [handle, point] : m_interaction.handlePoints(a, page))
            drawn.handles.append(convertPointToPage(point, index));
        m_drawnSelection = std::move(drawn);
    }
    if (m_drawnSelection.outline) {
        const QRectF outline = convertRectFromPage(*m_drawnSelection.outline, index).adjusted(-3, -3, 3, 3);
        painter.setPen(m_drawnSelection.dashed ? dashedPen(accent, 1.5, 4, 3) : QPen(accent, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(outline, 4, 4);
    }
    painter.setPen(QPen(accent, 1.5));
    painter.setBrush(Qt::white);
    for (const QPointF& point : m_drawnSelection.handles)
        painter.drawEllipse(convertPointFromPage(point, index), 5.0, 5.0);
}

void PDFCanvasView::drawGesturePreview(QPainter& painter)
{
    Editor* e = editor();
    const pdf::DocumentPtr doc = PDFView::document();
    if (!doc)
        return;
    const double scale = PDFView::scaleFactor();
    const double width = e->strokeWidth() * scale;
    const std::optional<Gesture>& g = gesture();
    auto toView = [&](const pdf::PagePtr& page, QPointF p) { return convertPointFromPage(p, doc->indexOf(page)); };

    if (const auto* ink = g ? std::get_if<gesture::Ink>(&*g) : nullptr; ink && ink->points.size() >= 2) {
        if (doc->indexOf(ink->page) < 0)
            return;
        QList<QPointF> points;
        for (const QPointF& p : ink->points)
            points.append(toView(ink->page, p));
        const QColor color = e->toolColors().value(Tool::pen, Swatch::blue());
        painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(core::smoothedInkPath(points));
        return;
    }
    if (const auto* shape = g ? std::get_if<gesture::Shape>(&*g) : nullptr) {
        if (doc->indexOf(shape->page) < 0)
            return;
        const QPointF p0 = toView(shape->page, shape->start);
        const QPointF p1 = toView(shape->page, shape->end);
        const QColor color = e->colorForTool(shape->tool);
        const QRectF r = spannedRect(p0, p1);
        painter.setBrush(Qt::NoBrush);
        if (shape->tool == Tool::rectangle || shape->tool == Tool::ellipse) {
            painter.setPen(QPen(color, width));
            const QRectF inset = r.adjusted(width / 2, width / 2, -width / 2, -width / 2);
            if (shape->tool == Tool::rectangle)
                painter.drawRect(inset);
            else
                painter.drawEllipse(inset);
            return;
        }
        painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(p0, p1);
        if (shape->tool == Tool::arrow) {
            const double angle = std::atan2(p1.y() - p0.y(), p1.x() - p0.x());
            const double length = std::max(4 * width, 10.0);
            const double barb = std::numbers::pi / 7;
            QPainterPath head;
            head.moveTo(p1);
            head.lineTo(p1 - length * QPointF(std::cos(angle - barb), std::sin(angle - barb)));
            head.lineTo(p1 - length * QPointF(std::cos(angle + barb), std::sin(angle + barb)));
            head.closeSubpath();
            painter.fillPath(head, color);
        }
        return;
    }
    if (const auto* box = g ? std::get_if<gesture::RedactBox>(&*g) : nullptr) {
        if (doc->indexOf(box->page) < 0)
            return;
        const QRectF r = spannedRect(toView(box->page, box->start), toView(box->page, box->end));
        painter.fillRect(r, QColor::fromRgbF(0, 0, 0, 0.55f));
        painter.setPen(QPen(QColor(255, 59, 48), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r);
        return;
    }
    if (const auto* crop = g ? std::get_if<gesture::Crop>(&*g) : nullptr) {
        const int index = doc->indexOf(crop->page);
        if (index >= 0)
            drawCropDimming(painter, index, spannedRect(toView(crop->page, crop->start), toView(crop->page, crop->end)));
        return;
    }
    if (const std::optional<PendingCrop>& pending = e->pendingCrop()) {
        const int index = doc->indexOf(pending->page);
        if (index >= 0)
            drawCropDimming(painter, index, convertRectFromPage(pending->rect, index));
    }
}

void PDFCanvasView::drawCropDimming(QPainter& painter, int pageIndex, const QRectF& crop)
{
    // The crop rectangle runs the other way round, so under the winding rule it cuts a hole in the page.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRect(pageRectInView(pageIndex));
    path.moveTo(crop.topLeft());
    path.lineTo(crop.bottomLeft());
    path.lineTo(crop.bottomRight());
    path.lineTo(crop.topRight());
    path.closeSubpath();
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, 0.45f));
    painter.setPen(dashedPen(Qt::white, 1.5, 6, 4));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(crop);
}

} // namespace vmk::views
