#pragma once

#include "platform/pdf/document/Document.h"

#include <QObject>

#include <functional>
#include <set>
#include <utility>

namespace vmk::pdfview {

// Pages whose engine work was asked for while a document was being written: copying a page then would
// wait for the writer and hold the window. When the writing is over, `resume` runs once for each page on
// the owner's thread (never after the owner is gone), and the work is asked for again from there.
class PagesPutOff {
public:
    PagesPutOff(QObject* owner, std::function<void(int page)> resume)
        : m_owner(owner), m_resume(std::move(resume))
    {
    }

    void add(int page)
    {
        const bool first = m_pages.empty();
        m_pages.insert(page);
        if (!first)
            return;
        pdf::Document::afterWriting(m_owner, [this] {
            const std::set<int> pages = std::exchange(m_pages, {});
            for (int p : pages)
                m_resume(p);
        });
    }

private:
    QObject* m_owner;
    std::function<void(int)> m_resume;
    std::set<int> m_pages;
};

} // namespace vmk::pdfview
