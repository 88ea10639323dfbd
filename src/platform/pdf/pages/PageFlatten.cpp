// The flattened one-page PDF: the page's own content streams, fonts and resources copied as they are,
// with the displayed annotations' normal appearances drawn over them as form XObjects. Re-running the
// page through a drawing device would re-encode its fonts, which other readers then misread.

#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/State.h"

#include <cmath>

namespace vmk::pdf {

using namespace detail;

namespace {

// The normal appearance stream, picking the /AS state when /N holds one stream per state.
pdf_obj* normalAppearance(fz_context* c, pdf_obj* annot)
{
    pdf_obj* normal = pdf_dict_getp(c, annot, "AP/N");
    if (pdf_is_stream(c, normal))
        return normal;
    if (!pdf_is_dict(c, normal))
        return nullptr;
    pdf_obj* state = pdf_dict_get(c, normal, pdf_dict_get(c, annot, PDF_NAME(AS)));
    return pdf_is_stream(c, state) ? state : nullptr;
}

// Maps the appearance's bounding box (transformed by its own /Matrix) onto the annotation rectangle.
// The form's /Matrix itself is applied by Do.
fz_matrix appearanceToRect(fz_context* c, pdf_obj* appearance, fz_rect rect)
{
    const fz_rect box = fz_transform_rect(pdf_dict_get_rect(c, appearance, PDF_NAME(BBox)),
                                          pdf_dict_get_matrix(c, appearance, PDF_NAME(Matrix)));
    const float width = box.x1 - box.x0;
    const float height = box.y1 - box.y0;
    const float sx = width > 0 ? (rect.x1 - rect.x0) / width : 1;
    const float sy = height > 0 ? (rect.y1 - rect.y0) / height : 1;
    return fz_make_matrix(sx, 0, 0, sy, rect.x0 - box.x0 * sx, rect.y0 - box.y0 * sy);
}

void appendMatrix(QByteArray& out, const fz_matrix& m)
{
    for (float v : {m.a, m.b, m.c, m.d, m.e, m.f})
        out += QByteArray::number(double(v), 'f', 6) + ' ';
    out += "cm\n";
}

pdf_obj* addContentStream(fz_context* c, pdf_document* doc, const QByteArray& content)
{
    fz_buffer* buffer = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(content.constData()),
                                                       size_t(content.size()));
    pdf_obj* stream = nullptr;
    fz_try(c) { stream = pdf_add_stream(c, doc, buffer, nullptr, 0); }
    fz_always(c) { fz_drop_buffer(c, buffer); }
    fz_catch(c) { fz_rethrow(c); }
    return stream;
}

QByteArray unusedName(fz_context* c, pdf_obj* xobjects, int& counter)
{
    QByteArray name;
    do
        name = "VmkAnnot" + QByteArray::number(counter++);
    while (pdf_dict_gets(c, xobjects, name.constData()));
    return name;
}

// Builds the upright page in `doc` from `source` (a page of `from`). Throws MuPDF errors.
void buildFlattenedPage(fz_context* c, pdf_document* from, pdf_obj* source, pdf_document* doc)
{
    fz_rect device;
    const fz_matrix toDevice = pageToDevice(c, source, &device);
    const float width = device.x1 - device.x0;
    const float height = device.y1 - device.y0;
    // Page space to the new page's space: the displayed page, y up, origin at the bottom left.
    const fz_matrix toUpright = fz_concat(toDevice, fz_make_matrix(1, 0, 0, -1, -device.x0, device.y1));

    ObjectCopier copier(from, doc);
    pdf_obj* page = nullptr;
    pdf_obj* resources = nullptr;
    pdf_obj* contents = nullptr;
    pdf_obj* stream = nullptr;
    fz_try(c)
    {
        page = pdf_new_dict(c, doc, 6);
        pdf_dict_put(c, page, PDF_NAME(Type), PDF_NAME(Page));
        pdf_dict_put_rect(c, page, PDF_NAME(MediaBox), fz_make_rect(0, 0, width, height));
        resources = copier.copy(c, pdf_dict_get_inheritable(c, source, PDF_NAME(Resources)));
        if (!pdf_is_dict(c, resources)) {
            pdf_drop_obj(c, resources);
            resources = pdf_new_dict(c, doc, 1);
        }
        pdf_dict_put(c, page, PDF_NAME(Resources), resources);
        if (pdf_obj* group = pdf_dict_get(c, source, PDF_NAME(Group)))
            pdf_dict_put_drop(c, page, PDF_NAME(Group), copier.copy(c, group));

        contents = pdf_new_array(c, doc, 4);
        QByteArray opening = "q\n";
        appendMatrix(opening, toUpright);
        // The original content runs in a graphics state of its own, so the appearances drawn after it
        // start from the default state whatever it leaves behind.
        opening += "q\n";
        pdf_array_push_drop(c, contents, addContentStream(c, doc, opening));
        pdf_obj* original = pdf_dict_get(c, source, PDF_NAME(Contents));
        if (pdf_is_array(c, original)) {
            for (int i = 0, n = pdf_array_len(c, original); i < n; ++i)
                if (pdf_is_stream(c, pdf_array_get(c, original, i)))
                    pdf_array_push_drop(c, contents, copier.copy(c, pdf_array_get(c, original, i)));
        } else if (pdf_is_stream(c, original)) {
            pdf_array_push_drop(c, contents, copier.copy(c, original));
        }

        QByteArray drawing = "Q\n";
        pdf_obj* xobjects = pdf_dict_get(c, resources, PDF_NAME(XObject));
        if (!pdf_is_dict(c, xobjects))
            xobjects = pdf_dict_put_dict(c, resources, PDF_NAME(XObject), 4);
        int counter = 0;
        pdf_obj* annots = pdf_dict_get(c, source, PDF_NAME(Annots));
        for (int i = 0, n = pdf_array_len(c, annots); i < n; ++i) {
            pdf_obj* annot = pdf_array_get(c, annots, i);
            if (!pdf_is_dict(c, annot))
                continue;
            const int flags = pdf_dict_get_int(c, annot, PDF_NAME(F));
            if (flags & (PDF_ANNOT_IS_HIDDEN | PDF_ANNOT_IS_NO_VIEW))
                continue;
            pdf_obj* appearance = normalAppearance(c, annot);
            const fz_rect rect = pdf_dict_get_rect(c, annot, PDF_NAME(Rect));
            if (!appearance || fz_is_empty_rect(rect))
                continue;
            const QByteArray name = unusedName(c, xobjects, counter);
            pdf_obj* form = copier.copy(c, appearance);
            pdf_dict_puts_drop(c, xobjects, name.constData(), form);
            // Appearance streams may omit their form subtype; Do needs it.
            if (!pdf_dict_get(c, form, PDF_NAME(Subtype)))
                pdf_dict_put(c, form, PDF_NAME(Subtype), PDF_NAME(Form));
            drawing += "q\n";
            appendMatrix(drawing, appearanceToRect(c, appearance, rect));
            drawing += "/" + name + " Do\nQ\n";
        }
        drawing += "Q\n";
        pdf_array_push_drop(c, contents, addContentStream(c, doc, drawing));
        pdf_dict_put(c, page, PDF_NAME(Contents), contents);

        stream = pdf_add_object(c, doc, page);
        pdf_insert_page(c, doc, 0, stream);
    }
    fz_always(c)
    {
        pdf_drop_obj(c, stream);
        pdf_drop_obj(c, contents);
        pdf_drop_obj(c, resources);
        pdf_drop_obj(c, page);
    }
    fz_catch(c) { fz_rethrow(c); }
}

} // namespace

