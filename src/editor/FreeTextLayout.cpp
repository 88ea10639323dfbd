#include "editor/FreeTextLayout.h"

#include "platform/pdf/document/Page.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>

#include <cfloat>
#include <cmath>

namespace vmk::FreeTextLayout {

namespace {

// A device of 72 dpi, on which one point is one pixel, so measurements are in page points.
const QImage& pointDevice()
{
    static const QImage image = [] {
        QImage device(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = int(std::lround(72.0 / 0.0254));
        device.setDotsPerMeterX(dotsPerMeter);
        device.setDotsPerMeterY(dotsPerMeter);
        return device;
    }();
    return image;
}

// The base PDF families every reader has, with the installed families that stand in for them.
QString familyForPdfName(const QString& name)
{
    const QString base = name.section(QLatin1Char('-'), 0, 0);
    if (base == QLatin1String("Helvetica") || base == QLatin1String("Helv") || base == QLatin1String("Arial"))
        return QStringLiteral("Helvetica");
    if (base == QLatin1String("Times") || base == QLatin1String("TiRo"))
        return QStringLiteral("Times");
    if (base == QLatin1String("Courier") || base == QLatin1String("Cour"))
        return QStringLiteral("Courier");
    return {};
}

} // namespace

bool fontExists(const QString& fontName)
{
    if (fontName.isEmpty())
        return false;
    return !familyForPdfName(fontName).isEmpty() || QFontDatabase::families().contains(fontName);
}

QFont font(const QString& fontName, double size)
{
    QFont result;
    if (!familyForPdfName(fontName).isEmpty())
        result = QFont(familyForPdfName(fontName));
    else if (QFontDatabase::families().contains(fontName))
        result = QFont(fontName);
    else
        result = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    result.setPointSizeF(size > 0 ? size : 12.0);
    return result;
}

double boxHeight(const QString& text, const QFont& font, double boxWidth)
{
    const QFontMetricsF metrics(font, &pointDevice());
    const QRectF area(0, 0, std::max(1.0, boxWidth - 8), FLT_MAX);
    const QRectF used = metrics.boundingRect(area, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                                             text);
    return std::ceil(used.height()) + 8;
}

double lineWidth(const QString& line, const QFont& font)
{
    return QFontMetricsF(font, &pointDevice()).horizontalAdvance(line);
}

namespace {

QTransform shownTransform(const pdf::Page* page)
{
    return page ? page->displayTransform() : QTransform();
}

} // namespace

QSizeF shownSize(const pdf::Page* page, const QRectF& bounds)
{
    return shownTransform(page).mapRect(bounds).size();
}

QRectF keepingShownTop(const pdf::Page* page, const QRectF& old, const QSizeF& shown)
{
    const QTransform toShown = shownTransform(page);
    // Shown space is y up as page space is: the top edge is the larger y.
    const QRectF before = toShown.mapRect(old);
    const QRectF after(before.left(), before.bottom() - shown.height(), shown.width(), shown.height());
    return toShown.inverted().mapRect(after);
}

QRectF shownFrom(const pdf::Page* page, const QPointF& point, const QSizeF& shown)
{
    const QTransform toShown = shownTransform(page);
    const QPointF corner = toShown.map(point);
    return toShown.inverted().mapRect(QRectF(corner.x(), corner.y() - shown.height(), shown.width(), shown.height()));
}

} // namespace vmk::FreeTextLayout
