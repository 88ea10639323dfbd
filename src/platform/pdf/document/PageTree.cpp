#include "platform/pdf/document/PageTree.h"

#include "platform/pdf/engine/PdfLog.h"

#include <cmath>
#include <vector>

namespace vmk::pdf::detail {

namespace {

constexpr double kMinSide = 3;         // points, the smallest page the format allows
constexpr double kMaxSide = 200000;    // points, about 70 metres
constexpr double kMaxCoordinate = 1e6; // points from the origin
const fz_rect kLetter = {0, 0, 612, 792};

// An object that names itself something else (the catalog, an object stream, a font) listed among the
// kids: neither a page nor a node of pages.
bool isForeignNode(fz_context* c, pdf_obj* node)
{
    pdf_obj* type = pdf_dict_get(c, node, PDF_NAME(Type));
    return pdf_is_name(c, type) && !pdf_name_eq(c, type, PDF_NAME(Page)) && !pdf_name_eq(c, type, PDF_NAME(Pages));
}

bool isPageNode(fz_context* c, pdf_obj* node)
{
    pdf_obj* type = pdf_dict_get(c, node, PDF_NAME(Type));
    if (pdf_name_eq(c, type, PDF_NAME(Pages)))
        return false;
    return pdf_name_eq(c, type, PDF_NAME(Page)) || !pdf_is_array(c, pdf_dict_get(c, node, PDF_NAME(Kids)));
}

// The value of an inheritable key, looking up the Parent chain no further than `limit` steps: a chain
// longer than the document has objects goes round in a circle.
pdf_obj* inherited(fz_context* c, pdf_obj* node, pdf_obj* key, int limit)
{
    for (int step = 0; node && step <= limit; ++step) {
        if (pdf_obj* value = pdf_dict_get(c, node, key))
            return value;
        node = pdf_dict_get(c, node, PDF_NAME(Parent));
    }
    return nullptr;
}

// The nearest sound media box from the page up its ancestors.
pdf_obj* nearestSoundMediaBox(fz_context* c, pdf_obj* node, int limit)
{
    for (int step = 0; node && step <= limit; ++step) {
        pdf_obj* box = pdf_dict_get(c, node, PDF_NAME(MediaBox));
        if (box && isSoundBox(c, box))
            return box;
        node = pdf_dict_get(c, node, PDF_NAME(Parent));
    }
    return nullptr;
}

void mendBoxes(fz_context* c, pdf_obj* page, int limit)
{
    pdf_obj* media = inherited(c, page, PDF_NAME(MediaBox), limit);
    fz_rect mediaRect;
    if (isSoundBox(c, media)) {
        mediaRect = pdf_to_rect(c, media);
    } else {
        pdf_obj* fallback = nearestSoundMediaBox(c, page, limit);
        mediaRect = fallback ? pdf_to_rect(c, fallback) : kLetter;
        pdf_dict_put_rect(c, page, PDF_NAME(MediaBox), mediaRect);
    }
    pdf_obj* crop = inherited(c, page, PDF_NAME(CropBox), limit);
    if (!crop)
        return;
    const fz_rect visible = fz_intersect_rect(pdf_to_rect(c, crop), mediaRect);
    if (!isSoundBox(c, crop) || visible.x1 - visible.x0 < 1 || visible.y1 - visible.y0 < 1)
        pdf_dict_put_rect(c, page, PDF_NAME(CropBox), mediaRect);
}

// The page dictionary of an object number; the document keeps it alive.
pdf_obj* pageObject(fz_context* c, pdf_document* doc, int num)
{
    pdf_obj* ref = pdf_new_indirect(c, doc, num, 0);
    pdf_obj* page = pdf_resolve_indirect(c, ref);
    pdf_drop_obj(c, ref);
    return page;
}

struct Walk {
    std::vector<int> leaves; // object numbers, in order
    bool sound = true;
    // Kids whose object cannot be read, with the media box their node gives (null when none): the engine
    // draws each as an empty page.
    std::vector<pdf_obj*> unreadableBoxes;
};

Walk walkTree(fz_context* c, pdf_obj* root, int objectCount)
{
    Walk walk;
    struct Frame {
        pdf_obj* node;
        int next;
        int length;
        size_t firstLeaf;
    };
    std::vector<Frame> stack;
    std::vector<char> seen(size_t(objectCount) + 1, 0);
    auto enter = [&](pdf_obj* node) {
        const int num = pdf_to_num(c, node);
        if (num > 0) {
            if (num > objectCount || seen[size_t(num)])
                return false;
            seen[size_t(num)] = 1;
        }
        if (int(stack.size()) >= kMaxPageTreeDepth)
            walk.sound = false;
        stack.push_back({node, 0, pdf_array_len(c, pdf_dict_get(c, node, PDF_NAME(Kids))), walk.leaves.size()});
        return true;
    };
    if (isPageNode(c, root)) {
        // The root is a page itself: sound only in the sense that it can be given a parent.
        walk.sound = false;
        if (pdf_is_indirect(c, root))
            walk.leaves.push_back(pdf_to_num(c, root));
        return walk;
    }
    enter(root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.length) {
            const int64_t under = int64_t(walk.leaves.size() - top.firstLeaf);
            if (pdf_to_int64(c, pdf_dict_get(c, top.node, PDF_NAME(Count))) != under)
                walk.sound = false;
            stack.pop_back();
            continue;
        }
        pdf_obj* kids = pdf_dict_get(c, top.node, PDF_NAME(Kids));
        pdf_obj* kid = pdf_array_get(c, kids, top.next++);
        if (!pdf_is_dict(c, kid) || isForeignNode(c, kid)) {
            walk.sound = false; // a missing or unreadable kid, or one that is no part of the tree
            if (!pdf_is_dict(c, kid) && pdf_is_indirect(c, kid))
                walk.unreadableBoxes.push_back(pdf_dict_get_inheritable(c, top.node, PDF_NAME(MediaBox)));
            continue;
        }
        if (!pdf_is_indirect(c, kid) && isPageNode(c, kid)) {
            // A page written straight into the list: it gets an object of its own, which gives it an identity.
            pdf_array_put_drop(c, kids, top.next - 1, pdf_add_object(c, pdf_get_bound_document(c, kids), kid));
            kid = pdf_array_get(c, kids, top.next - 1);
        }
        if (!isPageNode(c, kid)) {
            if (!enter(kid))
                walk.sound = false; // a cycle
            continue;
        }
        if (!pdf_is_indirect(c, kid)) {
            walk.sound = false; // a page without an object of its own has no identity to keep
            continue;
        }
        if (walk.leaves.size() >= size_t(kMaxPages)) {
            walk.sound = false;
            qCWarning(lcVmkPdf, "The page tree holds more than %d pages; the rest are left out.", kMaxPages);
            break;
        }
        walk.leaves.push_back(pdf_to_num(c, kid));
    }
    return walk;
}

// One level: every page a direct kid of the root, with what it inherited copied onto it first.
void flatten(fz_context* c, pdf_document* doc, pdf_obj* root, const std::vector<int>& leaves, int limit)
{
    pdf_obj* const inheritable[] = {PDF_NAME(Resources), PDF_NAME(MediaBox), PDF_NAME(CropBox), PDF_NAME(Rotate)};
    for (int num : leaves) {
        pdf_obj* page = pageObject(c, doc, num);
        for (pdf_obj* key : inheritable) {
            if (!pdf_dict_get(c, page, key)) {
                if (pdf_obj* value = inherited(c, page, key, limit))
                    pdf_dict_put(c, page, key, value);
            }
        }
    }
    pdf_obj* rootRef = root;
    if (!pdf_is_indirect(c, root) || isPageNode(c, root)) {
        rootRef = pdf_add_new_dict(c, doc, 4);
        pdf_dict_put_drop(c, pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Root)), PDF_NAME(Pages), rootRef);
    }
    pdf_dict_put(c, rootRef, PDF_NAME(Type), PDF_NAME(Pages));
    pdf_obj* kids = pdf_dict_put_array(c, rootRef, PDF_NAME(Kids), int(leaves.size()));
    for (int num : leaves) {
        pdf_obj* ref = pdf_new_indirect(c, doc, num, 0);
        pdf_array_push_drop(c, kids, ref);
        pdf_dict_put(c, ref, PDF_NAME(Parent), rootRef);
    }
    pdf_dict_put_int(c, rootRef, PDF_NAME(Count), int64_t(leaves.size()));
}

