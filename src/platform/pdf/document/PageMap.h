#pragma once

#include "platform/pdf/engine/Fz.h"

#include <QElapsedTimer>

#include <cstring>
#include <vector>

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

// The map one walk of the page tree made, kept past the slice that made it: work done a slice at a time
// walks the tree once rather than in every slice that loads a page (a walk of a long document takes
// milliseconds, and saving it takes hundreds of slices). The engine's own map cannot stay loaded between
// slices: the engine leaves it as it is when a page is inserted or removed, and whatever runs in between
// would find pages through it. This holds a copy instead, lent to the engine for one slice at a time,
// and only while the document's pages are still those it was made from.
class KeptPageMap {
public:
    // Forgets the map unless `numbers`, the object numbers of the document's pages in order as its page
    // handles have them, are the pages it maps, under the same root of the page tree claiming the same
    // count. An edit of the tree between slices (a page moved, inserted, removed) changes one or the other.
    void forgetUnlessStill(fz_context* c, pdf_document* doc, const std::vector<int>& numbers)
    {
        if (m_doc && (m_doc != doc || numbers != m_forward || treeRoot(c, doc) != m_root))
            *this = KeptPageMap();
    }
    bool holds(pdf_document* doc) const { return doc && m_doc == doc; }

    // Copies the map the engine holds for doc (made by pdf_load_page_tree).
    void take(fz_context* c, pdf_document* doc)
    {
        *this = KeptPageMap();
        const int n = doc->map_page_count;
        if (n <= 0 || !doc->fwd_page_map || !doc->rev_page_map)
            return;
        m_forward.assign(doc->fwd_page_map, doc->fwd_page_map + n);
        m_reverse.assign(doc->rev_page_map, doc->rev_page_map + n);
        m_root = treeRoot(c, doc);
        m_doc = doc;
    }

    // Hands the engine a copy as if pdf_load_page_tree had made it, to be let go of by pdf_drop_page_tree.
    // False when the engine holds a map of doc already, or the memory cannot be had.
    bool lend(fz_context* c, pdf_document* doc) const
    {
        if (!holds(doc) || doc->page_map_nesting != 0)
            return false;
        const int n = int(m_forward.size());
        int* forward = nullptr;
        pdf_rev_page_map* reverse = nullptr;
        if (!guarded(c, [&] { forward = fz_malloc_array(c, n, int); })
            || !guarded(c, [&] { reverse = fz_malloc_array(c, n, pdf_rev_page_map); })) {
            fz_free(c, forward);
            return false;
        }
        std::memcpy(forward, m_forward.data(), sizeof(int) * size_t(n));
        std::memcpy(reverse, m_reverse.data(), sizeof(pdf_rev_page_map) * size_t(n));
        doc->fwd_page_map = forward;
        doc->rev_page_map = reverse;
        doc->map_page_count = n;
        doc->page_map_nesting = 1;
        return true;
    }

private:
    struct Root {
        int num = 0;
        int count = -1;
        bool operator!=(const Root& o) const { return num != o.num || count != o.count; }
    };
    static Root treeRoot(fz_context* c, pdf_document* doc)
    {
        Root root;
        guarded(c, [&] {
            pdf_obj* pages = pdf_dict_getp(c, pdf_trailer(c, doc), "Root/Pages");
            root = {pdf_to_num(c, pages), pdf_dict_get_int(c, pages, PDF_NAME(Count))};
        });
        return root;
    }

    pdf_document* m_doc = nullptr;
    Root m_root;
    std::vector<int> m_forward;
    std::vector<pdf_rev_page_map> m_reverse;
};

// The same, made only when a page is first loaded by its number on this thread while it lives: work that
// may load no page at all (most pages of a document being saved have nothing to draw) walks no tree. With
// a kept map that still holds, the engine is lent that instead of walking; a walk made is kept in it.
class LazyPageMap {
public:
    LazyPageMap(fz_context* c, pdf_document* doc, KeptPageMap* kept = nullptr)
        : m_c(c), m_doc(doc), m_kept(kept), m_outer(current())
    {
        current() = this;
    }
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
        if (map->m_kept && map->m_kept->lend(map->m_c, doc)) {
            map->m_loaded = true;
        } else {
            const bool made = doc->page_map_nesting == 0; // not a map someone else holds
            map->m_loaded = guarded(map->m_c, [&] { pdf_load_page_tree(map->m_c, doc); });
            if (map->m_loaded && made && map->m_kept)
                map->m_kept->take(map->m_c, doc);
        }
        map->m_walkMs = clock.elapsed();
    }
    // How long making the map took, in milliseconds (0 while it is not made, or when it was lent).
    qint64 walkMs() const { return m_walkMs; }

private:
    static LazyPageMap*& current()
    {
        static thread_local LazyPageMap* map = nullptr;
        return map;
    }

    fz_context* m_c;
    pdf_document* m_doc;
    KeptPageMap* m_kept;
    LazyPageMap* m_outer;
    bool m_tried = false;
    bool m_loaded = false;
    qint64 m_walkMs = 0;
};

} // namespace vmk::pdf::detail
