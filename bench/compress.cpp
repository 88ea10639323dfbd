// Compression presets against Ghostscript, the time the user waits and the size they get: `light` against
// gs -dPDFSETTINGS=/printer, `balanced` against /ebook and `tiny` against /screen, on a text document with
// photos and on a document of scanned pages, in alternating pairs in the same run (wall and CPU time, the
// medians of the pairs). Each written file is checked: its text stays text, and qpdf reads it.
//
// Usage: bench_compress [photos.pdf [scans.pdf]]   (default: generated documents, 24 pages of text and
// photos and 12 scanned pages)

#include "BenchSupport.h"

#include "core/Compression.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

using namespace vmk::core::PDFOps;

namespace {

const QStringList kWords = {"the", "measurement", "of", "river", "sediment", "shows", "a", "seasonal", "pattern",
                              "which", "we", "compare", "with", "earlier", "surveys", "in", "chapter", "three",
                              "results", "suggest", "that", "flow", "rates", "and", "temperature", "explain",
                              "most", "variance", "while", "local", "geology", "remains", "important", "for",
                              "sampling", "sites", "near", "the", "delta"};

QString sentence(QRandomGenerator& random)
{
    return vmk::bench::sentence(random, kWords, 8, 14);
}

// A photo-like picture: smooth shapes, soft light and fine grain.
QImage photo(QRandomGenerator& random, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    const double fx = 2 + random.generateDouble() * 4, fy = 1 + random.generateDouble() * 3;
    const double hue = random.generateDouble();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double u = double(x) / size.width(), v = double(y) / size.height();
            const double shade = 0.5 + 0.25 * std::sin(fx * 6.28 * u + 2 * v) * std::cos(fy * 6.28 * v) + 0.2 * (1 - v);
            const int grain = int(random.bounded(17)) - 8;
            const QColor c = QColor::fromHsvF(std::fmod(hue + 0.1 * u, 1.0), 0.45 + 0.3 * v, std::clamp(shade, 0.05, 1.0));
            line[x] = qRgb(std::clamp(c.red() + grain, 0, 255), std::clamp(c.green() + grain, 0, 255),
                           std::clamp(c.blue() + grain, 0, 255));
        }
    }
    return image;
}

QString generate(const QTemporaryDir& dir, int pages)
{
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    QPdfWriter writer(path);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(10);
    QRandomGenerator random(2024);
    vmk::bench::paintPages(writer, pages, QPageSize::A4, [&](QPainter& painter, int p) {
        painter.setFont(font);
        int y = 60;
        const bool withPhoto = p % 3 != 2;
        for (int paragraph = 0; y < 780; ++paragraph) {
            if (withPhoto && paragraph == 1) {
                // A photo of a digital camera's size, shown about 12 cm wide.
                painter.drawImage(QRectF(70, y, 340, 255), photo(random, QSize(1600, 1200)));
                y += 270;
                continue;
            }
            QString text;
            for (int s = 0; s < 4 + int(random.bounded(4)); ++s)
                text += sentence(random) + ' ';
            const QRectF box(70, y, 455, 400);
            const QRectF used = painter.boundingRect(box, Qt::TextWordWrap, text);
            if (y + used.height() > 800)
                break;
            painter.drawText(box, Qt::TextWordWrap, text);
            y += int(used.height()) + 10;
        }
    });
    return path;
}

// A scanned letter: a page of text photographed at 200 dpi as one picture, paper grain included, so the
// page has no text of its own.
QImage scan(QRandomGenerator& random, const QFont& font)
{
    QImage image(1700, 2200, QImage::Format_RGB32);
    image.fill(QColor(247, 245, 238));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(font);
    painter.setPen(QColor(30, 30, 40));
    painter.rotate((random.bounded(60) - 30) / 100.0);
    int y = 180;
    while (y < 2000) {
        QString text;
        for (int s = 0; s < 3 + int(random.bounded(4)); ++s)
            text += sentence(random) + ' ';
        QRectF used;
        painter.drawText(QRectF(170, y, 1360, 2050 - y), Qt::TextWordWrap, text, &used);
        y += int(used.height()) + 40;
    }
    painter.end();
    for (int k = 0; k < 20000; ++k)
        image.setPixel(int(random.bounded(1700)), int(random.bounded(2200)), qRgb(200 + int(random.bounded(40)), 200, 195));
    return image;
}

