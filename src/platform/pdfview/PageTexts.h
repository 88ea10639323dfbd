#pragma once

#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdfview/PagesPutOff.h"
#include "platform/pdfview/WorkerPool.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <set>
#include <unordered_map>

namespace vmk::pdfview {

// The text of the pages the pointer or a selection meets, read on a worker from a copy of the page under
// the same budget as its drawing, and handed to the page (Page::adoptText) when read. Until then the
// page counts as having no text, so that a page whose text takes long to read never holds up the window.
// A page whose text cannot be read within the budget keeps counting as textless for its generation.
class PageTexts : public QObject {
    Q_OBJECT
public:
    explicit PageTexts(QObject* parent = nullptr);
    ~PageTexts() override; // cancels everything; never waits for a read under way

    void setBudget(const pdf::RecordBudget& budget) { m_budget = budget; }

    // Whether the page's text is known; when it is not, reading it starts (once per generation). While a
    // document is being written it starts once the writing is over, and pageRead asks to look again.
    bool ready(int page, std::uint32_t generation, const pdf::PagePtr& handle);
    bool isReading(int page) const { return m_running.count(page) != 0; }
    bool failed(int page, std::uint32_t generation) const;

    void removePage(int page); // the page changed: a read under way is dropped
    void forgetAll();

signals:
    // The page's text was read (the page now holds it) or given up; pointer and selection may look again.
    void pageRead(int page);

private:
    // Kept on the owner's thread: the page handle belongs to the document, which the worker never
    // touches. The worker holds the cancel flag and only a weak reference to the job.
    struct Job {
        int page;
        std::uint32_t generation;
        pdf::PagePtr handle;
        std::shared_ptr<pdf::RecordCancel> cancel = std::make_shared<pdf::RecordCancel>();
    };
    void finished(const std::weak_ptr<Job>& job, const pdf::TextResult& result);

    pdf::RecordBudget m_budget;
    std::shared_ptr<OwnerLink> m_link = std::make_shared<OwnerLink>(this);
    WorkerPool m_pool;
    std::unordered_map<int, std::shared_ptr<Job>> m_running;
    std::unordered_map<int, std::uint32_t> m_failed; // page -> generation it failed at
    PagesPutOff m_putOff{this, [this](int page) { emit pageRead(page); }};
};

} // namespace vmk::pdfview