// A copy of page `num` for a second place in the tree. It shares the page's contents and resources, but
// has annotations of its own: an annotation belongs to one page. Form fields and popups stay with the
// first place, since a field's widget and a note's popup can only point back to one page.
int copyPage(fz_context* c, pdf_document* doc, int num)
{
    pdf_obj* original = pageObject(c, doc, num);
    pdf_obj* copy = pdf_add_object_drop(c, doc, pdf_copy_dict(c, original));
    pdf_obj* page = pdf_resolve_indirect(c, copy);
    pdf_obj* annots = pdf_dict_get(c, original, PDF_NAME(Annots));
    if (pdf_is_array(c, annots)) {
        pdf_obj* own = pdf_dict_put_array(c, page, PDF_NAME(Annots), pdf_array_len(c, annots));
        for (int i = 0, n = pdf_array_len(c, annots); i < n; ++i) {
            pdf_obj* annot = pdf_array_get(c, annots, i);
            pdf_obj* subtype = pdf_dict_get(c, annot, PDF_NAME(Subtype));
            if (!pdf_is_dict(c, annot) || pdf_name_eq(c, subtype, PDF_NAME(Widget))
                || pdf_name_eq(c, subtype, PDF_NAME(Popup)))
                continue;
            pdf_obj* annotCopy = pdf_add_object_drop(c, doc, pdf_copy_dict(c, annot));
            pdf_obj* resolved = pdf_resolve_indirect(c, annotCopy);
            pdf_dict_put(c, resolved, PDF_NAME(P), copy);
            pdf_dict_del(c, resolved, PDF_NAME(Popup));
            pdf_array_push_drop(c, own, annotCopy);
        }
    }
    const int copyNum = pdf_to_num(c, copy);
    pdf_drop_obj(c, copy);
    return copyNum;
}

