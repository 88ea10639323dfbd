// Generating appearance streams: custom ones from AppearanceBuilder drawings, standard ones from the
// engine's synthesis.

#include "platform/pdf/annotations/AppearanceBuilder.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/annotations/AppearanceState.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/document/UntouchedAppearances.h"

namespace vmk::pdf::detail {

std::optional<QRectF> firstPageBox(const QByteArray& pdfData)
{
    Result<DocumentPtr> doc = Document::fromData(pdfData);
    if (!doc || (*doc)->isLocked() || (*doc)->pageCount() < 1)
        return std::nullopt;
    return (*doc)->page(0)->cropBox();
}

namespace {

// Opens a one-page PDF and adds its first page to `target` as a form XObject in the page's own
// coordinates (BBox = crop box). Throws MuPDF errors.
pdf_obj* importPageAsForm(fz_context* c, const QByteArray& data, pdf_document* target, ObjectCopier& copier)
{
    fz_buffer* bytes = nullptr;
    fz_stream* stream = nullptr;
    pdf_document* source = nullptr;
    fz_buffer* content = nullptr;
    pdf_obj* resources = nullptr;
    pdf_obj* form = nullptr;
    fz_var(bytes);
    fz_var(stream);
    fz_var(source);
    fz_var(content);
    fz_var(resources);
    fz_var(form);
    fz_try(c)
    {
        bytes = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(data.constData()), size_t(data.size()));
        stream = fz_open_buffer(c, bytes);
        source = pdf_open_document_with_stream(c, stream);
        pdf_obj* page = pdf_lookup_page_obj(c, source, 0);
        fz_rect box;
        fz_matrix ctm;
        pdf_page_obj_transform(c, page, &box, &ctm);
        content = fz_new_buffer(c, 1024);
        pdf_obj* contents = pdf_dict_get(c, page, PDF_NAME(Contents));
        const int n = pdf_is_array(c, contents) ? pdf_array_len(c, contents) : 1;
        for (int i = 0; i < n; ++i) {
            pdf_obj* part = pdf_is_array(c, contents) ? pdf_array_get(c, contents, i) : contents;
            if (!pdf_is_stream(c, part))
                continue;
            fz_buffer* piece = pdf_load_stream(c, part);
            fz_append_buffer(c, content, piece);
            fz_append_byte(c, content, '\n');
            fz_drop_buffer(c, piece);
        }
        resources = copier.copy(c, pdf_dict_get_inheritable(c, page, PDF_NAME(Resources)));
        if (!resources)
            resources = pdf_new_dict(c, target, 1);
        form = pdf_new_xobject(c, target, box, fz_identity, resources, content);
    }
    fz_always(c)
    {
        pdf_drop_obj(c, resources);
        fz_drop_buffer(c, content);
        dropDocument(c, source);
        fz_drop_stream(c, stream);
        fz_drop_buffer(c, bytes);
    }
    fz_catch(c) { fz_rethrow(c); }
    return form;
}

} // namespace

bool writeAppearance(fz_context* c, pdf_document* doc, pdf_obj* annot, const AppearanceBuilderState& state)
{
    const fz_rect bbox = toFzRect(state.bounds);
    const QByteArray& content = state.content;
    const QList<AppearanceBuilderState::Alpha>& alphas = state.alphas;
    const QList<QByteArray>& forms = state.forms;
    ObjectCopier copier(nullptr, doc);
    char name[32];
    QString error;
    const bool ok = guarded(c, [&] {
        pdf_obj* res = pdf_new_dict(c, doc, 2);
        fz_buffer* buffer = nullptr;
        pdf_obj* xobj = nullptr;
        fz_var(buffer);
        fz_var(xobj);
        fz_try(c)
        {
            if (!alphas.isEmpty()) {
                pdf_obj* gs = pdf_dict_put_dict(c, res, PDF_NAME(ExtGState), int(alphas.size()));
                for (int i = 0; i < alphas.size(); ++i) {
                    fz_snprintf(name, sizeof name, "GS%d", i);
                    pdf_obj* entry = pdf_dict_puts_dict(c, gs, name, 2);
                    pdf_dict_put(c, entry, PDF_NAME(Type), PDF_NAME(ExtGState));
                    pdf_dict_put_real(c, entry, alphas[i].fill ? PDF_NAME(ca) : PDF_NAME(CA), alphas[i].alpha);
                }
            }
            if (!forms.isEmpty()) {
                pdf_obj* xobjects = pdf_dict_put_dict(c, res, PDF_NAME(XObject), int(forms.size()));
                for (int i = 0; i < forms.size(); ++i) {
                    fz_snprintf(name, sizeof name, "Fm%d", i);
                    pdf_dict_puts_drop(c, xobjects, name, importPageAsForm(c, forms[i], doc, copier));
                }
            }
            buffer = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(content.constData()), size_t(content.size()));
            xobj = pdf_new_xobject(c, doc, bbox, fz_identity, res, buffer);
            pdf_obj* ap = pdf_dict_put_dict(c, annot, PDF_NAME(AP), 1);
            pdf_dict_put(c, ap, PDF_NAME(N), xobj);
            pdf_dict_del(c, annot, PDF_NAME(AS));
        }
        fz_always(c)
        {
            pdf_drop_obj(c, xobj);
            fz_drop_buffer(c, buffer);
            pdf_drop_obj(c, res);
        }
        fz_catch(c) { fz_rethrow(c); }
    }, &error);
    if (!ok)
        qCWarning(lcVmkPdf) << "A custom appearance could not be stored:" << error;
    return ok;
}