Result<QByteArray> Page::flattenedPdf() const
{
    ensureAppearances(*this);
    fz_context* c = ctx();
    pdf_document* from = m_state->ref.doc;
    pdf_obj* source = m_state->ref.obj;
    pdf_document* doc = nullptr;
    fz_buffer* buffer = nullptr;
    fz_output* out = nullptr;
    QString error;
    const bool ok = guarded(c, [&] {
        doc = pdf_create_document(c);
        buildFlattenedPage(c, from, pdf_resolve_indirect(c, source), doc);
        pdf_write_options opts = pdf_default_write_options;
        opts.do_compress = 1;
        opts.do_garbage = 1;
        buffer = fz_new_buffer(c, 16 * 1024);
        out = fz_new_output_with_buffer(c, buffer);
        pdf_write_document(c, doc, out, &opts);
        fz_close_output(c, out);
    }, &error);
    fz_drop_output(c, out);
    dropDocument(c, doc);
    QByteArray bytes;
    if (ok) {
        unsigned char* data = nullptr;
        const size_t len = fz_buffer_storage(c, buffer, &data);
        bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(len));
    }
    fz_drop_buffer(c, buffer);
    if (!ok || bytes.isEmpty())
        return Result<QByteArray>::failure(error.isEmpty() ? QStringLiteral("The page could not be drawn.") : error);
    return bytes;
}

} // namespace vmk::pdf
