// Compression presets against Ghostscript on a text document with photos: our `balanced` against
// gs -dPDFSETTINGS=/ebook and `tiny` against /screen, both run on the same file in this process. Prints
// each size, the ratios and whether the text stayed text.
//
// Usage: bench_compress [file.pdf]   (default: a generated 24-page document of text and photos)

#include "BenchSupport.h"

#include "core/Compression.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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

qint64 ghostscript(const QString& input, const QString& output, const QString& settings, double* seconds)
{
    QElapsedTimer timer;
    timer.start();
    QProcess gs;
    gs.start(QStringLiteral("gs"), {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
                                    "-dPDFSETTINGS=/" + settings, "-sOutputFile=" + output, input});
    if (!gs.waitForFinished(600000) || gs.exitCode() != 0)
        return -1;
    *seconds = timer.elapsed() / 1000.0;
    return QFile(output).size();
}

QString popplerText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString input = argc > 1 ? QString::fromLocal8Bit(argv[1]) : generate(dir, 24);
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(input));
        return 1;
    }
    const QByteArray source = file.readAll();
    const QString sourceText = popplerText(input);
    std::printf("input: %s, %lld bytes\n", qPrintable(input), qint64(source.size()));
    std::printf("goal: balanced <= gs /ebook and tiny <= gs /screen (ratio <= 1.00), text kept as text\n");

    bool met = true;
    const struct {
        CompressionPreset preset;
        const char* reference;
    } pairs[] = {{CompressionPreset::balanced, "ebook"}, {CompressionPreset::tiny, "screen"}};
    for (const auto& pair : pairs) {
        QElapsedTimer timer;
        timer.start();
        const QByteArray ours = compress(source, pair.preset);
        const double oursSeconds = timer.elapsed() / 1000.0;
        const QString oursPath = dir.filePath(rawValue(pair.preset) + QStringLiteral(".pdf"));
        QFile out(oursPath);
        out.open(QIODevice::WriteOnly);
        out.write(ours);
        out.close();
        double gsSeconds = 0;
        const qint64 reference = ghostscript(input, dir.filePath(QStringLiteral("gs-%1.pdf").arg(pair.reference)),
                                             QString::fromLatin1(pair.reference), &gsSeconds);
        if (reference <= 0) {
            std::printf("gs /%s failed; is Ghostscript installed?\n", pair.reference);
            return 1;
        }
        const double ratio = double(ours.size()) / double(reference);
        const bool textKept = popplerText(oursPath) == sourceText;
        met = met && ratio <= 1.0 && textKept;
        std::printf("%-8s %10lld bytes (%5.1f s)   gs /%-6s %10lld bytes (%5.1f s)   ratio %.2f   text kept: %s\n",
                    qPrintable(rawValue(pair.preset)), qint64(ours.size()), oursSeconds, pair.reference, reference,
                    gsSeconds, ratio, textKept ? "yes" : "NO");
    }
    std::printf("goal %s\n", met ? "met" : "NOT met");
    return 0;
}