namespace {

bool nearlyEqual(const QRectF& a, const QRectF& b)
{
    return qAbs(a.left() - b.left()) < 0.01 && qAbs(a.top() - b.top()) < 0.01 && qAbs(a.right() - b.right()) < 0.01
        && qAbs(a.bottom() - b.bottom()) < 0.01;
}

// The engine's synthesis may fit /Rect to the drawing (ink, lines). Callers set the bounds and keep
// relative geometry against their origin, so grow the rectangle to hold both instead of replacing it,
// and keep the appearance in page coordinates so that it is not stretched into the new rectangle.
void keepBounds(fz_context* c, const Annotation& annotation, const QRectF& before)
{
    const QRectF after = annotation.bounds();
    if (nearlyEqual(after, before) || before.isEmpty())
        return;
    const QRectF united = before.united(after);
    pdf_obj* obj = annotation.state().ref.obj;
    bool pageSpaceAppearance = false;
    fz_rect bbox = fz_empty_rect;
    guarded(c, [&] {
        pdf_obj* n = pdf_dict_getp(c, obj, "AP/N");
        bbox = pdf_dict_get_rect(c, n, PDF_NAME(BBox));
        const fz_matrix m = pdf_dict_get_matrix(c, n, PDF_NAME(Matrix));
        pageSpaceAppearance = pdf_is_stream(c, n) && m.a == 1 && m.b == 0 && m.c == 0 && m.d == 1 && m.e == 0 && m.f == 0;
    });
    if (!pageSpaceAppearance || !nearlyEqual(toQRect(bbox), after)) {
        // A form in its own coordinates (note icons) is fitted into /Rect: keep the caller's.
        putRect(c, obj, PDF_NAME(Rect), before);
        return;
    }
    const fz_rect r = toFzRect(united);
    guarded(c, [&] {
        pdf_dict_put_rect(c, obj, PDF_NAME(Rect), r);
        pdf_dict_put_rect(c, pdf_dict_getp(c, obj, "AP/N"), PDF_NAME(BBox), r);
    });
    // Relative ink paths were kept against the old origin.
    AnnotationState& s = annotation.state();
    if (s.inkPaths) {
        const QPointF shift = before.topLeft() - united.topLeft();
        for (QPainterPath& path : *s.inkPaths)
            path.translate(shift);
    }
}

} // namespace

namespace {

// Whether any annotation of a page whose handles are not made yet lacks an appearance it should have: a
// page may carry tens of thousands of links, and making a handle for each costs far more than looking.
bool fileAnnotationLacksAppearance(fz_context* c, const Page& page)
{
    bool lacking = false;
    pdf_obj* pageObj = page.state().ref.obj;
    guarded(c, [&] {
        pdf_obj* annots = pdf_dict_get(c, pageObj, PDF_NAME(Annots));
        for (int i = 0, n = pdf_array_len(c, annots); i < n && !lacking; ++i) {
            pdf_obj* annot = pdf_array_get(c, annots, i);
            pdf_obj* subtype = pdf_dict_get(c, annot, PDF_NAME(Subtype));
            if (pdf_name_eq(c, subtype, PDF_NAME(Link)) || pdf_name_eq(c, subtype, PDF_NAME(Widget))
                || pdf_dict_getp(c, annot, "AP/N"))
                continue;
            lacking = isSynthesizable(QString::fromLatin1(pdf_to_name(c, subtype)));
        }
    });
    return lacking;
}

} // namespace

