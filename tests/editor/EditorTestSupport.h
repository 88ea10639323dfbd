#pragma once

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "editor/HeadlessCanvas.h"
#include "editor/ReadingPositions.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Logger.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace vmk::test {

// A canvas that remembers what the Editor asked of it.
class RecordingCanvas : public HeadlessCanvas {
public:
    QStringList calls;
    QList<AnnotationItem> sweptItems;
    QString sweptSubtype;
    QColor sweptColor;
    int signatureWrites = 0;

    void commitTextSession() override { calls << QStringLiteral("commitTextSession"); }
    void endBlockSession(bool commit) override { calls << QStringLiteral("endBlockSession:%1").arg(commit); }
    void toolDidChange() override
    {
        calls << QStringLiteral("toolDidChange");
        HeadlessCanvas::toolDidChange();
    }
    void resetGesture() override { calls << QStringLiteral("resetGesture"); }
    void setOverlayNeedsDisplay() override { calls << QStringLiteral("overlay"); }
    void layoutDocumentView() override
    {
        calls << QStringLiteral("layout");
        HeadlessCanvas::layoutDocumentView();
    }
    void annotationsChanged(const pdf::PagePtr&) override { calls << QStringLiteral("annotationsChanged"); }
    void scrollToPageAnimated(const pdf::PagePtr& page) override
    {
        calls << QStringLiteral("scrollToPageAnimated");
        HeadlessCanvas::scrollToPageAnimated(page);
    }
    void playMarkupSweep(const QList<AnnotationItem>& items, const QString& subtype, const QColor& color) override
    {
        sweptItems = items;
        sweptSubtype = subtype;
        sweptColor = color;
    }
    void playSignatureWrite(const pdf::AnnotationPtr&, const pdf::PagePtr&, const QImage&) override
    {
        ++signatureWrites;
    }
    int count(const QString& call) const { return int(calls.count(call)); }
};

// What the Editor tells its window.
class RecordingWindow : public EditorWindowHost {
public:
    QList<EditorMode> modeChanges;
    int subtitleUpdates = 0;
    QWidget* window() const override { return nullptr; }
    void updateSubtitle() override { ++subtitleUpdates; }
    void modeDidChange(EditorMode from) override { modeChanges << from; }
    void revealSidebar() override {}
};

// A PDF whose pages hold text (a line each) or only an image, made with Qt's PDF writer.
QByteArray makePdf(const QList<bool>& textPages, const QList<bool>& imagePages = {});
// A PDF of pages each holding `lines` lines of text, 20 points apart.
QByteArray makeLinesPdf(int pages, int lines);
// A document of count blank letter-size pages.
pdf::DocumentPtr blankDocument(int count, const QSizeF& size = QSizeF(612, 792));
// A locked copy of a document of one text page, with the password.
QByteArray lockedPdf(const QString& password);

// An Editor over a document in a temporary folder, with a manual clock, its own defaults and a recording
// canvas.
struct EditorFixture {
    QTemporaryDir dir;
    platform::ManualScheduler scheduler;
    std::unique_ptr<platform::UserDefaults> defaults;
    std::unique_ptr<core::VMKDocument> document;
    std::unique_ptr<Editor> editor;
    RecordingCanvas* canvas = nullptr;
    RecordingWindow window;

    explicit EditorFixture(pdf::DocumentPtr pdf = blankDocument(5), const QString& fileName = QStringLiteral("Report.pdf"));
    ~EditorFixture();
    // Makes a new Editor over the same document (as reopening the window would).
    void remakeEditor();
    platform::UndoManager& undo() { return *document->undoManager(); }
    // Ends the current undo group as the event loop would between two user actions.
    void endGroup() { undo().closeEventGroup(); }
    pdf::DocumentPtr pdf() const { return document->pdf(); }
    pdf::PagePtr page(int index) const { return document->pdf()->page(index); }
};

} // namespace vmk::test
