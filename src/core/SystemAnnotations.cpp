#include "core/SystemAnnotations.h"

#include "core/MarkGeometry.h"

#include "platform/pdf/annotations/AppearanceBuilder.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QColor>
#include <QPainterPath>

#include <algorithm>
#include <vector>

namespace vmk::core {

namespace {

// Annotations made by SignatureAnnotation::create, held weakly so that the list never keeps one alive.
std::vector<std::weak_ptr<pdf::Annotation>>& signatureInstances()
{
    static std::vector<std::weak_ptr<pdf::Annotation>> instances;
    return instances;
}

bool drawMarkAppearance(const pdf::Annotation&, pdf::AppearanceBuilder& builder)
{
    drawRedactionMark(builder, builder.bounds());
    return true;
}

// Whether the artwork's first page has a drawable box; nothing when the data is not a readable PDF.
std::optional<bool> artworkIsDrawable(const QByteArray& pdfData)
{
    auto document = pdf::Document::fromData(pdfData);
    if (!document || !document.value() || document.value()->isLocked())
        return std::nullopt;
    pdf::PagePtr first = document.value()->page(0);
    if (!first)
        return std::nullopt;
    const QRectF box = first->cropBox();
    return box.width() > 0 && box.height() > 0;
}

} // namespace

void drawRedactionMark(pdf::AppearanceBuilder& builder, const QRectF& bounds)
{
    builder.save();
    builder.setFillColor(QColor::fromRgbF(0, 0, 0, 0.62f));
    builder.fillRect(bounds);

    builder.save();
    builder.clipToRect(bounds);
    builder.setStrokeColor(QColor::fromRgbF(1, 1, 1, 0.16f));
    builder.setLineWidth(1.0);
    QPainterPath hatch;
    for (const QLineF& line : redactionHatchLines(bounds)) {
        hatch.moveTo(line.p1());
        hatch.lineTo(line.p2());
    }
    if (!hatch.isEmpty())
        builder.strokePath(hatch);
    builder.restore();

    builder.setStrokeColor(QColor::fromRgbF(1.0f, 0.27f, 0.23f, 1.0f));
    builder.setLineWidth(1.2);
    builder.strokeRect(bounds.normalized().adjusted(0.6, 0.6, -0.6, -0.6));
    builder.restore();
}

pdf::AnnotationPtr RedactionMarkAnnotation::create(const QRectF& bounds)
{
    pdf::AnnotationPtr mark = pdf::Annotation::create(QStringLiteral("Square"), bounds);
    if (!mark)
        return nullptr;
    mark->setUserName(kRedactionMarkTag);
    mark->setColor(QColor::fromRgbF(0.85f, 0.1f, 0.1f, 1.0f));
    mark->setInteriorColor(QColor::fromRgbF(0, 0, 0, 0.6f));
    mark->setLineWidth(1.0);
    mark->setContents(QStringLiteral("Marked for redaction"));
    mark->setAppearanceProvider(drawMarkAppearance);
    return mark;
}

pdf::AnnotationPtr SignatureAnnotation::create(const QRectF& bounds, const QByteArray& pdfData, int pageRotation)
{
    pdf::AnnotationPtr signature = pdf::Annotation::create(QStringLiteral("Stamp"), bounds);
    if (!signature)
        return nullptr;
    signature->setUserName(kSignatureTag);

    auto& instances = signatureInstances();
    instances.erase(std::remove_if(instances.begin(), instances.end(), [](const auto& w) { return w.expired(); }),
                    instances.end());
    instances.push_back(signature);

    const std::optional<bool> drawable = artworkIsDrawable(pdfData);
    if (!drawable)
        return signature;   // not a PDF: the standard stamp
    const bool hasArea = *drawable;
    // Viewers draw appearances in unrotated page space; the page's clockwise turn is undone by as many
    // counterclockwise quarter turns.
    const int quarterTurns = ((pageRotation / 90) % 4 + 4) % 4;
    signature->setAppearanceProvider([pdfData, hasArea, quarterTurns](const pdf::Annotation&,
                                                                      pdf::AppearanceBuilder& builder) {
        if (hasArea)
            builder.drawPdfPage(pdfData, builder.bounds(), true, quarterTurns);
        return true;
    });
    return signature;
}

bool SignatureAnnotation::isInstance(const pdf::Annotation& annotation)
{
    const auto& instances = signatureInstances();
    return std::any_of(instances.begin(), instances.end(), [&](const auto& w) {
        auto strong = w.lock();
        return strong && strong.get() == &annotation;
    });
}

bool isRedactionMark(const pdf::Annotation& annotation)
{
    return annotation.userName() == kRedactionMarkTag;
}

void installSystemAppearances()
{
    static const bool installed = [] {
        pdf::AppearanceRegistry::registerProvider(
            [](const pdf::Annotation& a) { return isRedactionMark(a) && a.type() == QLatin1String("Square"); },
            drawMarkAppearance);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace vmk::core