// Whether the catalog's /Pages names a page tree, or at least a page: not the catalog, a font, a content
// stream or anything else a damaged file may point it at.
bool namesPages(fz_context* c, pdf_obj* root)
{
    if (!pdf_is_dict(c, root))
        return false;
    pdf_obj* type = pdf_dict_get(c, root, PDF_NAME(Type));
    return pdf_name_eq(c, type, PDF_NAME(Pages)) || pdf_name_eq(c, type, PDF_NAME(Page))
        || pdf_is_array(c, pdf_dict_get(c, root, PDF_NAME(Kids)));
}

// Where the pages are when /Pages points elsewhere: the page tree the file holds (a node of pages without
// a parent; of several, the one that leads to the most pages), else a new node listing the file's page
// objects in the order of their numbers. Null when the file has no page at all. Objects that cannot be read
// are passed over.
pdf_obj* findPages(fz_context* c, pdf_document* doc)
{
    const int count = pdf_xref_len(c, doc);
    pdf_obj* best = nullptr;
    size_t bestLeaves = 0;
    std::vector<int> loosePages;
    for (int num = 1; num < count; ++num) {
        pdf_obj* obj = nullptr;
        fz_try(c)
        {
            pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
            if (entry && (entry->type == 'n' || entry->type == 'o'))
                obj = pdf_load_object(c, doc, num);
        }
        fz_catch(c) { obj = nullptr; }
        pdf_obj* type = pdf_dict_get(c, obj, PDF_NAME(Type));
        if (pdf_name_eq(c, type, PDF_NAME(Page)) && !pdf_is_stream(c, obj)) {
            loosePages.push_back(num);
        } else if (pdf_name_eq(c, type, PDF_NAME(Pages)) && !pdf_dict_get(c, obj, PDF_NAME(Parent))) {
            pdf_obj* ref = pdf_new_indirect(c, doc, num, 0);
            const size_t leaves = walkTree(c, ref, count).leaves.size();
            if (leaves > bestLeaves) {
                pdf_drop_obj(c, best);
                best = ref;
                bestLeaves = leaves;
            } else {
                pdf_drop_obj(c, ref);
            }
        }
        pdf_drop_obj(c, obj);
    }
    if (best || loosePages.empty())
        return best;
    pdf_obj* node = pdf_add_new_dict(c, doc, 3);
    pdf_dict_put(c, node, PDF_NAME(Type), PDF_NAME(Pages));
    pdf_obj* kids = pdf_dict_put_array(c, node, PDF_NAME(Kids), int(loosePages.size()));
    for (int num : loosePages)
        pdf_array_push_drop(c, kids, pdf_new_indirect(c, doc, num, 0));
    pdf_dict_put_int(c, node, PDF_NAME(Count), int64_t(loosePages.size()));
    return node;
}

} // namespace

