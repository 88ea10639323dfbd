#include "OverlayTestSupport.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

namespace vmk::test {

OverlayFixture::OverlayFixture(int pages, pdf::DocumentPtr pdf)
{
    if (!pdf) {
        pdf = pdf::Document::createEmpty();
        for (int i = 0; i < pages; ++i)
            pdf->insertPage(pdf::Page::createBlank(QRectF(0, 0, 612, 792)), i);
    }
    document.setPdf(pdf);
    editor = std::make_unique<Editor>(&document, Editor::CanvasFactory{}, &scheduler, &defaults);
}

OverlayFixture::~OverlayFixture()
{
    editor.reset();
}

pdf::DocumentPtr lockedDocument(const QString& password)
{
    pdf::DocumentPtr plain = pdf::Document::createEmpty();
    plain->insertPage(pdf::Page::createBlank(QRectF(0, 0, 612, 792)), 0);
    const QByteArray bytes = plain->dataRepresentation(pdf::WriteOptions::protect(password)).value();
    return pdf::Document::fromData(bytes).value();
}

} // namespace vmk::test
