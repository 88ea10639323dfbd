#include "platform/pdf/pages/PageRebuild.h"

#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/InvisibleTextLayer.h"
#include "platform/pdf/pages/RebuildFrom.h"
#include "platform/pdf/document/State.h"

#include <QTransform>

namespace vmk::pdf {

using namespace detail;

namespace {

QByteArray num(double v) { return QByteArray::number(v, 'f', 4); }

QByteArray cmOperands(const QTransform& t)
{
    return num(t.m11()) + ' ' + num(t.m12()) + ' ' + num(t.m21()) + ' ' + num(t.m22()) + ' ' + num(t.dx()) + ' '
        + num(t.dy());
}

// The source page's content streams, concatenated. Throws MuPDF errors.
fz_buffer* loadContents(fz_context* c, pdf_obj* page)
{
    fz_buffer* all = fz_new_buffer(c, 4096);
    pdf_obj* contents = pdf_dict_get(c, page, PDF_NAME(Contents));
    const int count = pdf_is_array(c, contents) ? pdf_array_len(c, contents) : 1;
    for (int i = 0; i < count; ++i) {
        pdf_obj* part = pdf_is_array(c, contents) ? pdf_array_get(c, contents, i) : contents;
        if (!pdf_is_stream(c, part))
            continue;
        fz_buffer* bytes = pdf_load_stream(c, part);
        fz_append_buffer(c, all, bytes);
        fz_drop_buffer(c, bytes);
        // Streams of one page may split tokens only at stream boundaries that are white space.
        fz_append_byte(c, all, '\n');
    }
    return all;
}

} // namespace

Result<PagePtr> makeRebuiltPage(const Page& source, const RebuildBase& base, const QList<InvisibleTextRun>& runs)
{
    const RebuildFrame frame{source.mediaBox(), source.cropBox(), source.rotation(), source.displaySize(),
                             source.displayTransform()};
    return rebuildFrom(source.state().ref.doc, source.state().ref.obj, frame, base, runs);
}

namespace detail {

Result<PagePtr> rebuildFrom(pdf_document* sourceDoc, pdf_obj* sourceRef, const RebuildFrame& frame,
                            const RebuildBase& base, const QList<InvisibleTextRun>& runs)
{
    const QRectF crop = frame.crop;
    const QRectF media = frame.media;
    const QSizeF display = frame.display;
    const int rotation = frame.rotation;
    if (crop.isEmpty() || display.isEmpty())
        return Result<PagePtr>::failure(QStringLiteral("The page has an empty crop box."));
    bool invertible = false;
    const QTransform toPage = frame.displayTransform.inverted(&invertible);
    if (!invertible)
        return Result<PagePtr>::failure(QStringLiteral("The page's display transform cannot be inverted."));

    const bool vector = base.kind == RebuildBase::Kind::Vector;
    QImage rgb;
    if (!vector && base.encodedImage.isEmpty()) {
        rgb = base.image.convertToFormat(QImage::Format_RGB888);
        if (rgb.isNull())
            return Result<PagePtr>::failure(QStringLiteral("There is no image to rebuild the page from."));
    }

    QByteArray content;
    if (vector) {
        content += "q " + num(crop.x()) + ' ' + num(crop.y()) + ' ' + num(crop.width()) + ' ' + num(crop.height())
            + " re W n /Fm0 Do Q\n";
    } else {
        content += "q " + cmOperands(toPage) + " cm " + num(display.width()) + " 0 0 " + num(display.height())
            + " 0 0 cm /Im0 Do Q\n";
    }
    const InvisibleTextLayer layer = InvisibleTextLayer::build(runs);
    if (!layer.content.isEmpty())
        content += "q " + cmOperands(toPage) + " cm\n" + layer.content + "Q\n";

    fz_context* c = ctx();
    pdf_document* doc = nullptr;
    pdf_obj* resources = nullptr;
    pdf_obj* page = nullptr;
    fz_buffer* contentBuffer = nullptr;
    fz_buffer* formBuffer = nullptr;
    fz_buffer* imageBytes = nullptr;
    fz_pixmap* pixmap = nullptr;
    fz_image* image = nullptr;
    pdf_obj* resourcesCopy = nullptr;
    pdf_obj* form = nullptr;
    pdf_obj* imageRef = nullptr;
    int pageNum = 0;
    QString error;
    if (!guarded(c, [&] { doc = pdf_create_document(c); }, &error))
        return Result<PagePtr>::failure(error);
    ObjectCopier copier(sourceDoc, doc);
    const bool ok = guarded(c, [&] {
        resources = pdf_new_dict(c, doc, 2);
        pdf_obj* xobjects = pdf_dict_put_dict(c, resources, PDF_NAME(XObject), 1);
        if (vector) {
            pdf_obj* dict = pdf_resolve_indirect(c, sourceRef);
            resourcesCopy = copier.copy(c, pdf_dict_get_inheritable(c, dict, PDF_NAME(Resources)));
            formBuffer = loadContents(c, dict);
            form = pdf_new_xobject(c, doc, toFzRect(media), fz_identity, resourcesCopy, formBuffer);
            if (pdf_obj* group = pdf_dict_get(c, dict, PDF_NAME(Group)))
                pdf_dict_put_drop(c, form, PDF_NAME(Group), copier.copy(c, group));
            pdf_dict_puts(c, xobjects, "Fm0", form);
        } else {
            if (!base.encodedImage.isEmpty()) {
                imageBytes = fz_new_buffer_from_copied_data(
                    c, reinterpret_cast<const unsigned char*>(base.encodedImage.constData()),
                    size_t(base.encodedImage.size()));
                image = fz_new_image_from_buffer(c, imageBytes);
            } else {
                pixmap = fz_new_pixmap_with_data(c, fz_device_rgb(c), rgb.width(), rgb.height(), nullptr, 0,
                                                 int(rgb.bytesPerLine()), rgb.bits());
                image = fz_new_image_from_pixmap(c, pixmap, nullptr);
            }
            imageRef = pdf_add_image(c, doc, image);
            pdf_dict_puts(c, xobjects, "Im0", imageRef);
        }
        layer.addFonts(c, doc, resources);
        contentBuffer = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>(content.constData()),
                                                       size_t(content.size()));
        page = pdf_add_page(c, doc, toFzRect(crop), rotation, resources, contentBuffer);
        pdf_insert_page(c, doc, 0, page);
        pageNum = pdf_to_num(c, page);
    }, &error);
    pdf_drop_obj(c, page);
    pdf_drop_obj(c, resources);
    pdf_drop_obj(c, resourcesCopy);
    pdf_drop_obj(c, form);
    pdf_drop_obj(c, imageRef);
    fz_drop_image(c, image);
    fz_drop_pixmap(c, pixmap);
    fz_drop_buffer(c, imageBytes);
    fz_drop_buffer(c, formBuffer);
    fz_drop_buffer(c, contentBuffer);
    if (!ok) {
        dropDocument(c, doc);
        return Result<PagePtr>::failure(error.isEmpty() ? QStringLiteral("The page could not be rebuilt.") : error);
    }
    // The page holds its own reference to its private document.
    PagePtr rebuilt = PageState::make(doc, pageNum);
    dropDocument(c, doc);
    return rebuilt;
}

} // namespace detail

double helveticaWidth(const QString& text)
{
    double width = 0;
    for (char32_t u : text.toUcs4())
        width += HelveticaMetrics::advance(u);
    return width;
}

double helveticaDescent() { return HelveticaMetrics::kDescent; }

} // namespace vmk::pdf
