// Reading and writing the document outline (/Outlines), with destinations in page space.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/structure/OutlineSplice.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/document/EntryEdits.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/structure/StructureCopy.h"

#include <QSet>

namespace vmk::pdf {

using namespace detail;

namespace {

constexpr int kMaxDepth = 64;

} // namespace

std::optional<Destination> detail::resolveDestination(fz_context* c, const Document& document, pdf_obj* dest)
{
    pdf_document* doc = document.state().doc;
    pdf_obj* array = nullptr;
    int index = -1;
    double values[4] = {0, 0, 0, 0};
    bool present[4] = {false, false, false, false};
    QString kind;
    const char* kindName = nullptr;
    const bool ok = guarded(c, [&] {
        array = dest;
        if (pdf_is_dict(c, array))
            array = pdf_dict_get(c, array, PDF_NAME(D));
        if (pdf_is_name(c, array) || pdf_is_string(c, array))
            array = lookupDestination(c, doc, array);
        if (pdf_is_dict(c, array))
            array = pdf_dict_get(c, array, PDF_NAME(D));
        if (!pdf_is_array(c, array))
            return;
        pdf_obj* target = pdf_array_get(c, array, 0);
        if (pdf_is_int(c, target))
            index = pdf_to_int(c, target);
        else if (pdf_is_dict(c, target))
            index = pdf_lookup_page_number(c, doc, target);
        kindName = pdf_to_name(c, pdf_array_get(c, array, 1));
        for (int i = 0; i < 4; ++i) {
            pdf_obj* v = pdf_array_get(c, array, 2 + i);
            present[i] = pdf_is_number(c, v);
            values[i] = pdf_to_real(c, v);
        }
    });
    if (!ok || index < 0)
        return std::nullopt;
    PagePtr page = document.page(index);
    if (!page)
        return std::nullopt;
    kind = QString::fromLatin1(kindName ? kindName : "");
    const QRectF crop = page->cropBox();
    QPointF point(crop.left(), crop.bottom());
    if (kind == QLatin1String("XYZ")) {
        point = QPointF(present[0] ? values[0] : crop.left(), present[1] ? values[1] : crop.bottom());
    } else if (kind == QLatin1String("FitH") || kind == QLatin1String("FitBH")) {
        if (present[0])
            point.setY(values[0]);
    } else if (kind == QLatin1String("FitV") || kind == QLatin1String("FitBV")) {
        if (present[0])
            point.setX(values[0]);
    } else if (kind == QLatin1String("FitR")) {
        point = QPointF(values[0], qMax(values[1], values[3]));
    }
    return Destination{page, point};
}

namespace {

void readChildren(fz_context* c, const Document& document, pdf_obj* parent, OutlineItem& into, QSet<int>& seen, int depth)
{
    if (depth > kMaxDepth)
        return;
    pdf_obj* item = nullptr;
    guarded(c, [&] { item = pdf_dict_get(c, parent, PDF_NAME(First)); });
    while (item) {
        const int num = pdf_to_num(c, item);
        if (num <= 0 || seen.contains(num))
            break; // malformed outlines may loop
        seen.insert(num);
        OutlineItem child;
        pdf_obj* title = nullptr;
        pdf_obj* dest = nullptr;
        int count = 0;
        guarded(c, [&] {
            title = pdf_dict_get(c, item, PDF_NAME(Title));
            dest = pdf_dict_get(c, item, PDF_NAME(Dest));
            if (!dest) {
                pdf_obj* action = pdf_dict_get(c, item, PDF_NAME(A));
                if (pdf_name_eq(c, pdf_dict_get(c, action, PDF_NAME(S)), PDF_NAME(GoTo)))
                    dest = pdf_dict_get(c, action, PDF_NAME(D));
            }
            count = pdf_dict_get_int(c, item, PDF_NAME(Count));
        });
        child.label = textOf(c, title);
        if (dest)
            child.destination = resolveDestination(c, document, dest);
        child.isOpen = count > 0;
        readChildren(c, document, item, child, seen, depth + 1);
        into.children.append(child);
        pdf_obj* next = nullptr;
        guarded(c, [&] { next = pdf_dict_get(c, item, PDF_NAME(Next)); });
        item = next;
    }
}

// The outline prepared for writing, so that no Qt object is made while MuPDF may longjmp.
struct PlainItem {
    QByteArray title;
    int pageIndex = -1;
    double x = 0, y = 0;
    bool open = false;
    std::vector<PlainItem> children;
};

PlainItem prepare(const Document& document, const OutlineItem& item)
{
    PlainItem plain;
    plain.title = item.label.toUtf8();
    if (item.destination && item.destination->page) {
        plain.pageIndex = document.indexOf(item.destination->page);
        plain.x = item.destination->point.x();
        plain.y = item.destination->point.y();
    }
    plain.open = item.isOpen;
    for (const OutlineItem& child : item.children)
        plain.children.push_back(prepare(document, child));
    return plain;
}

// Number of entries visible below an item, as /Count wants it for open items.
int visibleCount(const PlainItem& item)
{
    int count = 0;
    for (const PlainItem& child : item.children) {
        ++count;
        if (child.open)
            count += visibleCount(child);
    }
    return count;
}

// Writes the children of `item` under `parentRef`; throws MuPDF errors (call inside guarded()).
// The chain's /First and /Last go into `ends` when given, else into the parent.
void writeChildren(fz_context* c, pdf_document* doc, pdf_obj* parentRef, const PlainItem& item,
                   const std::vector<pdf_obj*>& pageObjs, pdf_obj* ends = nullptr)
{
    pdf_obj* previous = nullptr;
    pdf_obj* parent = ends ? ends : pdf_resolve_indirect(c, parentRef);
    for (const PlainItem& child : item.children) {
        pdf_obj* ref = pdf_add_new_dict(c, doc, 6);
        pdf_obj* dict = pdf_resolve_indirect(c, ref);
        pdf_dict_put_text_string(c, dict, PDF_NAME(Title), child.title.constData());
        pdf_dict_put(c, dict, PDF_NAME(Parent), parentRef);
        if (child.pageIndex >= 0 && size_t(child.pageIndex) < pageObjs.size()) {
            pdf_obj* dest = pdf_dict_put_array(c, dict, PDF_NAME(Dest), 5);
            pdf_array_push(c, dest, pageObjs[size_t(child.pageIndex)]);
            pdf_array_push(c, dest, PDF_NAME(XYZ));
            pdf_array_push_real(c, dest, child.x);
            pdf_array_push_real(c, dest, child.y);
            pdf_array_push(c, dest, PDF_NULL);
        }
        if (!child.children.empty()) {
            const int count = child.open ? visibleCount(child) : -int(child.children.size());
            pdf_dict_put_int(c, dict, PDF_NAME(Count), count);
            writeChildren(c, doc, ref, child, pageObjs);
        }
        if (previous) {
            pdf_dict_put(c, pdf_resolve_indirect(c, previous), PDF_NAME(Next), ref);
            pdf_dict_put(c, dict, PDF_NAME(Prev), previous);
        } else {
            pdf_dict_put(c, parent, PDF_NAME(First), ref);
        }
        pdf_dict_put(c, parent, PDF_NAME(Last), ref);
        pdf_drop_obj(c, previous);
        previous = ref;
    }
    pdf_drop_obj(c, previous);
}

} // namespace

std::optional<OutlineItem> Document::outline() const
{
    if (m_state->locked)
        return std::nullopt;
    fz_context* c = ctx();
    pdf_obj* outlines = nullptr;
    pdf_document* doc = m_state->doc;
    guarded(c, [&] { outlines = pdf_dict_getp(c, pdf_trailer(c, doc), "Root/Outlines"); });
    if (!pdf_is_dict(c, outlines))
        return std::nullopt;
    OutlineItem root;
    root.isOpen = true;
    QSet<int> seen;
    readChildren(c, *this, outlines, root, seen, 0);
    return root;
}

namespace {

std::vector<pdf_obj*> pageObjects(const Document& document)
{
    std::vector<pdf_obj*> objects;
    for (const PagePtr& page : document.pages())
        objects.push_back(page ? page->state().ref.obj : PDF_NULL);
    return objects;
}

} // namespace

void Document::setOutline(const std::optional<OutlineItem>& root)
{
    if (m_state->locked)
        return;
    fz_context* c = ctx();
    pdf_document* doc = m_state->doc;
    const std::vector<pdf_obj*> pageObjs = pageObjects(*this);
    const PlainItem plain = root ? prepare(*this, *root) : PlainItem();
    const bool remove = !root.has_value();
    guarded(c, [&] {
        pdf_obj* catalog = pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Root));
        if (remove) {
            pdf_dict_del(c, catalog, PDF_NAME(Outlines));
            return;
        }
        pdf_obj* outlines = pdf_add_new_dict(c, doc, 4);
        fz_try(c)
        {
            pdf_dict_put(c, pdf_resolve_indirect(c, outlines), PDF_NAME(Type), PDF_NAME(Outlines));
            writeChildren(c, doc, outlines, plain, pageObjs);
            pdf_dict_put_int(c, pdf_resolve_indirect(c, outlines), PDF_NAME(Count), visibleCount(plain));
            pdf_dict_put(c, catalog, PDF_NAME(Outlines), outlines);
        }
        fz_always(c) { pdf_drop_obj(c, outlines); }
        fz_catch(c) { fz_rethrow(c); }
    });
}

