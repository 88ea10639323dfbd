#pragma once

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"
#include "views/PDFCanvasView.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <memory>

namespace vmk::test {

// A letter-size PDF whose pages carry a few lines of text, the first line at (72, 100) from the top.
QByteArray textPdf(int pageCount);
pdf::DocumentPtr openPdf(const QByteArray& data);

// An Editor over a document with the real page canvas, shown offscreen at 900 × 1000 and scale 1.
struct CanvasFixture {
    QTemporaryDir dir;
    platform::ManualScheduler scheduler;
    std::unique_ptr<platform::UserDefaults> defaults;
    std::unique_ptr<core::VMKDocument> document;
    std::unique_ptr<Editor> editor;
    views::PDFCanvasView* canvas = nullptr;

    explicit CanvasFixture(pdf::DocumentPtr pdf = nullptr, double scale = 1.0);
    ~CanvasFixture();

    pdf::PagePtr page(int index = 0) const { return document->pdf()->page(index); }
    platform::UndoManager& undo() { return *document->undoManager(); }
    // Closes the undo group as the event loop would between two user actions.
    void endGroup() { undo().closeEventGroup(); }

    // A page point of a page in the canvas's view space.
    QPointF view(QPointF pagePoint, int pageIndex = 0) const;

    // Mouse and keys, sent to the canvas as the window would. Points are page points of page 0.
    void press(QPointF pagePoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void doubleClick(QPointF pagePoint);
    void drag(QPointF pagePoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void release(QPointF pagePoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void click(QPointF pagePoint) { press(pagePoint); release(pagePoint); }
    // Press, drag in steps and release.
    void dragFromTo(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int steps = 8);
    // Press and release at view points (for distances measured on screen).
    void pressView(QPointF viewPoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void dragView(QPointF viewPoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void releaseView(QPointF viewPoint, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // Adds an annotation directly (no undo), as if it had been there.
    pdf::AnnotationPtr addSquare(const QRectF& bounds, int pageIndex = 0);
    int annotationCount(const QString& type, int pageIndex = 0) const;
    pdf::AnnotationPtr lastAnnotation(int pageIndex = 0) const;
};

} // namespace vmk::test