namespace {

// Draws the appearances the page's annotations need, the layer's own drawings first, the engine's
// standard ones for the rest in one pass.
void makeAppearances(fz_context* c, const Page& page)
{
    std::vector<int> standard;
    std::vector<AnnotationPtr> standardAnnots;
    for (const AnnotationPtr& a : page.state().annotations) {
        AnnotationState& s = a->state();
        if (!s.needsAppearance)
            continue;
        s.needsAppearance = false;
        AppearanceProvider provider = s.provider ? s.provider : AppearanceRegistry::providerFor(*a);
        if (provider) {
            AppearanceBuilder builder(a->bounds());
            if (provider(*a, builder) && writeAppearance(c, s.ref.doc, s.ref.obj, builder.state()))
                continue;
        }
        const QString kind = a->type();
        bool hasAppearance = false;
        pdf_obj* dict = s.ref.obj;
        guarded(c, [&] { hasAppearance = pdf_dict_getp(c, dict, "AP/N") != nullptr; });
        // A stamp's stored artwork cannot be regenerated: only a stamp without any gets the standard one.
        if (isSynthesizable(kind) || (kind == QLatin1String("Stamp") && !hasAppearance)) {
            standard.push_back(s.ref.num());
            standardAnnots.push_back(a);
        }
    }
    if (standard.empty())
        return;
    std::vector<QRectF> before;
    for (const AnnotationPtr& a : standardAnnots)
        before.push_back(a->bounds());
    QString error;
    std::sort(standard.begin(), standard.end());
    // Marked in the file before the page loads, they are drawn into the document as it loads. Unmarked, the
    // load drew each one that had no appearance yet into a scratch table of the engine's, as long as the
    // file's table of objects, and the drawing into the document below threw that table away again: two
    // passes over every object of the file for each page, so saving a long annotated document grew with
    // the square of its length.
    guarded(c, [&] {
        for (const AnnotationPtr& a : standardAnnots)
            pdf_dirty_obj(c, a->state().ref.obj);
    });
    const bool drawn = withLoadedPage(page, [&](fz_context* c2, pdf_page* loaded) {
        guarded(c2, [&] {
            // One update makes every marked annotation of the page: the engine's update goes over all the
            // annotations of the open pages each time it is asked, so asking once per annotation was
            // quadratic (14 s for 1,000 new notes on a page). Those the load drew are marked clean again.
            pdf_annot* marked = nullptr;
            for (pdf_annot* annot = pdf_first_annot(c2, loaded); annot; annot = pdf_next_annot(c2, annot)) {
                pdf_obj* obj = pdf_annot_obj(c2, annot);
                if (!std::binary_search(standard.begin(), standard.end(), pdf_to_num(c2, obj))
                    || !pdf_obj_is_dirty(c2, obj))
                    continue;
                pdf_dirty_annot(c2, annot);
                marked = marked ? marked : annot;
            }
            if (marked)
                pdf_update_annot(c2, marked);
        }, &error);
    });
    if (!error.isEmpty())
        qCWarning(lcVmkPdf) << "An annotation appearance could not be made:" << error;
    if (!drawn && !page.document()) {
        // A page taken out of its document (removed while a write went over the pages) cannot be loaded:
        // its annotations wait to be drawn, as they are once it is put back.
        for (const AnnotationPtr& a : standardAnnots)
            a->state().needsAppearance = true;
        return;
    }
    for (size_t i = 0; i < standardAnnots.size(); ++i)
        keepBounds(c, *standardAnnots[i], before[i]);
}

} // namespace

void ensureAppearances(const Page& page)
{
    fz_context* c = ctx();
    const PageState& state = page.state();
    if (!state.annotationsLoaded
        && std::none_of(state.earlyAnnotations.begin(), state.earlyAnnotations.end(),
                        [](const auto& early) { return early.second->state().needsAppearance; })
        && !fileAnnotationLacksAppearance(c, page))
        return;
    PagePtr self = std::const_pointer_cast<Page>(page.shared_from_this());
    page.state().loadAnnotations(self);
    const std::vector<AnnotationPtr>& annotations = page.state().annotations;
    rememberBeforeDrawing(c, annotations);
    makeAppearances(c, page);
    rememberAfterDrawing(c, annotations);
}

} // namespace vmk::pdf::detail
