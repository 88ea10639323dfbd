#include "platform/pdf/annotations/FormFixture.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "support/PdfBuilder.h"

#include <cmath>

namespace vmk::test {

namespace {

QByteArray rectArray(const QRectF& r)
{
    return QByteArray("[") + QByteArray::number(r.left()) + ' ' + QByteArray::number(r.top()) + ' '
        + QByteArray::number(r.right()) + ' ' + QByteArray::number(r.bottom()) + ']';
}

QByteArray textLook(const QRectF& r, const QByteArray& text)
{
    const QByteArray dict = "/Type /XObject /Subtype /Form /BBox [0 0 " + QByteArray::number(r.width()) + ' '
        + QByteArray::number(r.height()) + "] /Resources << /Font << /Helv 5 0 R >> >>";
    return pdfStream(dict, "/Tx BMC BT /Helv 12 Tf 0 g 2 7 Td (" + text + ") Tj ET EMC");
}

} // namespace

QByteArray formPdf()
{
    using namespace formRects;
    PdfBuilder b;
    const int catalog = b.reserve();      // 1
    const int pages = b.reserve();        // 2
    const int page1 = b.reserve();        // 3
    const int page2 = b.reserve();        // 4
    const int helv = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    const int zadb = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /ZapfDingbats >>");
    const QByteArray box = "/Type /XObject /Subtype /Form /BBox [0 0 16 16]";
    const int on = b.addStream(box, "0 g 2 2 12 12 re f 0 G 1 1 14 14 re S");
    const int off = b.addStream(box, "0 G 1 1 14 14 re S");
    const QByteArray toggles = "<< /N << /%1 " + ref(on) + " /Off " + ref(off) + " >> >>";
    auto looks = [&](const char* state) { return QByteArray(toggles).replace("%1", state); };

    const int nameLook = b.add(textLook(formRects::name, "Ada Lovelace"));
    const int name = b.add("<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Ada Lovelace) /DV (Ada Lovelace) /F 4 "
                           "/DA (/Helv 12 Tf 0 g) /Rect " + rectArray(formRects::name) + " /P " + ref(page1)
                           + " /AP << /N " + ref(nameLook) + " >> >>");
    const int cityField = b.reserve();
    const int city1 = b.add("<< /Type /Annot /Subtype /Widget /Parent " + ref(cityField) + " /F 4 /Rect "
                            + rectArray(city) + " /P " + ref(page1) + " /AP << /N " + ref(b.nextNumber() + 1) + " >> >>");
    b.add(textLook(city, "Paris"));
    const int city2 = b.add("<< /Type /Annot /Subtype /Widget /Parent " + ref(cityField) + " /F 4 /Rect "
                            + rectArray(city) + " /P " + ref(page2) + " /AP << /N " + ref(b.nextNumber() + 1) + " >> >>");
    b.add(textLook(city, "Paris"));
    b.set(cityField, "<< /FT /Tx /T (city) /V (Paris) /DV (Paris) /DA (/Helv 12 Tf 0 g) /Kids [" + ref(city1) + ' '
                         + ref(city2) + "] >>");
    const int agreeWidget = b.add("<< /Type /Annot /Subtype /Widget /FT /Btn /T (agree) /V /Off /DV /Off /AS /Off /F 4 "
                                  "/Rect " + rectArray(agree) + " /P " + ref(page1) + " /MK << /CA (4) >> /DA (/ZaDb 0 Tf 0 g) /AP "
                                  + looks("Yes") + " >>");
    const int sizeField = b.reserve();
    const int small = b.add("<< /Type /Annot /Subtype /Widget /Parent " + ref(sizeField) + " /AS /S /F 4 /Rect "
                            + rectArray(sizeS) + " /P " + ref(page1) + " /AP " + looks("S") + " >>");
    const int large = b.add("<< /Type /Annot /Subtype /Widget /Parent " + ref(sizeField) + " /AS /Off /F 4 /Rect "
                            + rectArray(sizeL) + " /P " + ref(page1) + " /AP " + looks("L") + " >>");
    b.set(sizeField, "<< /FT /Btn /Ff 49152 /T (size) /V /S /DV /S /Kids [" + ref(small) + ' ' + ref(large) + "] >>");
    const int countryWidget = b.add("<< /Type /Annot /Subtype /Widget /FT /Ch /Ff 131072 /T (country) "
                                    "/Opt [[(fr) (France)] [(de) (Germany)]] /V (fr) /DV (fr) /F 4 /DA (/Helv 12 Tf 0 g) "
                                    "/Rect " + rectArray(country) + " /P " + ref(page1) + " /AP << /N "
                                    + ref(b.nextNumber() + 1) + " >> >>");
    b.add(textLook(country, "France"));
    const int idWidget = b.add("<< /Type /Annot /Subtype /Widget /FT /Tx /Ff 1 /T (id) /V (X-1) /F 4 /DA (/Helv 12 Tf 0 g) "
                               "/Rect " + rectArray(id) + " /P " + ref(page1) + " /AP << /N " + ref(b.nextNumber() + 1) + " >> >>");
    b.add(textLook(id, "X-1"));
    const int resetWidget = b.add("<< /Type /Annot /Subtype /Widget /FT /Btn /Ff 65536 /T (reset) /F 4 /Rect "
                                  + rectArray(reset) + " /P " + ref(page1) + " /A << /S /ResetForm >> /AP << /N "
                                  + ref(b.nextNumber() + 1) + " >> >>");
    b.addStream("/Type /XObject /Subtype /Form /BBox [0 0 100 24]", "0.8 g 0 0 100 24 re f");

    const int langsWidget = b.add("<< /Type /Annot /Subtype /Widget /FT /Ch /T (langs) "
                                  "/Opt [[(en) (English)] [(fr) (French)] [(de) (German)]] /V (en) /DV (en) /F 4 "
                                  "/DA (/Helv 12 Tf 0 g) /Rect " + rectArray(langs) + " /P " + ref(page1) + " /AP << /N "
                                  + ref(b.nextNumber() + 1) + " >> >>");
    b.add(textLook(langs, "English"));

    const int content1 = b.addStream({}, "BT /Helv 12 Tf 72 706 Td (Name:) Tj 0 -50 Td (City:) Tj ET");
    const int content2 = b.addStream({}, "BT /Helv 12 Tf 72 656 Td (City again:) Tj ET");
    const int outlines = b.reserve();
    const int entry = b.add("<< /Title (Second page) /Parent " + ref(outlines) + " /Dest [" + ref(page2) + " /Fit] >>");
    b.set(outlines, "<< /Type /Outlines /First " + ref(entry) + " /Last " + ref(entry) + " /Count 1 >>");
    const int info = b.add("<< /Title (Form test) /Author (Vellumark tests) >>");

    const QByteArray resources = "/Resources << /Font << /Helv " + ref(helv) + " /ZaDb " + ref(zadb) + " >> >>";
    b.set(page1, "<< /Type /Page /Parent " + ref(pages) + ' ' + resources + " /Contents " + ref(content1) + " /Annots ["
                     + ref(name) + ' ' + ref(city1) + ' ' + ref(agreeWidget) + ' ' + ref(small) + ' ' + ref(large) + ' '
                     + ref(countryWidget) + ' ' + ref(idWidget) + ' ' + ref(resetWidget) + ' ' + ref(langsWidget) + "] >>");
    b.set(page2, "<< /Type /Page /Parent " + ref(pages) + " /Rotate 90 " + resources + " /Contents " + ref(content2)
                     + " /Annots [" + ref(city2) + "] >>");
    b.set(pages, "<< /Type /Pages /Kids [" + ref(page1) + ' ' + ref(page2) + "] /Count 2 /MediaBox [0 0 612 792] >>");
    b.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " /Outlines " + ref(outlines) + " /AcroForm << /Fields ["
                       + ref(name) + ' ' + ref(cityField) + ' ' + ref(agreeWidget) + ' ' + ref(sizeField) + ' '
                       + ref(countryWidget) + ' ' + ref(idWidget) + ' ' + ref(resetWidget) + ' ' + ref(langsWidget)
                       + "] /DA (/Helv 0 Tf 0 g) /DR << /Font << /Helv " + ref(helv) + " /ZaDb " + ref(zadb) + " >> >> >> >>");
    return b.write(catalog, "/Info " + ref(info));
}

pdf::AnnotationPtr widgetAt(const pdf::DocumentPtr& document, int pageIndex, const QRectF& rect)
{
    const pdf::PagePtr page = document ? document->page(pageIndex) : nullptr;
    if (!page)
        return nullptr;
    for (const pdf::AnnotationPtr& a : page->annotations()) {
        const QRectF r = a->bounds();
        if (a->isWidget() && std::abs(r.left() - rect.left()) < 0.5 && std::abs(r.top() - rect.top()) < 0.5)
            return a;
    }
    return nullptr;
}

} // namespace vmk::test