QString generateScans(const QTemporaryDir& dir, int pages)
{
    const QString path = dir.filePath(QStringLiteral("scans.pdf"));
    QPdfWriter writer(path);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(34);
    QRandomGenerator random(1871);
    vmk::bench::paintPages(writer, pages, QPageSize::Letter, [&](QPainter& painter, int) {
        painter.drawImage(QRectF(0, 0, 612, 792), scan(random, font));
    });
    return path;
}

QString popplerText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

bool qpdfAccepts(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    // 3 is qpdf's "warnings only": the file is still read in full.
    return p.waitForFinished(120000) && (p.exitCode() == 0 || p.exitCode() == 3);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QStringList inputs = {argc > 1 ? QString::fromLocal8Bit(argv[1]) : generate(dir, 24),
                                argc > 2 ? QString::fromLocal8Bit(argv[2]) : generateScans(dir, 12)};
    const char* kinds[] = {"photos", "scans"};
    const int pairs = vmk::bench::pairsToRun();
    const struct {
        CompressionPreset preset;
        const char* reference;
    } presets[] = {{CompressionPreset::light, "printer"},
                   {CompressionPreset::balanced, "ebook"},
                   {CompressionPreset::tiny, "screen"}};
    bool met = true;
    for (int k = 0; k < int(inputs.size()); ++k) {
        const QString& input = inputs[k];
        QFile file(input);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(input));
            return 1;
        }
        const QByteArray source = file.readAll();
        const QString sourceText = popplerText(input);
        std::printf("%s: %s, %lld bytes\n", kinds[k], qPrintable(input), qint64(source.size()));
        for (const auto& pair : presets) {
            const QString ours = dir.filePath(QStringLiteral("%1-%2.pdf").arg(kinds[k], rawValue(pair.preset)));
            const QString theirs = dir.filePath(QStringLiteral("%1-gs-%2.pdf").arg(kinds[k], pair.reference));
            QByteArray written;
            const vmk::bench::Comparison c = vmk::bench::alternate(
                pairs,
                [&] {
                    return vmk::bench::timeProgram(
                        QStringLiteral("gs"), {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
                                               QStringLiteral("-dPDFSETTINGS=/%1").arg(pair.reference),
                                               "-sOutputFile=" + theirs, input});
                },
                [&] {
                    return vmk::bench::timeHere([&] {
                        written = compress(source, pair.preset);
                        return !written.isEmpty();
                    });
                });
            QFile out(ours);
            out.open(QIODevice::WriteOnly);
            out.write(written);
            out.close();
            const qint64 reference = QFileInfo(theirs).size();
            // A page of scans holds no text to keep; a page of text must keep it as text.
            const bool textKept = popplerText(ours) == sourceText;
            const bool valid = qpdfAccepts(ours);
            const QByteArray name = QStringLiteral("compress %1, %2").arg(rawValue(pair.preset), kinds[k]).toUtf8();
            const QByteArray goal = QStringLiteral("<= 1.00 of gs /%1").arg(pair.reference).toUtf8();
            vmk::bench::report(name.constData(), "gs", c, goal.constData());
            std::printf("  %s: %lld bytes (%.0f%% of the source); gs /%s %lld bytes; size ratio %.2f; text kept: %s; "
                        "qpdf --check: %s\n",
                        qPrintable(rawValue(pair.preset)), qint64(written.size()),
                        100.0 * written.size() / std::max<qint64>(1, source.size()), pair.reference, reference,
                        double(written.size()) / std::max<qint64>(1, reference), textKept ? "yes" : "NO",
                        valid ? "ok" : "FAILED");
            met = met && c.ok() && c.wallRatio() <= 1.0 && textKept && valid;
        }
    }
    std::printf("goal (each preset no slower than its gs counterpart, text kept, files valid) %s\n",
                met ? "met" : "NOT met");
    return 0;
}
