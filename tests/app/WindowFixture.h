#pragma once

#include "app/AppDelegate.h"
#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"
#include "app/LaunchTiming.h"

#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace vmk::app::test {

// A PDF of A4 pages at `path`; page N holds one line, `line` with %1 replaced by N.
QString makeTextPdf(const QString& path, int pages, const QString& line = QStringLiteral("Chapter %1 begins here"));
// The same in `dir` under `name`, with the line "Chapter N begins here".
QString makeTextPdf(const QTemporaryDir& dir, const QString& name, int pages);

// An application of its own: folders, defaults (launched with `switches`), a virtual clock and a fixed
// first-window time. start() launches it; stop() closes every document and ends the launch; the
// destructor stops it and puts the shared services back.
struct LaunchedApp {
    QTemporaryDir dir;
    platform::UserDefaults defaults{dir.filePath("defaults.ini")};
    platform::ManualScheduler scheduler;
    std::unique_ptr<DocumentController> controller;
    std::unique_ptr<AppDelegate> delegate;

    explicit LaunchedApp(const QStringList& switches = {}, double firstWindowMs = 1.0);
    ~LaunchedApp();
    LaunchedApp(const LaunchedApp&) = delete;
    LaunchedApp& operator=(const LaunchedApp&) = delete;

    void start();
    void stop();
    DocumentWindowController* window(int i = 0) const;
    bool enabled(const char* action, int tag = 0) const;
    bool perform(const char* action, int tag = 0);
};

// A launched application with one document of `pages` text pages, named `fileName`, as the key window.
struct OneWindow : LaunchedApp {
    DocumentWindowController* w = nullptr;

    OneWindow(int pages, const QString& fileName, const QStringList& switches = {});
    Editor* editor() const { return w->editor(); }
    QString toastText() const;
    // Runs the event loop and the virtual clock until the search has found `count` hits.
    void waitForHits(int count);
    // Lets queued work, deferred deletions and due scheduled steps run.
    void settle();
    // A visible child of the window of that type, e.g. a file dialog the window opened.
    template <class T> T* openChild() const
    {
        for (T* child : w->documentWindow()->findChildren<T*>())
            if (child->isVisible())
                return child;
        return nullptr;
    }
};

// One document window, shown and active so its shortcuts answer keys.
struct ShownWindow : OneWindow {
    explicit ShownWindow(int pages);
};

} // namespace vmk::app::test
