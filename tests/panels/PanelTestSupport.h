#pragma once

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "editor/HeadlessCanvas.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"

#include <QAbstractButton>
#include <QList>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

namespace vmk::panels::test {

// A canvas that counts what the panels ask of it.
class CountingCanvas : public HeadlessCanvas {
public:
    int overlayRedraws = 0;
    int signatureWrites = 0;
    void setOverlayNeedsDisplay() override { ++overlayRedraws; }
    void playSignatureWrite(const pdf::AnnotationPtr&, const pdf::PagePtr&, const QImage&) override { ++signatureWrites; }
};

// A window behind the Editor, with a real widget so sheets have somewhere to go.
class FakeWindowHost : public EditorWindowHost {
public:
    QWidget* widget = nullptr;
    QWidget* window() const override { return widget; }
    void updateSubtitle() override {}
    void modeDidChange(EditorMode) override {}
    void revealSidebar() override {}
};

// An Editor over blank pages, with a manual clock and its own defaults.
struct PanelFixture {
    QTemporaryDir dir;
    platform::ManualScheduler scheduler;
    std::unique_ptr<platform::UserDefaults> defaults;
    std::unique_ptr<core::VMKDocument> document;
    std::unique_ptr<Editor> editor;
    CountingCanvas* canvas = nullptr;

    explicit PanelFixture(int pages = 5);
    ~PanelFixture();
    platform::UndoManager& undo() { return *document->undoManager(); }
    pdf::DocumentPtr pdf() const { return document->pdf(); }
    pdf::PagePtr page(int index) const { return document->pdf()->page(index); }
    // Adds a redaction mark to a page through the Editor.
    void addRedactionMark(int pageIndex, const QRectF& bounds);
};

// The one button (or any widget) under a root whose accessible name is the text; null when none.
template <typename T = QWidget>
T* findByName(QWidget* root, const QString& name)
{
    for (T* w : root->findChildren<T*>()) {
        if (w->accessibleName() == name && !w->isHidden())
            return w;
    }
    return nullptr;
}

void click(QAbstractButton* button);
// Lets deferred deletions run.
void settle();
// Where screenshots go: $VMK_SCREENSHOT_DIR when set, else the build folder's "screenshots".
QString screenshotPath(const QString& name);

} // namespace vmk::panels::test