struct OutlineSplice::Impl {
    pdf_document* doc = nullptr;
    EntryEdits journal;

    ~Impl()
    {
        journal.clear(ctx());
        dropDocument(ctx(), doc);
    }
};

OutlineSplice::OutlineSplice() : d(std::make_unique<Impl>()) {}

OutlineSplice::~OutlineSplice() = default;

std::shared_ptr<OutlineSplice> OutlineSplice::insert(Document& document, const QList<OutlineItem>& entries, int position)
{
    if (entries.isEmpty() || document.isLocked())
        return nullptr;
    fz_context* c = ctx();
    pdf_document* doc = document.state().doc;
    const std::vector<pdf_obj*> pageObjs = pageObjects(document);
    PlainItem plain;
    for (const OutlineItem& entry : entries)
        plain.children.push_back(prepare(document, entry));
    std::shared_ptr<OutlineSplice> splice(new OutlineSplice);
    splice->d->doc = pdf_keep_document(c, doc);
    EntryEdits& journal = splice->d->journal;
    QString error;
    const bool ok = guarded(c, [&] {
        pdf_obj* catalog = pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Root));
        if (!pdf_is_dict(c, pdf_dict_get(c, catalog, PDF_NAME(Outlines)))) {
            pdf_obj* made = pdf_add_new_dict(c, doc, 4);
            fz_try(c)
            {
                pdf_dict_put(c, pdf_resolve_indirect(c, made), PDF_NAME(Type), PDF_NAME(Outlines));
                journal.put(c, catalog, PDF_NAME(Outlines), made);
            }
            fz_always(c) { pdf_drop_obj(c, made); }
            fz_catch(c) { fz_rethrow(c); }
        }
        pdf_obj* outlines = pdf_dict_get(c, catalog, PDF_NAME(Outlines));
        std::vector<pdf_obj*> items;
        QSet<int> seen;
        for (pdf_obj* item = pdf_dict_get(c, outlines, PDF_NAME(First)); pdf_is_indirect(c, item);
             item = pdf_dict_get(c, item, PDF_NAME(Next))) {
            if (seen.contains(pdf_to_num(c, item)))
                break; // malformed outlines may loop
            seen.insert(pdf_to_num(c, item));
            items.push_back(item);
        }
        const size_t at = size_t(qBound(0, position, int(items.size())));
        pdf_obj* ends = pdf_new_dict(c, doc, 2);
        pdf_obj* count = nullptr;
        fz_try(c)
        {
            writeChildren(c, doc, outlines, plain, pageObjs, ends);
            pdf_obj* first = pdf_dict_get(c, ends, PDF_NAME(First));
            pdf_obj* last = pdf_dict_get(c, ends, PDF_NAME(Last));
            if (at > 0) {
                pdf_dict_put(c, first, PDF_NAME(Prev), items[at - 1]);
                journal.put(c, items[at - 1], PDF_NAME(Next), first);
            } else {
                journal.put(c, outlines, PDF_NAME(First), first);
            }
            if (at < items.size()) {
                pdf_dict_put(c, last, PDF_NAME(Next), items[at]);
                journal.put(c, items[at], PDF_NAME(Prev), last);
            } else {
                journal.put(c, outlines, PDF_NAME(Last), last);
            }
            int visible = pdf_dict_get_int(c, outlines, PDF_NAME(Count));
            if (visible <= 0)
                visible = int(items.size());
            count = pdf_new_int(c, visible + visibleCount(plain));
            journal.put(c, outlines, PDF_NAME(Count), count);
        }
        fz_always(c)
        {
            pdf_drop_obj(c, count);
            pdf_drop_obj(c, ends);
        }
        fz_catch(c) { fz_rethrow(c); }
    }, &error);
    if (!ok) {
        guarded(c, [&] { journal.exchange(c); });
        qCWarning(lcVmkPdf) << "The outline entries could not be added:" << error;
        return nullptr;
    }
    return splice;
}

void OutlineSplice::exchange()
{
    fz_context* c = ctx();
    guarded(c, [&] { d->journal.exchange(c); });
}

} // namespace vmk::pdf
