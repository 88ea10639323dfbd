#pragma once

#include "PanelTestSupport.h"

#include "editor/LongTask.h"
#include "panels/SectionControls.h"

#include <QPointer>
#include <QStringList>

#include <deque>
#include <memory>

namespace vmk::panels::test {

// Holds detached work until the test lets it run, so in-flight states can be looked at.
class HeldWork : public DetachedRunner {
public:
    void run(QObject* context, std::function<void()> work, std::function<void()> done) override
    {
        m_jobs.push_back({context, std::move(work), std::move(done)});
    }
    int held() const { return int(m_jobs.size()); }
    // Runs the oldest job (index 0) or another one; false when there is none.
    bool runAt(int index = 0)
    {
        if (index >= int(m_jobs.size()))
            return false;
        Job job = std::move(m_jobs[index]);
        m_jobs.erase(m_jobs.begin() + index);
        job.work();
        if (job.context)
            job.done();
        return true;
    }
    void runAll()
    {
        while (runAt(0)) {
        }
    }

private:
    struct Job {
        QPointer<QObject> context;
        std::function<void()> work;
        std::function<void()> done;
    };
    std::deque<Job> m_jobs;
};

// A document window for the panels: a real widget, programmed answers for save panels and alerts, and a
// record of the sheet actions asked of it.
class SheetWindow : public FakeWindowHost, public DocumentSheetActions {
public:
    SheetWindow() : m_widget(std::make_unique<QWidget>()) { widget = m_widget.get(); }

    std::optional<QString> savePath;
    int alertAnswer = -1;
    QList<SavePanelRequest> savePanels;
    QList<AlertRequest> alerts;
    QStringList errors;
    QStringList actions;

    void runSavePanel(const SavePanelRequest& request, std::function<void(std::optional<QString>)> completion) override
    {
        savePanels << request;
        completion(savePath);
    }
    void runAlert(const AlertRequest& request, std::function<void(int)> completion) override
    {
        alerts << request;
        completion(alertAnswer);
    }
    void showErrorAlert(const QString& message, const QString&) override { errors << message; }

    void presentPasswordSheet() override { actions << QStringLiteral("password"); }
    void confirmRemovePassword() override { actions << QStringLiteral("removePassword"); }
    void presentCompressSheet() override { actions << QStringLiteral("compress"); }

private:
    std::unique_ptr<QWidget> m_widget;
};

} // namespace vmk::panels::test