PageBoxes readPageBoxes(fz_context* c, pdf_obj* page)
{
    fz_rect media = {0, 0, 612, 792}, crop = fz_empty_rect;
    bool hasCrop = false;
    guarded(c, [&] {
        pdf_obj* mediaObj = pdf_dict_get_inheritable(c, page, PDF_NAME(MediaBox));
        if (isSoundBox(c, mediaObj))
            media = pdf_to_rect(c, mediaObj);
        pdf_obj* cropObj = pdf_dict_get_inheritable(c, page, PDF_NAME(CropBox));
        hasCrop = isSoundBox(c, cropObj);
        if (hasCrop)
            crop = pdf_to_rect(c, cropObj);
    });
    PageBoxes boxes;
    boxes.media = toQRect(media).normalized();
    const QRectF cropRect = hasCrop ? toQRect(crop).normalized().intersected(boxes.media) : QRectF();
    boxes.crop = cropRect.isEmpty() ? boxes.media : cropRect;
    return boxes;
}

void mendPageBoxes(fz_context* c, pdf_document* doc, int num)
{
    mendBoxes(c, pageObject(c, doc, num), pdf_xref_len(c, doc));
}

bool isSoundBox(fz_context* c, pdf_obj* box)
{
    if (!pdf_is_array(c, box) || pdf_array_len(c, box) != 4)
        return false;
    float v[4];
    for (int i = 0; i < 4; ++i) {
        pdf_obj* item = pdf_array_get(c, box, i);
        if (!pdf_is_number(c, item))
            return false;
        v[i] = pdf_to_real(c, item);
        if (!std::isfinite(v[i]) || std::fabs(v[i]) > kMaxCoordinate)
            return false;
    }
    const double width = std::fabs(double(v[2]) - v[0]), height = std::fabs(double(v[3]) - v[1]);
    return width >= kMinSide && height >= kMinSide && width <= kMaxSide && height <= kMaxSide;
}

int repairPageTree(fz_context* c, pdf_document* doc)
{
    pdf_obj* catalog = pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Root));
    pdf_obj* root = pdf_dict_get(c, catalog, PDF_NAME(Pages));
    if (pdf_is_dict(c, catalog) && !namesPages(c, root)) {
        // The catalog is what gets written: it must name the pages shown.
        if (pdf_obj* found = findPages(c, doc)) {
            qCWarning(lcVmkPdf, "The catalog's /Pages names no pages; using the page tree found in the file.");
            pdf_dict_put_drop(c, catalog, PDF_NAME(Pages), found);
            root = pdf_dict_get(c, catalog, PDF_NAME(Pages));
        }
    }
    if (!namesPages(c, root))
        return 0;
    const int objectCount = pdf_xref_len(c, doc);
    Walk walk = walkTree(c, root, objectCount);
    if (walk.leaves.empty() && !walk.unreadableBoxes.empty()) {
        // Not one page can be read, but the tree lists some: the engine shows them empty, and so do we,
        // rather than refusing a file other readers show.
        qCWarning(lcVmkPdf, "No page of the page tree can be read; %d empty pages stand in for them.",
                  int(walk.unreadableBoxes.size()));
        for (pdf_obj* box : walk.unreadableBoxes) {
            pdf_obj* page = pdf_add_new_dict(c, doc, 3);
            pdf_dict_put(c, page, PDF_NAME(Type), PDF_NAME(Page));
            pdf_dict_put_rect(c, page, PDF_NAME(MediaBox), isSoundBox(c, box) ? pdf_to_rect(c, box) : kLetter);
            walk.leaves.push_back(pdf_to_num(c, page));
            pdf_drop_obj(c, page);
        }
    }
    // A page object listed twice is two pages to every reader, but one object cannot be two pages that
    // differ: what is done to one would show on the other, and the written file would not be what the
    // user sees. Each further listing becomes a copy of the page.
    std::vector<char> listed(size_t(objectCount) + 1, 0);
    int copies = 0;
    for (int& num : walk.leaves) {
        if (num <= 0 || num > objectCount)
            continue;
        if (!listed[size_t(num)]) {
            listed[size_t(num)] = 1;
            continue;
        }
        num = copyPage(c, doc, num);
        ++copies;
    }
    if (!walk.sound || copies > 0) {
        if (copies > 0)
            qCWarning(lcVmkPdf, "%d pages are listed more than once; each place now has its own copy.", copies);
        if (!walk.sound)
            qCWarning(lcVmkPdf, "The page tree does not add up; rebuilt with the %d pages found.",
                      int(walk.leaves.size()));
        flatten(c, doc, root, walk.leaves, pdf_xref_len(c, doc));
    }
    for (int num : walk.leaves)
        mendBoxes(c, pageObject(c, doc, num), objectCount);
    return int(walk.leaves.size());
}

} // namespace vmk::pdf::detail
