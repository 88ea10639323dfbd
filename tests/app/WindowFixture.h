#pragma once

#include "app/AppDelegate.h"
#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"
#include "app/LaunchTiming.h"

#include "editor/Editor.h"
#include "platform/pdf/Document.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"

#include <QTemporaryDir>

#include <memory>

namespace vmk::app::test {

// A PDF of A4 pages, each with the line "Chapter N begins here".
QString makeTextPdf(const QTemporaryDir& dir, const QString& name, int pages);

// A launched application with one document window, shown and active so its shortcuts answer keys.
struct ShownWindow {
    QTemporaryDir dir;
    platform::UserDefaults defaults{dir.filePath("defaults.ini")};
    platform::ManualScheduler scheduler;
    std::unique_ptr<DocumentController> controller;
    std::unique_ptr<AppDelegate> delegate;
    DocumentWindowController* w = nullptr;

    explicit ShownWindow(int pages);
    ~ShownWindow();
    Editor* editor() const { return w->editor(); }
    // Runs the event loop and the virtual clock until the search has found `count` hits.
    void waitForHits(int count);
    // Lets queued work, deferred deletions and due scheduled steps run.
    void settle();
};

} // namespace vmk::app::test
