#include "platform/pdf/document/Page.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/document/PageMap.h"
#include "platform/pdf/document/PageTree.h"
#include "platform/pdf/document/State.h"

#include <algorithm>

namespace vmk::pdf {

using namespace detail;

namespace {

int normalizedRotation(int degrees)
{
    const int r = ((degrees % 360) + 360) % 360;
    return (r / 90) * 90;
}

} // namespace

Page::Page() : m_state(std::make_unique<PageState>()) {}

Page::~Page() = default;

PagePtr PageState::make(pdf_document* doc, int num)
{
    PagePtr p(new Page());
    p->m_state->ref.reset(doc, num);
    return p;
}

PagePtr Page::createBlank(const QRectF& mediaBox, int rotation)
{
    fz_context* c = ctx();
    pdf_document* doc = nullptr;
    pdf_obj* page = nullptr;
    fz_buffer* contents = nullptr;
    pdf_obj* resources = nullptr;
    int num = 0;
    const fz_rect box = toFzRect(mediaBox.isEmpty() ? QRectF(0, 0, 612, 792) : mediaBox);
    const int rotate = normalizedRotation(rotation);
    const bool ok = guarded(c, [&] {
        doc = pdf_create_document(c);
        contents = fz_new_buffer(c, 1);
        resources = pdf_new_dict(c, doc, 1);
        page = pdf_add_page(c, doc, box, rotate, resources, contents);
        pdf_insert_page(c, doc, 0, page);
        num = pdf_to_num(c, page);
    });
    pdf_drop_obj(c, page);
    pdf_drop_obj(c, resources);
    fz_drop_buffer(c, contents);
    if (!ok) {
        dropDocument(c, doc);
        return nullptr;
    }
    // The page holds its own reference to its private document.
    PagePtr p = PageState::make(doc, num);
    dropDocument(c, doc);
    return p;
}

PagePtr Page::copy() const
{
    PagePtr self = std::const_pointer_cast<Page>(shared_from_this());
    m_state->loadAnnotations(self);
    ensureAppearances(*this);
    fz_context* c = ctx();
    pdf_document* doc = m_state->ref.doc;
    pdf_obj* source = m_state->ref.obj;
    std::vector<pdf_obj*> annotRefs;
    for (const AnnotationPtr& a : m_state->annotations)
        annotRefs.push_back(a->state().ref.obj);
    int newNum = 0;
    ObjectCopier copier(doc, doc);
    const bool ok = guarded(c, [&] {
        pdf_obj* dict = pdf_resolve_indirect(c, source);
        pdf_flatten_inheritable_page_items(c, dict);
        newNum = pdf_create_object(c, doc);
        copier.map(pdf_to_num(c, source), newNum);
        // Resources and contents are shared with the original; annotations are deep copies.
        pdf_obj* copy = pdf_copy_dict(c, dict);
        pdf_dict_del(c, copy, PDF_NAME(Parent));
        pdf_dict_del(c, copy, PDF_NAME(Annots));
        pdf_dict_del(c, copy, PDF_NAME(StructParents));
        if (!annotRefs.empty()) {
            pdf_obj* annots = pdf_dict_put_array(c, copy, PDF_NAME(Annots), int(annotRefs.size()));
            for (pdf_obj* annotRef : annotRefs)
                pdf_array_push_drop(c, annots, copier.copy(c, annotRef));
        }
        pdf_update_object(c, doc, newNum, copy);
        pdf_drop_obj(c, copy);
    });
    if (!ok)
        return nullptr;
    return PageState::make(doc, newNum);
}

DocumentPtr Page::document() const { return m_state->document.lock(); }

QRectF Page::bounds(PageBox box) const
{
    const PageBoxes boxes = readPageBoxes(ctx(), m_state->ref.obj);
    return box == PageBox::Media ? boxes.media : boxes.crop;
}

void Page::setMediaBox(const QRectF& box)
{
    putRect(ctx(), m_state->ref.obj, PDF_NAME(MediaBox), box);
}

void Page::setCropBox(const QRectF& box)
{
    putRect(ctx(), m_state->ref.obj, PDF_NAME(CropBox), box);
}

int Page::rotation() const
{
    fz_context* c = ctx();
    int r = 0;
    pdf_obj* obj = m_state->ref.obj;
    guarded(c, [&] { r = pdf_to_int(c, pdf_dict_get_inheritable(c, obj, PDF_NAME(Rotate))); });
    return normalizedRotation(r);
}

void Page::setRotation(int degrees)
{
    fz_context* c = ctx();
    pdf_obj* obj = m_state->ref.obj;
    const int r = normalizedRotation(degrees);
    guarded(c, [&] { pdf_dict_put_int(c, obj, PDF_NAME(Rotate), r); });
}

QSizeF Page::displaySize() const
{
    const QSizeF size = cropBox().size();
    const int r = rotation();
    return (r == 90 || r == 270) ? size.transposed() : size;
}

fz_matrix detail::pageToDevice(fz_context* c, pdf_obj* pageObj, fz_rect* deviceBounds)
{
    fz_rect box = {0, 0, 612, 792};
    fz_matrix ctm = fz_identity;
    if (!guarded(c, [&] { pdf_page_obj_transform(c, pageObj, &box, &ctm); }) || fz_is_empty_rect(box)) {
        // An unreadable page dictionary: a Letter page, y down, rather than an unbounded one.
        box = {0, 0, 612, 792};
        ctm = fz_make_matrix(1, 0, 0, -1, 0, 792);
    }
    if (deviceBounds)
        *deviceBounds = fz_transform_rect(box, ctm);
    return ctm;
}

QTransform Page::displayTransform() const
{
    fz_context* c = ctx();
    fz_rect device;
    const fz_matrix m = pageToDevice(c, m_state->ref.obj, &device);
    const QTransform toDevice(m.a, m.b, m.c, m.d, m.e, m.f);
    // Device space is y-down with the origin at the top left; flip it to y-up, origin bottom left.
    const QTransform flip(1, 0, 0, -1, 0, device.y1 - device.y0);
    return toDevice * flip;
}

void PageState::loadAnnotations(const PagePtr& self) const
{
    if (annotationsLoaded)
        return;
    annotationsLoaded = true;
    fz_context* c = ctx();
    pdf_document* doc = ref.doc;
    pdf_obj* pageObj = ref.obj;
    std::vector<int> nums;
    nums.reserve(16);
    guarded(c, [&] {
        pdf_obj* annots = pdf_dict_get(c, pageObj, PDF_NAME(Annots));
        const int n = pdf_array_len(c, annots);
        for (int i = 0; i < n; ++i) {
            pdf_obj* entry = pdf_array_get(c, annots, i);
            if (!pdf_is_dict(c, entry))
                continue;
            if (!pdf_is_indirect(c, entry)) {
                // Handles need an object number; make direct annotations indirect.
                pdf_obj* indirect = pdf_add_object(c, doc, entry);
                pdf_array_put_drop(c, annots, i, indirect);
                entry = pdf_array_get(c, annots, i);
            }
            nums.push_back(pdf_to_num(c, entry));
        }
    });
    for (int num : nums) {
        const auto early = earlyAnnotations.find(num);
        AnnotationPtr a = early != earlyAnnotations.end() ? early->second : AnnotationState::make(doc, num);
        a->state().page = self;
        annotations.push_back(a);
    }
    earlyAnnotations.clear();
}

std::vector<AnnotationPtr> Page::annotations() const
{
    m_state->loadAnnotations(std::const_pointer_cast<Page>(shared_from_this()));
    return m_state->annotations;
}

void Page::addAnnotation(const AnnotationPtr& annotation)
{
    if (!annotation)
        return;
    PagePtr self = shared_from_this();
    m_state->loadAnnotations(self);
    if (PagePtr current = annotation->page()) {
        if (current.get() == this)
            return;
        current->removeAnnotation(annotation);
    }
    if (annotation->state().ref.doc != m_state->ref.doc && !graftAnnotation(*annotation, m_state->ref.doc)) {
        qCWarning(lcVmkPdf) << "The annotation could not be moved to the page";
        return;
    }
    fz_context* c = ctx();
    pdf_obj* pageObj = m_state->ref.obj;
    pdf_obj* annotObj = annotation->state().ref.obj;
    if (!guarded(c, [&] {
            pdf_obj* annots = pdf_dict_get(c, pageObj, PDF_NAME(Annots));
            if (!pdf_is_array(c, annots))
                annots = pdf_dict_put_array(c, pageObj, PDF_NAME(Annots), 4);
            pdf_array_push(c, annots, annotObj);
            pdf_dict_put(c, annotObj, PDF_NAME(P), pageObj);
        }))
        return;
    m_state->annotations.push_back(annotation);
    annotation->state().page = self;
    annotation->state().needsAppearance = true;
}

void Page::removeAnnotation(const AnnotationPtr& annotation)
{
    if (!annotation)
        return;
    m_state->loadAnnotations(shared_from_this());
    auto it = std::find(m_state->annotations.begin(), m_state->annotations.end(), annotation);
    if (it == m_state->annotations.end())
        return;
    fz_context* c = ctx();
    pdf_obj* pageObj = m_state->ref.obj;
    const int num = annotation->state().ref.num();
    guarded(c, [&] {
        pdf_obj* annots = pdf_dict_get(c, pageObj, PDF_NAME(Annots));
        for (int i = pdf_array_len(c, annots) - 1; i >= 0; --i) {
            if (pdf_to_num(c, pdf_array_get(c, annots, i)) == num)
                pdf_array_delete(c, annots, i);
        }
    });
    m_state->annotations.erase(it);
    annotation->state().page.reset();
}

namespace {

// Whether the page object is reachable from the document's page tree, checked without the engine's
// lookup (which reports an error for pages that were removed but still name their old parent).
bool isInPageTree(fz_context* c, pdf_document* doc, pdf_obj* obj)
{
    bool found = false;
    guarded(c, [&] {
        pdf_obj* root = pdf_dict_getp(c, pdf_trailer(c, doc), "Root/Pages");
        pdf_obj* node = obj;
        for (int depth = 0; depth < 64 && node; ++depth) {
            if (pdf_to_num(c, node) == pdf_to_num(c, root)) {
                found = depth > 0;
                return;
            }
            pdf_obj* parent = pdf_dict_get(c, node, PDF_NAME(Parent));
            if (!parent)
                return;
            pdf_obj* kids = pdf_dict_get(c, parent, PDF_NAME(Kids));
            bool listed = false;
            for (int i = 0, n = pdf_array_len(c, kids); i < n && !listed; ++i)
                listed = pdf_to_num(c, pdf_array_get(c, kids, i)) == pdf_to_num(c, node);
            if (!listed)
                return;
            node = parent;
        }
    });
    return found;
}

} // namespace

LoadedPage detail::loadPage(fz_context* c, const Page& page)
{
    LoadedPage loaded;
    pdf_document* doc = page.state().ref.doc;
    pdf_obj* obj = page.state().ref.obj;
    LazyPageMap::ensure(doc);
    if (DocumentPtr d = page.document())
        loaded.index = d->indexOf(&page);
    if (loaded.index < 0 && isInPageTree(c, doc, obj)) {
        int found = -1;
        if (guarded(c, [&] { found = pdf_lookup_page_number(c, doc, obj); }))
            loaded.index = found;
    }
    QString error;
    const bool ok = guarded(c, [&] {
        if (loaded.index < 0) {
            loaded.index = pdf_count_pages(c, doc);
            pdf_insert_page(c, doc, loaded.index, obj);
            loaded.temporarilyInserted = true;
        }
        loaded.page = pdf_load_page(c, doc, loaded.index);
    }, &error);
    if (!ok) {
        qCWarning(lcVmkPdf) << "The page could not be loaded:" << error;
        releasePage(c, page, loaded);
        loaded.page = nullptr;
    }
    return loaded;
}

void detail::releasePage(fz_context* c, const Page& page, LoadedPage& loaded)
{
    fz_drop_page(c, reinterpret_cast<fz_page*>(loaded.page));
    loaded.page = nullptr;
    if (loaded.temporarilyInserted) {
        pdf_document* doc = page.state().ref.doc;
        const int index = loaded.index;
        guarded(c, [&] { pdf_delete_page(c, doc, index); });
        loaded.temporarilyInserted = false;
    }
}

bool detail::graftPage(const Page& page, pdf_document* target)
{
    PagePtr self = std::const_pointer_cast<Page>(page.shared_from_this());
    page.state().loadAnnotations(self);
    ensureAppearances(page);
    fz_context* c = ctx();
    pdf_document* source = page.state().ref.doc;
    pdf_obj* pageRef = page.state().ref.obj;
    const std::vector<AnnotationPtr>& annotations = page.state().annotations;
    std::vector<pdf_obj*> annotRefs;
    for (const AnnotationPtr& a : annotations)
        annotRefs.push_back(a->state().ref.obj);
    std::vector<int> newAnnotNums(annotRefs.size(), 0);
    int newNum = 0;
    ObjectCopier copier(source, target);
    QString error;
    const bool ok = guarded(c, [&] {
        pdf_obj* dict = pdf_resolve_indirect(c, pageRef);
        pdf_flatten_inheritable_page_items(c, dict);
        newNum = pdf_create_object(c, target);
        copier.map(pdf_to_num(c, pageRef), newNum);
        pdf_obj* copy = copier.copyDictExcept(c, dict, {PDF_NAME(Parent), PDF_NAME(Annots), PDF_NAME(B), PDF_NAME(StructParents)});
        if (!annotRefs.empty()) {
            pdf_obj* annots = pdf_dict_put_array(c, copy, PDF_NAME(Annots), int(annotRefs.size()));
            for (size_t i = 0; i < annotRefs.size(); ++i) {
                pdf_obj* annotCopy = copier.copy(c, annotRefs[i]);
                newAnnotNums[i] = pdf_to_num(c, annotCopy);
                pdf_array_push_drop(c, annots, annotCopy);
            }
        }
        pdf_update_object(c, target, newNum, copy);
        pdf_drop_obj(c, copy);
    }, &error);
    if (!ok) {
        qCWarning(lcVmkPdf) << "The page could not be copied:" << error;
        return false;
    }
    page.state().ref.reset(target, newNum);
    for (size_t i = 0; i < annotations.size(); ++i)
        annotations[i]->state().ref.reset(target, newAnnotNums[i]);
    return true;
}

bool detail::graftAnnotation(const Annotation& annotation, pdf_document* target)
{
    fz_context* c = ctx();
    pdf_document* source = annotation.state().ref.doc;
    pdf_obj* ref = annotation.state().ref.obj;
    int newNum = 0;
    ObjectCopier copier(source, target);
    if (!guarded(c, [&] {
            pdf_obj* copy = copier.copy(c, ref);
            newNum = pdf_to_num(c, copy);
            pdf_drop_obj(c, copy);
        }))
        return false;
    const int oldNum = annotation.state().ref.num();
    annotation.state().ref.reset(target, newNum);
    // Standalone annotations wait in the shared scratch document; once moved out they are not needed there.
    if (source == scratchDocument())
        guarded(c, [&] { pdf_delete_object(c, source, oldNum); });
    return newNum > 0;
}

} // namespace vmk::pdf
