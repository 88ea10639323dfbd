#include "signatures/SignatureTestSupport.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "signatures/SignatureArtwork.h"
#include "signatures/SignatureStyles.h"

#include <QtMath>

namespace vmk::signatures::test {

InkStrokes sampleStrokes()
{
    InkStroke stroke;
    for (int i = 0; i <= 40; ++i)
        stroke.append({QPointF(20 + 3.0 * i, 50 + 15 * std::sin(i / 4.0)), 2.0 + (i % 5) * 0.3});
    return {stroke};
}

QByteArray sampleArtwork()
{
    return inkSignaturePDF(sampleStrokes(), signatureInkColors().first().color).value_or(QByteArray());
}

QSizeF firstPageSize(const QByteArray& pdf)
{
    const auto document = pdf::Document::fromData(pdf);
    if (!document || (*document)->pageCount() < 1)
        return {};
    return (*document)->page(0)->mediaBox().size();
}

} // namespace vmk::signatures::test
