#include "platform/pdfview/NavigationHistory.h"

#include <algorithm>

namespace vmk::pdfview {

void NavigationHistory::recordJumpFrom(const ViewLocation& here)
{
    if (here.page < 0)
        return;
    m_back.push_back(here);
    if (m_back.size() > kLimit)
        m_back.erase(m_back.begin());
    m_forward.clear();
}

bool NavigationHistory::goBack(const ViewLocation& here, ViewLocation* target)
{
    if (m_back.empty())
        return false;
    *target = m_back.back();
    m_back.pop_back();
    if (here.page >= 0)
        m_forward.push_back(here);
    return true;
}

bool NavigationHistory::goForward(const ViewLocation& here, ViewLocation* target)
{
    if (m_forward.empty())
        return false;
    *target = m_forward.back();
    m_forward.pop_back();
    if (here.page >= 0)
        m_back.push_back(here);
    return true;
}

void NavigationHistory::clear()
{
    m_back.clear();
    m_forward.clear();
}

void NavigationHistory::clampToPageCount(int pageCount)
{
    auto beyond = [pageCount](const ViewLocation& l) { return l.page >= pageCount; };
    std::erase_if(m_back, beyond);
    std::erase_if(m_forward, beyond);
}

} // namespace vmk::pdfview
