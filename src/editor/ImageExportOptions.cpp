#include "editor/ImageExportOptions.h"

#include "editor/PageRaster.h"

namespace vmk {

void ImageExportOptions::setFormat(Format format)
{
    if (format == m_format)
        return;
    m_format = format;
    emit formatChanged();
}

void ImageExportOptions::setDpi(double dpi)
{
    if (dpi == m_dpi)
        return;
    m_dpi = dpi;
    emit dpiChanged();
}

QString ImageExportOptions::rawValue(Format format)
{
    return format == Format::png ? QStringLiteral("PNG") : QStringLiteral("JPEG");
}

QString ImageExportOptions::fileExtension(Format format)
{
    return format == Format::png ? QStringLiteral("png") : QStringLiteral("jpg");
}

int ImageExportOptions::digitWidth(int pageCount)
{
    return int(QString::number(pageCount).size());
}

QString ImageExportOptions::fileName(const QString& baseName, int pageIndex, int digitWidth, Format format)
{
    return baseName + QStringLiteral(" \u2013 ") + QStringLiteral("%1").arg(pageIndex + 1, digitWidth, 10, QLatin1Char('0'))
        + QLatin1Char('.') + fileExtension(format);
}

QString ImageExportOptions::countText(int pageCount)
{
    return QString::number(pageCount) + QStringLiteral(" image") + (pageCount == 1 ? QString() : QStringLiteral("s"));
}

QSize ImageExportOptions::pixelSize(const QSizeF& displaySize, double scale)
{
    return rasterSize(displaySize, rasterScale(displaySize, 20000, scale));
}

} // namespace vmk
