#include "views/CanvasInteraction.h"

#include "core/SystemAnnotations.h"
#include "editor/Editor.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QLineF>

#include <cmath>

namespace vmk::views {

namespace {

bool isMarkupType(const QString& type)
{
    return type == QLatin1String("Highlight") || type == QLatin1String("Underline")
        || type == QLatin1String("StrikeOut") || type == QLatin1String("Squiggly");
}

template <typename T>
T* gestureAs(std::optional<Gesture>& gesture)
{
    return gesture ? std::get_if<T>(&*gesture) : nullptr;
}

} // namespace

CanvasInteraction::CanvasInteraction(CanvasSurface& surface)
    : m_surface(surface)
{
}

Tool CanvasInteraction::activeTool() const
{
    if (!m_editor || m_editor->mode() != EditorMode::annotate)
        return Tool::select;
    return m_editor->tool();
}

int CanvasInteraction::pageIndexOf(const pdf::PagePtr& page) const
{
    const pdf::DocumentPtr document = m_surface.shownDocument();
    return document && page ? document->indexOf(page) : -1;
}

// --- Picking -----------------------------------------------------------------------------------------

pdf::AnnotationPtr CanvasInteraction::hitTestAnnotation(QPointF pagePoint, const pdf::PagePtr& page) const
{
    if (!m_editor || !page)
        return nullptr;
    const EditorMode mode = m_editor->mode();
    const double tolerance = canvas::kHitTolerance / std::max(m_surface.viewScale(), 0.1);
    // Only those near the point: a page may carry a hundred thousand annotations.
    const std::vector<pdf::AnnotationPtr> annotations = m_surface.annotationsAround(page, pagePoint, tolerance);
    for (auto it = annotations.rbegin(); it != annotations.rend(); ++it) {
        const pdf::Annotation& a = **it;
        if (!a.shouldDisplay())
            continue;
        // Redaction marks belong to Redact mode alone, and Redact mode picks nothing else.
        if ((mode == EditorMode::redact) != core::isRedactionMark(a))
            continue;
        const QString type = a.type();
        if (type == QLatin1String("Widget") || type == QLatin1String("Link") || type == QLatin1String("Popup"))
            continue;
        if (isMarkupType(type) && mode != EditorMode::annotate)
            continue;
        if (a.bounds().adjusted(-tolerance, -tolerance, tolerance, tolerance).contains(pagePoint))
            return *it;
    }
    return nullptr;
}

QList<std::pair<Handle, QPointF>> CanvasInteraction::handlePoints(const pdf::AnnotationPtr& annotation,
                                                                  const pdf::PagePtr& page) const
{
    const int index = pageIndexOf(page);
    if (!annotation || index < 0)
        return {};
    QList<std::pair<Handle, QPointF>> handles = handlePagePoints(*annotation);
    for (auto& [handle, point] : handles)
        point = m_surface.fromPage(point, index);
    return handles;
}

std::optional<HandleHit> CanvasInteraction::hitTestHandle(QPointF viewPoint) const
{
    if (!m_editor)
        return std::nullopt;
    const pdf::AnnotationPtr selected = m_editor->selectedAnnotation();
    const pdf::PagePtr page = selected ? selected->page() : nullptr;
    if (!page)
        return std::nullopt;
    for (const auto& [handle, point] : handlePoints(selected, page))
        if (QLineF(point, viewPoint).length() <= canvas::kHandleRadius)
            return HandleHit{selected, page, handle};
    return std::nullopt;
}

// --- Mouse -------------------------------------------------------------------------------------------

void CanvasInteraction::passThrough(std::optional<Tool> tool)
{
    m_gesture = gesture::Passthrough{tool};
    m_surface.basePress();
}

void CanvasInteraction::mouseDown(const PointerInput& input)
{
    const pdf::DocumentPtr document = m_surface.shownDocument();
    if (m_editor && m_editor->mode() == EditorMode::edit && document) {
        // Edit mode's own picking of page text and pictures is not built yet: the base view selects text.
        passThrough(std::nullopt);
        return;
    }
    if (!m_editor || !placesAnnotations(m_editor->mode()) || !document) {
        m_gesture.reset();
        m_surface.basePress();
        return;
    }
    m_surface.commitTextSession();
    m_surface.stopEffects();
    m_surface.takeFocus();
    if (!m_editor)
        return; // committing may have closed the window

    const QPointF v = input.viewPoint;
    const int index = m_surface.pageIndexAt(v, true);
    const pdf::PagePtr page = index >= 0 ? document->page(index) : nullptr;
    if (!page) {
        passThrough(std::nullopt);
        return;
    }
    const QPointF point = m_surface.toPage(v, index);

    if (const std::optional<HandleHit> hit = hitTestHandle(v)) {
        m_gesture = gesture::Resize{hit->annotation, hit->page, hit->handle, core::captureGeometry(*hit->annotation)};
        return;
    }

    const EditorMode mode = m_editor->mode();
    const Tool tool = activeTool();
    if (const pdf::AnnotationPtr base = m_surface.baseAnnotationAt(v)) {
        const QString type = base->type();
        if (type == QLatin1String("Widget")
            || (type == QLatin1String("Link") && tool == Tool::select && mode != EditorMode::redact)) {
            m_editor->setSelectedAnnotation(nullptr);
            passThrough(std::nullopt);
            return;
        }
    }

    if (const pdf::AnnotationPtr picked = hitTestAnnotation(point, page)) {
        const QString type = picked->type();
        const bool isText = type == QLatin1String("Text");
        const bool isFreeText = type == QLatin1String("FreeText");
        if (tool == Tool::select || (tool == Tool::note && isText) || (tool == Tool::text && isFreeText)) {
            m_editor->setSelectedAnnotation(picked);
            m_surface.redrawOverlay();
            m_gesture.reset();
            if (isFreeText && (input.clickCount >= 2 || tool == Tool::text)) {
                m_surface.beginTextBoxEditing(picked, page, false);
                return;
            }
            if (isText && (input.clickCount >= 2 || tool == Tool::note)) {
                m_surface.showNotePopover(picked, page, false);
                return;
            }
            if (core::isDraggableAnnotation(*picked))
                m_gesture = gesture::Move{picked, page, point, core::captureGeometry(*picked), false};
            return;
        }
    }
    pressOnEmptyPage(input, page, point);
}

void CanvasInteraction::pressOnEmptyPage(const PointerInput& input, const pdf::PagePtr& page, QPointF point)
{
    m_editor->setSelectedAnnotation(nullptr);
    m_surface.redrawOverlay();
    m_gesture.reset();
    switch (m_editor->mode()) {
    case EditorMode::annotate:
        switch (const Tool tool = activeTool()) {
        case Tool::select:
            passThrough(std::nullopt);
            break;
        case Tool::highlight:
        case Tool::underline:
        case Tool::strikeOut:
            passThrough(tool);
            break;
        case Tool::pen:
            m_gesture = gesture::Ink{page, {point}};
            break;
        case Tool::rectangle:
        case Tool::ellipse:
        case Tool::line:
        case Tool::arrow:
            m_gesture = gesture::Shape{page, tool, point, point};
            break;
        case Tool::note:
            if (pdf::AnnotationPtr note = m_editor->addNote(page, point))
                m_surface.showNotePopover(note, page, true);
            break;
        case Tool::text:
            if (pdf::AnnotationPtr box = m_editor->beginFreeText(page, point))
                m_surface.beginTextBoxEditing(box, page, true);
            break;
        case Tool::crop:
            m_gesture = gesture::Crop{page, point, point};
            m_editor->setPendingCrop(std::nullopt);
            break;
        }
        break;
    case EditorMode::redact:
        if (m_surface.characterIndexAt(input.viewPoint) >= 0) {
            m_gesture = gesture::RedactText{};
            m_surface.basePress();
        } else {
            m_gesture = gesture::RedactBox{page, point, point};
        }
        break;
    default:
        passThrough(std::nullopt);
        break;
    }
}

void CanvasInteraction::mouseDragged(const PointerInput& input)
{
    if (!m_gesture || std::holds_alternative<gesture::Passthrough>(*m_gesture)
        || std::holds_alternative<gesture::RedactText>(*m_gesture)) {
        m_surface.baseDrag();
        return;
    }
    const QPointF v = input.viewPoint;
    const bool shift = input.modifiers & Qt::ShiftModifier;
    auto pagePoint = [&](const pdf::PagePtr& page) -> std::optional<QPointF> {
        const int index = pageIndexOf(page);
        if (index < 0)
            return std::nullopt;
        return m_surface.toPage(v, index);
    };

    if (auto* move = gestureAs<gesture::Move>(m_gesture)) {
        const std::optional<QPointF> p = pagePoint(move->page);
        if (!p)
            return;
        core::applyGeometry(movedGeometry(move->original, move->start, *p), *move->annotation);
        m_surface.pageAnnotationsChangedLive(move->page);
        move->moved = true;
    } else if (auto* resize = gestureAs<gesture::Resize>(m_gesture)) {
        const std::optional<QPointF> p = pagePoint(resize->page);
        if (!p)
            return;
        core::applyGeometry(applyResizeGeometry(resize->original, *resize->annotation, resize->handle, *p, shift),
                            *resize->annotation);
        m_surface.pageAnnotationsChangedLive(resize->page);
    } else if (auto* ink = gestureAs<gesture::Ink>(m_gesture)) {
        const std::optional<QPointF> p = pagePoint(ink->page);
        if (!p)
            return;
        // Points closer than the sampling distance add nothing but work: drop the event entirely.
        if (!ink->points.isEmpty()
            && QLineF(ink->points.last(), *p).length() * m_surface.viewScale() < canvas::kInkSampling)
            return;
        ink->points.append(*p);
    } else if (auto* shape = gestureAs<gesture::Shape>(m_gesture)) {
        const std::optional<QPointF> p = pagePoint(shape->page);
        if (!p)
            return;
        shape->end = shift ? snapShapeEnd(shape->start, *p, shape->tool) : *p;
    } else if (auto* box = gestureAs<gesture::RedactBox>(m_gesture)) {
        if (const std::optional<QPointF> p = pagePoint(box->page))
            box->end = *p;
    } else if (auto* crop = gestureAs<gesture::Crop>(m_gesture)) {
        if (const std::optional<QPointF> p = pagePoint(crop->page))
            crop->end = *p;
    }
    m_surface.autoscrollTo(v);
    m_surface.redrawOverlay();
}

void CanvasInteraction::mouseUp(const PointerInput& input)
{
    if (!m_editor || !m_gesture) {
        m_surface.baseRelease();
        m_gesture.reset();
        return;
    }
    finishGesture(input);
    m_gesture.reset();
    m_surface.redrawOverlay();
}

void CanvasInteraction::finishGesture(const PointerInput&)
{
    Editor* editor = m_editor;
    const double scale = m_surface.viewScale();
    if (std::holds_alternative<gesture::Passthrough>(*m_gesture)
        || std::holds_alternative<gesture::RedactText>(*m_gesture)) {
        m_surface.baseRelease();
        finishTextSelection();
    } else if (auto* move = gestureAs<gesture::Move>(m_gesture)) {
        if (move->moved)
            registerGeometryUndo(move->annotation, move->original, move->page,
                                 QStringLiteral("Move ") + core::annotationKindName(*move->annotation));
    } else if (auto* resize = gestureAs<gesture::Resize>(m_gesture)) {
        registerGeometryUndo(resize->annotation, resize->original, resize->page,
                             QStringLiteral("Resize ") + core::annotationKindName(*resize->annotation));
    } else if (auto* ink = gestureAs<gesture::Ink>(m_gesture)) {
        editor->addInk(ink->points, ink->page);
    } else if (auto* shape = gestureAs<gesture::Shape>(m_gesture)) {
        QPointF start = shape->start;
        QPointF end = shape->end;
        if (QLineF(start, end).length() * scale <= canvas::kClickDistance)
            std::tie(start, end) = clickShapeEnds(start, shape->tool,
                                                    shape->page ? shape->page->displayTransform() : QTransform());
        editor->addShape(shape->tool, shape->page, start, end);
    } else if (auto* box = gestureAs<gesture::RedactBox>(m_gesture)) {
        const QRectF r = spannedRect(box->start, box->end);
        if (r.width() * scale > canvas::kSmallestRedactionBox && r.height() * scale > canvas::kSmallestRedactionBox) {
            if (pdf::AnnotationPtr mark = core::RedactionMarkAnnotation::create(r))
                editor->addAnnotation({{mark, box->page}}, QStringLiteral("Mark for Redaction"));
        }
    } else if (auto* crop = gestureAs<gesture::Crop>(m_gesture)) {
        const QRectF r = spannedRect(crop->start, crop->end);
        if (r.width() * scale > canvas::kSmallestCrop && r.height() * scale > canvas::kSmallestCrop)
            editor->setPendingCrop(PendingCrop{crop->page, r.intersected(crop->page->mediaBox())});
    }
}

void CanvasInteraction::finishTextSelection()
{
    if (m_editor && m_gesture) {
        const std::optional<pdf::Selection> selection = m_surface.textSelection();
        const bool usable = selection && !selection->string().trimmed().isEmpty();
        if (auto* pass = gestureAs<gesture::Passthrough>(m_gesture); pass && pass->tool && usable) {
            m_editor->markupSelection(*pass->tool, *selection);
            m_surface.clearTextSelection();
        } else if (std::holds_alternative<gesture::RedactText>(*m_gesture) && usable) {
            m_editor->markSelectionForRedaction(*selection);
            m_surface.clearTextSelection();
        }
    }
    m_gesture.reset();
}

void CanvasInteraction::endGesture()
{
    if (m_editor && m_gesture) {
        // The annotation already sits where the drag left it; without this step the change would have no
        // way back.
        if (auto* move = gestureAs<gesture::Move>(m_gesture); move && move->moved) {
            registerGeometryUndo(move->annotation, move->original, move->page,
                                 QStringLiteral("Move ") + core::annotationKindName(*move->annotation));
        } else if (auto* resize = gestureAs<gesture::Resize>(m_gesture);
                   resize && core::captureGeometry(*resize->annotation) != resize->original) {
            registerGeometryUndo(resize->annotation, resize->original, resize->page,
                                 QStringLiteral("Resize ") + core::annotationKindName(*resize->annotation));
        }
    }
    m_gesture.reset();
    m_surface.redrawOverlay();
}

void CanvasInteraction::registerGeometryUndo(const pdf::AnnotationPtr& annotation,
                                             const core::AnnotationGeometry& wayBack, const pdf::PagePtr& page,
                                             const QString& actionName)
{
    Editor* editor = m_editor;
    if (platform::UndoManager* undo = editor->undoManager()) {
        undo->registerUndo(static_cast<QObject*>(editor),
                           [weak = QPointer<Editor>(editor), annotation, wayBack, page, actionName] {
                               if (weak)
                                   weak->setGeometry(annotation, wayBack, page, actionName);
                           });
        undo->setActionName(actionName);
    }
    editor->annotationsChanged(page);
}

// --- Keys --------------------------------------------------------------------------------------------

bool CanvasInteraction::keyDown(const KeyInput& input)
{
    if (!m_editor)
        return false;
    Editor* editor = m_editor;
    const int key = input.key;
    const Qt::KeyboardModifiers mods = input.modifiers & ~Qt::KeypadModifier;
    const bool isReturn = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool isDelete = key == Qt::Key_Backspace || key == Qt::Key_Delete;
    const bool isArrow = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    const pdf::AnnotationPtr selected = editor->selectedAnnotation();

    // Edit mode's keys (open, delete or clear the page-text selection) come with in-place editing.
    if (isReturn && editor->pendingCrop()) {
        editor->applyCrop(false);
        return true;
    }
    if (isDelete && selected) {
        editor->deleteAnnotation();
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (editor->pendingCrop()) {
            editor->setPendingCrop(std::nullopt);
            m_surface.redrawOverlay();
            return true;
        }
        if (selected) {
            editor->setSelectedAnnotation(nullptr);
            m_surface.redrawOverlay();
            return true;
        }
        if (editor->mode() == EditorMode::annotate && editor->tool() != Tool::select) {
            editor->setTool(Tool::select);
            return true;
        }
    }
    if (isArrow && selected && core::isDraggableAnnotation(*selected) && selected->page()
        && !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        nudge(selected, key, mods & Qt::ShiftModifier);
        return true;
    }
    if (editor->mode() == EditorMode::annotate && mods == Qt::NoModifier && key >= Qt::Key_A && key <= Qt::Key_Z) {
        const QString letter(QChar(QLatin1Char(char('a' + (key - Qt::Key_A)))));
        for (Tool tool : allTools()) {
            if (toolShortcut(tool) == letter) {
                editor->setTool(tool);
                return true;
            }
        }
    }
    return false;
}

void CanvasInteraction::nudge(const pdf::AnnotationPtr& annotation, int key, bool large)
{
    const double step = large ? 10 : 1;
    QPointF direction; // on screen, y down
    switch (key) {
    case Qt::Key_Left:
        direction = {-1, 0};
        break;
    case Qt::Key_Right:
        direction = {1, 0};
        break;
    case Qt::Key_Up:
        direction = {0, -1};
        break;
    default:
        direction = {0, 1};
        break;
    }
    const pdf::PagePtr page = annotation->page();
    // The arrows follow the screen, also on a turned page: the screen direction is carried into the page.
    QPointF delta(direction.x() * step, -direction.y() * step);
    if (const int index = pageIndexOf(page); index >= 0) {
        const QPointF origin = m_surface.fromPage(QPointF(0, 0), index);
        const QPointF along = m_surface.toPage(origin + direction, index) - m_surface.toPage(origin, index);
        const double length = std::hypot(along.x(), along.y());
        if (length > 0)
            delta = along / length * step;
    }
    const QString name = QStringLiteral("Move ") + core::annotationKindName(*annotation);
    const core::AnnotationGeometry wayBack = core::captureGeometry(*annotation);
    core::AnnotationGeometry moved = wayBack;
    moved.bounds.translate(delta);
    core::applyGeometry(moved, *annotation);
    registerGeometryUndo(annotation, wayBack, page, name);
}

// --- Cursors and the Delete command --------------------------------------------------------------------

std::optional<Qt::CursorShape> CanvasInteraction::cursorAt(QPointF viewPoint) const
{
    if (!m_editor || !placesAnnotations(m_editor->mode()))
        return std::nullopt;
    if (hitTestHandle(viewPoint))
        return Qt::CrossCursor;
    switch (m_editor->mode()) {
    case EditorMode::annotate:
        switch (activeTool()) {
        case Tool::pen:
        case Tool::rectangle:
        case Tool::ellipse:
        case Tool::line:
        case Tool::arrow:
        case Tool::crop:
            return Qt::CrossCursor;
        case Tool::note:
            return Qt::PointingHandCursor;
        case Tool::text:
            return Qt::IBeamCursor;
        default:
            return std::nullopt;
        }
    case EditorMode::redact:
        if (m_surface.pageIndexAt(viewPoint, false) >= 0 && m_surface.characterIndexAt(viewPoint) >= 0)
            return Qt::IBeamCursor;
        return Qt::CrossCursor;
    default:
        return std::nullopt;
    }
}

bool CanvasInteraction::canDelete() const
{
    return m_editor && m_editor->selectedAnnotation();
}

void CanvasInteraction::deleteSelection()
{
    if (m_editor)
        m_editor->deleteAnnotation();
}

} // namespace vmk::views
