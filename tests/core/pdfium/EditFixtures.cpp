#include "EditFixtures.h"

#include "support/PaintedPdf.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vmk::editest {

namespace {

constexpr qreal kPageHeight = 792;

} // namespace

QByteArray makeQtTextPdf(const QList<TextLine>& lines, const QString& family)
{
    return test::paintedPdf(1, QSizeF(612, kPageHeight), [&](QPainter& painter, int) {
        for (const TextLine& line : lines) {
            QFont font(family);
            font.setPixelSize(int(line.size));
            painter.setFont(font);
            painter.drawText(QPointF(line.origin.x(), kPageHeight - line.origin.y()), line.text);
        }
    });
}

QByteArray makeHelveticaPdf(const QList<TextLine>& lines)
{
    QByteArray content;
    for (const TextLine& line : lines)
        content += "BT /F1 " + QByteArray::number(line.size) + " Tf " + QByteArray::number(line.origin.x()) + " "
            + QByteArray::number(line.origin.y()) + " Td " + test::winAnsiLiteral(line.text) + " Tj ET\n";
    return makeHelveticaContentPdf(content);
}

QByteArray makeHelveticaContentPdf(const QByteArray& content)
{
    return test::assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
                              " /Resources << /Font << /F1 5 0 R >> >> >>",
                              test::pdfStream({}, content),
                              "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"});
}

QByteArray makeImagePdf(const QRectF& rect, const QSize& pixels, const QString& text, const QSizeF& page)
{
    return test::paintedPdf(1, page, [&](QPainter& painter, int) {
        QImage image(pixels, QImage::Format_RGB32);
        image.fill(QColor(200, 40, 40));
        painter.drawImage(QRectF(rect.x(), page.height() - rect.y() - rect.height(), rect.width(), rect.height()), image);
        if (!text.isEmpty()) {
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(12);
            painter.setFont(font);
            painter.drawText(QPointF(72, 100), text);
        }
    });
}

std::unique_ptr<core::PDFEditSession> openSession(const QByteArray& pdf, QString* why)
{
    const QString path = core::PDFEditSession::pdfiumLibraryPath();
    if (!QFileInfo::exists(path)) {
        if (why)
            *why = QStringLiteral("PDFium is not in this build (") + path + QStringLiteral(")");
        return nullptr;
    }
    auto session = core::PDFEditSession::open(pdf);
    if (!session) {
        ADD_FAILURE() << session.error().message().toStdString();
        if (why)
            *why = session.error().message();
        return nullptr;
    }
    return std::move(session.value());
}

QString extractText(const QByteArray& pdf)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("out.pdf"), pdf);
    const test::CommandResult r = test::runCommand(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    return QString::fromUtf8(r.out).simplified();
}

bool qpdfAccepts(const QByteArray& pdf)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("out.pdf"), pdf);
    return test::runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), path}).exitCode == 0;
}

core::EditRun run(const QString& text, qreal x, qreal baseline, qreal size, qreal width, const QString& font)
{
    core::EditRun r;
    r.text = text;
    r.x = x;
    r.baseline = baseline;
    r.size = size;
    r.fontName = font;
    const qreal w = width >= 0 ? width : 0.5 * size * text.size();
    r.bounds = QRectF(x, baseline - 0.2 * size, w, size);
    return r;
}

} // namespace vmk::editest
