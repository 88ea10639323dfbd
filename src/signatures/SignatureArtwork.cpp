#include "signatures/SignatureArtwork.h"

#include "signatures/SignatureStyles.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QtMath>

#include <functional>

namespace vmk::signatures {

namespace {

QPointF catmullRom(const QPointF& p0, const QPointF& p1, const QPointF& p2, const QPointF& p3, double t)
{
    const double t2 = t * t;
    const double t3 = t2 * t;
    return 0.5 * (2.0 * p1 + (p2 - p0) * t + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * t2
                  + (3.0 * p1 - p0 - 3.0 * p2 + p3) * t3);
}

double distance(const QPointF& a, const QPointF& b)
{
    return std::hypot(b.x() - a.x(), b.y() - a.y());
}

// QPdfWriter only writes page sizes in whole points. Content is laid out from the page's lower-left
// corner, so trimming the media box to the exact size afterwards cuts only the spare fraction at the top
// and right, and the artwork keeps its true aspect ratio.
QByteArray trimmedToSize(const QByteArray& bytes, QSizeF size)
{
    const pdf::Result<pdf::DocumentPtr> document = pdf::Document::fromData(bytes);
    if (!document || (*document)->pageCount() != 1)
        return bytes;
    const pdf::PagePtr page = (*document)->page(0);
    page->setMediaBox(QRectF(QPointF(0, 0), size));
    const pdf::Result<QByteArray> trimmed = (*document)->dataRepresentation(pdf::WriteOptions::withoutEncryption());
    return trimmed ? *trimmed : bytes;
}

// Writes one page of the given size in points and lets `draw` paint it with the painter in points, y down
// from the page's top (QPdfWriter's own orientation); `draw` receives the height of the page it paints on.
std::optional<QByteArray> writeOnePagePDF(QSizeF size, const std::function<void(QPainter&, double)>& draw)
{
    const QSizeF pageSize(std::ceil(size.width() - 1e-6), std::ceil(size.height() - 1e-6));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72); // one device unit is one point
        writer.setCreator(QStringLiteral("Vellumark"));
        // ExactMatch: a size close to a standard paper size must not be snapped to it.
        const QPageLayout layout(QPageSize(pageSize, QPageSize::Point, QString(), QPageSize::ExactMatch),
                                 QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point,
                                 QMarginsF(0, 0, 0, 0));
        if (!writer.setPageLayout(layout))
            return std::nullopt;
        QPainter painter;
        if (!painter.begin(&writer))
            return std::nullopt;
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, pageSize.height());
        if (!painter.end())
            return std::nullopt;
    }
    buffer.close();
    if (bytes.isEmpty())
        return std::nullopt;
    if (pageSize != size)
        return trimmedToSize(bytes, size);
    return bytes;
}

} // namespace

InkStroke smoothStroke(const InkStroke& stroke)
{
    const qsizetype n = stroke.size();
    if (n < 3)
        return stroke;
    InkStroke out;
    out.reserve(n * 4);
    for (qsizetype i = 0; i + 1 < n; ++i) {
        const QPointF p0 = stroke[i == 0 ? 0 : i - 1].location;
        const QPointF p1 = stroke[i].location;
        const QPointF p2 = stroke[i + 1].location;
        const QPointF p3 = stroke[qMin(i + 2, n - 1)].location;
        const double w1 = stroke[i].width;
        const double w2 = stroke[i + 1].width;
        const int steps = qMax(2, int(distance(p1, p2) / 1.5));
        for (int s = 0; s < steps; ++s) {
            const double t = double(s) / steps;
            out.append({catmullRom(p0, p1, p2, p3, t), w1 + (w2 - w1) * t});
        }
    }
    out.append(stroke.last());
    return out;
}

void drawInkStrokes(const InkStrokes& strokes, QPainter& painter, const QColor& color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const InkStroke& stroke : strokes) {
        if (stroke.isEmpty())
            continue;
        if (stroke.size() == 1) {
            const InkPoint& dot = stroke.first();
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawEllipse(QRectF(dot.location.x() - dot.width / 2, dot.location.y() - dot.width / 2,
                                       dot.width, dot.width));
            continue;
        }
        // Segment by segment, so that the width can change continuously; round caps hide the joins.
        painter.setBrush(Qt::NoBrush);
        const InkStroke smooth = smoothStroke(stroke);
        for (qsizetype i = 0; i + 1 < smooth.size(); ++i) {
            QPen pen(color, (smooth[i].width + smooth[i + 1].width) / 2, Qt::SolidLine, Qt::RoundCap,
                     Qt::RoundJoin);
            painter.setPen(pen);
            painter.drawLine(smooth[i].location, smooth[i + 1].location);
        }
    }
    painter.restore();
}

QRectF inkBounds(const InkStrokes& strokes)
{
    QRectF bounds;
    bool any = false;
    for (const InkStroke& stroke : strokes) {
        for (const InkPoint& point : stroke) {
            const QRectF square(point.location.x() - point.width, point.location.y() - point.width,
                                2 * point.width, 2 * point.width);
            bounds = any ? bounds.united(square) : square;
            any = true;
        }
    }
    return any ? bounds : QRectF();
}

std::optional<QByteArray> inkSignaturePDF(const InkStrokes& strokes, const QColor& color)
{
    const QRectF bounds = inkBounds(strokes);
    if (bounds.isNull() || bounds.width() <= 2 || bounds.height() <= 2)
        return std::nullopt;
    const QSizeF size(bounds.width() + 2 * artworkMargin, bounds.height() + 2 * artworkMargin);
    return writeOnePagePDF(size, [&](QPainter& painter, double pageHeight) {
        // Flip to y up so the strokes land as drawn, the ink's lower-left bound at (margin, margin).
        painter.translate(0, pageHeight);
        painter.scale(1, -1);
        painter.translate(artworkMargin - bounds.left(), artworkMargin - bounds.top());
        drawInkStrokes(strokes, painter, color);
    });
}

std::optional<QPainterPath> typedSignaturePath(const QString& text, const QString& postScript, double fontSize)
{
    if (text.isEmpty() || !canMakeSignatureFont(postScript))
        return std::nullopt;
    QPainterPath path;
    // Qt lays the line out with font fallback per character, so letters the face lacks still appear.
    path.addText(QPointF(0, 0), signatureQFont(postScript, fontSize), text);
    if (path.isEmpty() || path.boundingRect().isEmpty())
        return std::nullopt;
    return QTransform::fromScale(1, -1).map(path);
}

std::optional<QByteArray> typedSignaturePDF(const QString& text, const QString& postScript, const QColor& color)
{
    const std::optional<QPainterPath> path = typedSignaturePath(text, postScript, typedSignatureFontSize);
    if (!path)
        return std::nullopt;
    const QRectF bounds = path->boundingRect();
    const QSizeF size(bounds.width() + 2 * artworkMargin, bounds.height() + 2 * artworkMargin);
    const QFont font = signatureQFont(postScript, typedSignatureFontSize);
    return writeOnePagePDF(size, [&](QPainter& painter, double pageHeight) {
        // The same layout as the outlines, drawn as text: the baseline origin goes where the outlines put
        // their lower-left bound at (margin, margin) in y-up page space.
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(QPointF(artworkMargin - bounds.left(), pageHeight - artworkMargin + bounds.top()), text);
    });
}

} // namespace vmk::signatures
