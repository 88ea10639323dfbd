#pragma once

#include "platform/pdf/engine/Fz.h"

#include <QElapsedTimer>

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

// The same, made only when a page is first loaded by its number on this thread while it lives: work that
// may load no page at all (most pages of a document being saved have nothing to draw) walks no tree.
class LazyPageMap {
public:
    LazyPageMap(fz_context* c, pdf_document* doc) : m_c(c), m_doc(doc), m_outer(current()) { current() = this; }
    ~LazyPageMap()
    {
        current() = m_outer;
        if (m_loaded)
            guarded(m_c, [&] { pdf_drop_page_tree(m_c, m_doc); });
    }
    LazyPageMap(const LazyPageMap&) = delete;
    LazyPageMap& operator=(const LazyPageMap&) = delete;

    // Called before a page of `doc` is looked up by its number.
    static void ensure(pdf_document* doc)
    {
        LazyPageMap* map = current();
        if (!map || map->m_doc != doc || map->m_tried)
            return;
        map->m_tried = true;
        QElapsedTimer clock;
        clock.start();
        map->m_loaded = guarded(map->m_c, [&] { pdf_load_page_tree(map->m_c, doc); });
        map->m_walkMs = clock.elapsed();
    }
    // How long making the map took, in milliseconds (0 while it is not made).
    qint64 walkMs() const { return m_walkMs; }

private:
    static LazyPageMap*& current()
    {
        static thread_local LazyPageMap* map = nullptr;
        return map;
    }

    fz_context* m_c;
    pdf_document* m_doc;
    LazyPageMap* m_outer;
    bool m_tried = false;
    bool m_loaded = false;
    qint64 m_walkMs = 0;
};

} // namespace vmk::pdf::detail
