#pragma once

#include "platform/pdf/engine/Fz.h"

namespace vmk::pdf::detail {

// While it lives, finding a page by its number (pdf_lookup_page_obj, pdf_load_page) or a page's number
// (pdf_lookup_page_number) goes straight to the answer: the engine keeps a map of the pages made in one walk
// of the page tree. Without it every look-up walks the tree from its root, reading every page before the
// one wanted in a flat tree, so going over all the pages of a long document took time growing with the
// square of its length. Only for work that leaves the page tree as it is; a tree the engine cannot map
// (a cycle, a kid that is no page) is walked as before.
class ScopedPageMap {
public:
    ScopedPageMap(fz_context* c, pdf_document* doc) : m_c(c), m_doc(doc)
    {
        m_loaded = doc && guarded(c, [&] { pdf_load_page_tree(c, doc); });
    }
    ~ScopedPageMap()
    {
        if (m_loaded)
            guarded(m_c, [&] { pdf_drop_page_tree(m_c, m_doc); });
    }
    ScopedPageMap(const ScopedPageMap&) = delete;
    ScopedPageMap& operator=(const ScopedPageMap&) = delete;

private:
    fz_context* m_c;
    pdf_document* m_doc;
    bool m_loaded = false;
};

} // namespace vmk::pdf::detail
