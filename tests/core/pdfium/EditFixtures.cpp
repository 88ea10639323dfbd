#include "EditFixtures.h"

#include "support/PaintedPdf.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vmk::editest {

namespace {

constexpr qreal kPageHeight = 792;

QByteArray sfntTable(const QByteArray& file, const char* tag)
{
    auto be = [&](qsizetype at, int bytes) {
        quint32 v = 0;
        for (int i = 0; i < bytes && at + i < file.size(); ++i)
            v = (v << 8) | quint8(file[at + i]);
        return v;
    };
    const quint32 count = be(4, 2);
    for (quint32 i = 0; i < count; ++i) {
        const qsizetype record = 12 + 16 * qsizetype(i);
        if (file.mid(record, 4) == QByteArray(tag))
            return file.mid(be(record + 8, 4), be(record + 12, 4));
    }
    return {};
}

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

QByteArray installedFontProgram(FontKind kind)
{
    const bool trueType = kind == FontKind::trueType;
    QProcess match;
    match.start(QStringLiteral("fc-match"), {QStringLiteral("-f"), QStringLiteral("%{file}"),
                                             trueType  ? QStringLiteral("Liberation Serif:fontformat=TrueType")
                                             : kind == FontKind::cff ? QStringLiteral("Nimbus Roman:fontformat=CFF")
                                                                     : QStringLiteral("Nimbus Roman:fontformat=Type 1")});
    match.waitForFinished();
    QFile file(QString::fromLocal8Bit(match.readAllStandardOutput()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray program = file.readAll();
    // The bare CFF program from the OpenType file's table directory.
    return kind == FontKind::cff ? sfntTable(program, "CFF ") : program;
}

QByteArray makeTypesetPdf(FontKind kind, const QStringList& lines, qreal size, qreal leading, Laying laying)
{
    const bool trueType = kind == FontKind::trueType;
    const QByteArray program = installedFontProgram(kind);
    if (program.isEmpty())
        return {};

    // Codes of the font's own for every letter used, in order of first use.
    QString letters;
    for (const QString& line : lines)
        for (QChar c : line)
            if (c != QLatin1Char(' ') && !letters.contains(c))
                letters += c;
    QByteArray differences = "33";
    static const QList<QByteArray> digits{"zero", "one", "two", "three", "four",
                                          "five", "six", "seven", "eight", "nine"};
    for (QChar c : std::as_const(letters))
        differences += " /" + (c.isLetter() ? QByteArray(1, char(c.toLatin1()))
                               : c.isDigit() ? digits[c.digitValue()]
                                             : QByteArray(c == QLatin1Char('.') ? "period" : "comma"));
    const bool grouped = laying == Laying::groupedPerLine || laying == Laying::groupedOneObject;
    const bool one = laying == Laying::oneObject || laying == Laying::groupedOneObject || laying == Laying::justified;
    // A grouped page draws at twice the size under a halving transformation, as converters scale theirs.
    const qreal scale = grouped ? 2 : 1;
    QByteArray content = grouped ? "q 0.5 0 0 0.5 0 0 cm 0 g\n" : "";
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!one || i == 0)
            content += "BT /F1 " + QByteArray::number(size * scale) + (laying == Laying::objectPerLine ? " Tf " : " Tf 0 Tc 0 Tw ");
        if (!one || i == 0)
            content += QByteArray::number(72 * scale) + ' ' + QByteArray::number((700 - i * leading) * scale) + " Td ";
        else
            content += "0 " + QByteArray::number(-leading * scale) + " Td ";
        if (laying == Laying::justified)
            content += QByteArray::number(0.5 + 0.75 * i) + " Tw ";
        if (trueType) {
            content += test::winAnsiLiteral(lines[i]) + " Tj";
        } else {
            content += "[";
            for (const QString& word : lines[i].split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                QByteArray hex;
                for (QChar c : word)
                    hex += QByteArray::number(33 + letters.indexOf(c), 16).rightJustified(2, '0');
                content += (content.endsWith("[") ? "<" : "-333<") + hex + ">";
            }
            content += "] TJ";
        }
        content += !one || i + 1 == lines.size() ? " ET\n" : "\n";
    }
    if (grouped)
        content += "Q\n";
    const QByteArray fontFile = trueType ? "FontFile2" : kind == FontKind::cff ? "FontFile3" : "FontFile";
    const QByteArray base = trueType ? "LiberationSerif" : "NimbusRoman-Regular";
    return test::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>",
         test::pdfStream({}, content),
         "<< /Type /Font /Subtype /" + QByteArray(trueType ? "TrueType" : "Type1") + " /BaseFont /ABCDEF+" + base
             + " /FontDescriptor 6 0 R /Encoding "
             + (trueType ? QByteArray("/WinAnsiEncoding") : "<< /Type /Encoding /Differences [" + differences + "] >>")
             + " >>",
         "<< /Type /FontDescriptor /FontName /ABCDEF+" + base
             + " /Flags 34 /FontBBox [-200 -300 1100 1000] /ItalicAngle 0 /Ascent 900 /Descent -250 /CapHeight 700"
               " /StemV 80 /" + fontFile + " 7 0 R >>",
         test::pdfStream(kind == FontKind::cff ? "/Subtype /Type1C" : QByteArray(), program)});
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
