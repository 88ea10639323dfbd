#pragma once

#include <QObject>
#include <QSize>
#include <QSizeF>
#include <QString>

namespace vmk {

// The choices of one image export, made new for every panel so nothing carries over between exports.
class ImageExportOptions : public QObject {
    Q_OBJECT
public:
    enum class Format { png, jpeg };
    Q_ENUM(Format)

    explicit ImageExportOptions(QObject* parent = nullptr) : QObject(parent) {}

    Format format() const { return m_format; }
    void setFormat(Format format);
    // Dots per inch: one point of the page is dpi / 72 pixels.
    double dpi() const { return m_dpi; }
    void setDpi(double dpi);

    // "PNG", "JPEG": also the titles of the format choice.
    static QString rawValue(Format format);
    // "png", "jpg".
    static QString fileExtension(Format format);
    // The resolutions offered, in menu order.
    static QList<double> resolutions() { return {72, 150, 300}; }

    // Characters of the page count in decimal: every page number is padded to it.
    static int digitWidth(int pageCount);
    // "Report – 007.png": base name, en dash, the page number (from 1) padded with zeros.
    static QString fileName(const QString& baseName, int pageIndex, int digitWidth, Format format);
    // "12 images", "1 image".
    static QString countText(int pageCount);
    // Pixels of a page image: dpi / 72 per point, the longer side capped at 20000; each side at least 1.
    static QSize pixelSize(const QSizeF& displaySize, double scale);

signals:
    void formatChanged();
    void dpiChanged();

private:
    Format m_format = Format::png;
    double m_dpi = 150;
};

} // namespace vmk
