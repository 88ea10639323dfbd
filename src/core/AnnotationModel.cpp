#include "core/AnnotationModel.h"

#include "core/SystemAnnotations.h"

#include <QStringList>

namespace vmk::core {

namespace {

const QStringList& markupTypes()
{
    static const QStringList types{QStringLiteral("Highlight"), QStringLiteral("Underline"),
                                   QStringLiteral("StrikeOut"), QStringLiteral("Squiggly")};
    return types;
}

bool isFixedInPlace(const QString& type)
{
    return type == QLatin1String("Widget") || type == QLatin1String("Link") || markupTypes().contains(type)
        || type == QLatin1String("Popup");
}

} // namespace

QString annotationKindName(const pdf::Annotation& annotation)
{
    if (SignatureAnnotation::isInstance(annotation) || annotation.userName() == kSignatureTag)
        return QStringLiteral("Signature");
    if (isRedactionMark(annotation))
        return QStringLiteral("Redaction");
    const QString type = annotation.type();
    if (type.isEmpty())
        return QStringLiteral("Annotation");
    if (type == QLatin1String("StrikeOut"))
        return QStringLiteral("Strikethrough");
    if (type == QLatin1String("Ink"))
        return QStringLiteral("Drawing");
    if (type == QLatin1String("Square"))
        return QStringLiteral("Rectangle");
    if (type == QLatin1String("Circle"))
        return QStringLiteral("Ellipse");
    if (type == QLatin1String("Line"))
        return annotation.endLineEnding() != pdf::LineEnding::None ? QStringLiteral("Arrow") : QStringLiteral("Line");
    if (type == QLatin1String("Text"))
        return QStringLiteral("Note");
    if (type == QLatin1String("FreeText"))
        return QStringLiteral("Text Box");
    // Highlight, Underline, Stamp and anything unknown are named by their subtype.
    return type;
}

bool isDraggableAnnotation(const pdf::Annotation& annotation)
{
    return !isFixedInPlace(annotation.type());
}

bool isResizableAnnotation(const pdf::Annotation& annotation)
{
    const QString type = annotation.type();
    return !isFixedInPlace(type) && type != QLatin1String("Text");
}

AnnotationGeometry captureGeometry(const pdf::Annotation& annotation)
{
    AnnotationGeometry geometry;
    geometry.bounds = annotation.bounds();
    const QString type = annotation.type();
    if (type == QLatin1String("Ink"))
        geometry.paths = annotation.paths();
    if (type == QLatin1String("Line")) {
        geometry.start = annotation.startPoint();
        geometry.end = annotation.endPoint();
    }
    return geometry;
}

void applyGeometry(const AnnotationGeometry& geometry, pdf::Annotation& annotation)
{
    annotation.setBounds(geometry.bounds);
    const QString type = annotation.type();
    if (type == QLatin1String("Ink") && geometry.paths)
        annotation.setPaths(*geometry.paths);
    if (type == QLatin1String("Line")) {
        annotation.setStartPoint(geometry.start);
        annotation.setEndPoint(geometry.end);
    }
}

AnnotationStyle captureStyle(const pdf::Annotation& annotation)
{
    AnnotationStyle style;
    style.color = annotation.color();
    style.interiorColor = annotation.interiorColor();
    style.lineWidth = annotation.lineWidth();
    if (annotation.type() == QLatin1String("FreeText")) {
        style.font = AnnotationFont{annotation.fontName(), annotation.fontSize()};
        style.fontColor = annotation.fontColor();
    }
    const QString contents = annotation.contents();
    if (!contents.isEmpty())
        style.contents = contents;
    return style;
}

void applyStyle(const AnnotationStyle& style, pdf::Annotation& annotation)
{
    annotation.setColor(style.color);
    annotation.setInteriorColor(style.interiorColor);
    if (style.lineWidth)
        annotation.setLineWidth(style.lineWidth);
    if (annotation.type() == QLatin1String("FreeText")) {
        if (style.font) {
            annotation.setFontName(style.font->name);
            annotation.setFontSize(style.font->size);
        }
        if (style.fontColor)
            annotation.setFontColor(*style.fontColor);
    }
    annotation.setContents(style.contents.value_or(QString()));
}

void applyAnnotationColor(const QColor& color, pdf::Annotation& annotation)
{
    // Colours are kept in sRGB; one that cannot be converted is used as it is.
    QColor c = color.isValid() ? color.toRgb() : color;
    if (!c.isValid())
        c = color;
    const QString type = annotation.type();
    if (type == QLatin1String("FreeText")) {
        annotation.setFontColor(c);
        return;
    }
    if (markupTypes().contains(type)) {
        if (type == QLatin1String("Highlight"))
            c.setAlphaF(0.5f);
        annotation.setColor(c);
        return;
    }
    annotation.setColor(c);
    if (type == QLatin1String("Line") && annotation.endLineEnding() != pdf::LineEnding::None)
        annotation.setInteriorColor(c);
}

} // namespace vmk::core
