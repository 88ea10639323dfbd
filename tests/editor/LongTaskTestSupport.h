#pragma once

#include "EditorTestSupport.h"
#include "editor/ImageExportOptions.h"
#include "editor/LongTask.h"

#include <QPointer>
#include <QSizeF>
#include <QWidget>

#include <deque>

namespace vmk::test {

// Holds per-page work back until the test releases it; released work and its hand-back run on the main
// thread, so a test decides exactly where a cancellation or a change lands.
class HeldRunner : public DetachedRunner {
public:
    void run(QObject* context, std::function<void()> work, std::function<void()> done) override;
    // Runs the oldest held job; false when none is held.
    bool runNext();
    // Runs the held job at `position` (0 is the oldest), so that work can come back out of order.
    bool runJob(int position);
    // Runs jobs (also those that released jobs start) until none is held.
    void runAll();
    // Runs jobs, and the window's turns between them, until the editor's long task has ended. Some work goes
    // on between the window's turns in slices of a set time (redaction looks for its words in the rest of
    // the file that way): one slice is enough for a small file, but not always on a loaded machine.
    [[nodiscard]] bool finish(const Editor& editor, int timeoutMs = 30000);
    int held() const { return int(m_jobs.size()); }

private:
    struct Job {
        QPointer<QObject> context;
        std::function<void()> work;
        std::function<void()> done;
    };
    std::deque<Job> m_jobs;
};

// Sets the global thread pool's size for the scope of a test: long tasks keep that many pieces of work in
// flight.
class PoolSize {
public:
    explicit PoolSize(int threads);
    ~PoolSize();

private:
    int m_previous;
};

// A window host with a window, programmed answers for its panels and alerts, and a record of them.
class PanelWindow : public RecordingWindow {
public:
    PanelWindow();
    QWidget* window() const override { return m_widget.get(); }

    void runAlert(const AlertRequest& request, std::function<void(int)> completion) override;
    void runSavePanel(const SavePanelRequest& request, std::function<void(std::optional<QString>)> completion) override;
    void runImageExportPanel(const FolderPanelRequest& request, const std::shared_ptr<ImageExportOptions>& options,
                             int pageCount, std::function<void(std::optional<QString>)> completion) override;
    void showErrorAlert(const QString& message, const QString& detail) override;
    void revealInFileViewer(const QString& path) override { revealed << path; }

    int alertAnswer = 0;
    std::optional<QString> saveAnswer;
    std::optional<QString> folderAnswer;
    // What the user picks in the image export's controls before answering.
    std::function<void(ImageExportOptions&)> chooseOptions;

    QList<AlertRequest> alerts;
    QList<SavePanelRequest> savePanels;
    QList<FolderPanelRequest> folderPanels;
    std::shared_ptr<ImageExportOptions> lastOptions;
    int lastPageCount = -1;
    QStringList errors;
    QStringList revealed;

private:
    std::unique_ptr<QWidget> m_widget;
};

// A PDF whose pages are pictures only (no text of their own): each text is drawn large into an image that
// fills the page; an empty text gives a blank white picture.
QByteArray makeScannedPdf(const QStringList& texts, const QSizeF& pageSize = QSizeF(300, 150));

// Make Searchable reads the pages' text on workers before it decides: runs the event loop until it has
// started its task or said in a toast why not, and says whether it did within the time.
[[nodiscard]] bool makeSearchableDecided(const Editor& editor, int timeoutMs = 20000);

// Opens bytes as a PDF document (failing the test when they do not open).
pdf::DocumentPtr openPdf(const QByteArray& bytes);

} // namespace vmk::test
