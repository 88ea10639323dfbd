#pragma once

#include "editor/Editor.h"
#include "views/CanvasGesture.h"
#include "views/CanvasSurface.h"

#include <QList>
#include <QPointF>
#include <QPointer>
#include <QString>

#include <optional>

namespace vmk::views {

struct PointerInput {
    QPointF viewPoint;
    int clickCount = 1;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

struct KeyInput {
    int key = 0; // Qt::Key
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// A handle of the selected annotation found under a view point.
struct HandleHit {
    pdf::AnnotationPtr annotation;
    pdf::PagePtr page;
    Handle handle;
};

// The canvas's decisions, free of painting: what a press, drag or release does with the tools of the
// current mode, which annotation or handle is under the pointer, what a key does and which cursor shows.
// Finished gestures go to the Editor, which changes the document with undo; moves, resizes and nudges are
// applied live and only their way back is registered. The surface supplies the pages and the base view.
class CanvasInteraction {
public:
    explicit CanvasInteraction(CanvasSurface& surface);

    void setEditor(Editor* editor) { m_editor = editor; }
    Editor* editor() const { return m_editor; }

    const std::optional<Gesture>& gesture() const { return m_gesture; }
    // The Editor's tool in Annotate mode; select in every other mode and without an Editor.
    Tool activeTool() const;

    void mouseDown(const PointerInput& input);
    void mouseDragged(const PointerInput& input);
    void mouseUp(const PointerInput& input);
    // True when the key was handled; otherwise it belongs to the base view.
    bool keyDown(const KeyInput& input);
    // The cursor the canvas wants at a view point; nothing leaves the base view's.
    std::optional<Qt::CursorShape> cursorAt(QPointF viewPoint) const;

    // The topmost annotation that the mode lets the user pick at a page point.
    pdf::AnnotationPtr hitTestAnnotation(QPointF pagePoint, const pdf::PagePtr& page) const;
    // An annotation's handles in view space, in hit-testing order.
    QList<std::pair<Handle, QPointF>> handlePoints(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page) const;
    std::optional<HandleHit> hitTestHandle(QPointF viewPoint) const;

    // Turns the base view's finished selection into markup or redaction marks, then ends the gesture.
    void finishTextSelection();

    // The mode is about to change under a gesture: a move or resize already applied is kept and
    // registered for undo, anything not yet applied is dropped.
    void endGesture();

    // The Delete command.
    bool canDelete() const;
    void deleteSelection();

private:
    int pageIndexOf(const pdf::PagePtr& page) const;
    void passThrough(std::optional<Tool> tool);
    void pressOnEmptyPage(const PointerInput& input, const pdf::PagePtr& page, QPointF point);
    void registerGeometryUndo(const pdf::AnnotationPtr& annotation, const core::AnnotationGeometry& wayBack,
                              const pdf::PagePtr& page, const QString& actionName);
    void finishGesture(const PointerInput& input);
    void nudge(const pdf::AnnotationPtr& annotation, int key, bool large);

    CanvasSurface& m_surface;
    QPointer<Editor> m_editor;
    std::optional<Gesture> m_gesture;
};

} // namespace vmk::views
