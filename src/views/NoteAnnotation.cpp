#include "views/NoteAnnotation.h"

#include "editor/EditorModel.h"
#include "platform/pdf/annotations/AppearanceBuilder.h"

namespace vmk::views {

namespace {

QColor blend(const QColor& from, const QColor& to, double amount)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * amount),
                            float(from.greenF() + (to.greenF() - from.greenF()) * amount),
                            float(from.blueF() + (to.blueF() - from.blueF()) * amount), 1.0f);
}

} // namespace

bool NoteAnnotation::isNote(const pdf::Annotation& annotation)
{
    return annotation.type() == QLatin1String("Text");
}

void NoteAnnotation::install()
{
    static const bool installed = [] {
        pdf::AppearanceRegistry::registerProvider(&NoteAnnotation::isNote,
                                                  [](const pdf::Annotation& a, pdf::AppearanceBuilder& b) {
                                                      draw(a, b);
                                                      return true;
                                                  });
        return true;
    }();
    (void)installed;
}

NoteAnnotation::Icon NoteAnnotation::icon(const QRectF& b, const QColor& color)
{
    Icon icon;
    const QRectF r = b.adjusted(0.09 * b.width(), 0.09 * b.height(), -0.09 * b.width(), -0.09 * b.height());
    icon.sheet = r;
    const double fold = 0.3 * r.width();
    const double radius = 0.16 * r.width();
    // y grows upwards: top() is the minimum y and bottom() the maximum.
    const double minX = r.left(), maxX = r.right(), minY = r.top(), maxY = r.bottom();

    QPainterPath outline;
    outline.moveTo(minX + radius, minY);
    outline.lineTo(maxX - radius, minY);
    outline.quadTo(QPointF(maxX, minY), QPointF(maxX, minY + radius));
    outline.lineTo(maxX, maxY - fold);
    outline.lineTo(maxX - fold, maxY);
    outline.lineTo(minX + radius, maxY);
    outline.quadTo(QPointF(minX, maxY), QPointF(minX, maxY - radius));
    outline.lineTo(minX, minY + radius);
    outline.quadTo(QPointF(minX, minY), QPointF(minX + radius, minY));
    outline.closeSubpath();
    icon.outline = outline;

    QPainterPath triangle;
    triangle.moveTo(maxX, maxY - fold);
    triangle.lineTo(maxX - fold, maxY - fold);
    triangle.lineTo(maxX - fold, maxY);
    triangle.closeSubpath();
    icon.fold = triangle;

    const double inset = 0.2 * r.width();
    const double room = r.width() - 2 * inset;
    const double factors[] = {0.48 * 0.9, 0.62 * 1.2, 0.4 * 1.2};
    QPainterPath lines;
    for (int i = 0; i < 3; ++i) {
        const double y = maxY - 0.9 * fold - i * 0.2 * r.height();
        lines.moveTo(minX + inset, y);
        lines.lineTo(minX + inset + room * factors[i], y);
    }
    icon.lines = lines;
    icon.borderWidth = std::max(0.03 * r.width(), 0.4);
    icon.lineWidth = std::max(0.07 * r.height(), 0.5);

    QColor paper = color.isValid() ? color.toRgb() : Swatch::yellow();
    paper.setAlphaF(1.0f);
    icon.paper = paper;
    icon.border = blend(paper, Qt::black, 0.25);
    icon.foldColor = blend(paper, Qt::white, 0.45);
    return icon;
}

void NoteAnnotation::draw(const pdf::Annotation& annotation, pdf::AppearanceBuilder& builder)
{
    const Icon i = icon(annotation.bounds(), annotation.color());
    // A soft shadow under the sheet: the outline a little lower, faint.
    builder.save();
    builder.setFillColor(QColor::fromRgbF(0, 0, 0, 0.18f));
    builder.fillPath(i.outline.translated(0, -0.06 * i.sheet.height()));
    builder.restore();

    builder.save();
    builder.setFillColor(i.paper);
    builder.fillPath(i.outline);
    builder.setStrokeColor(i.border);
    builder.setLineWidth(i.borderWidth);
    builder.strokePath(i.outline);
    builder.setFillColor(i.foldColor);
    builder.fillPath(i.fold);
    builder.strokePath(i.fold);
    builder.setStrokeColor(QColor::fromRgbF(0, 0, 0, 0.38f));
    builder.setLineWidth(i.lineWidth);
    builder.setRoundCapsAndJoins(true);
    builder.strokePath(i.lines);
    builder.restore();
}

} // namespace vmk::views
