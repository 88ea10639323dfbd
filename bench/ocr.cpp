// Recognising the text of several pages: one page after another on this thread (the reference), then
// the same pages through the parallel helper, one page per worker. Prints seconds per page for both
// and their ratio; with a worker per core the parallel run should be several times faster.
//
// Usage: bench_ocr [pages]   (default: one page per core, at most 8)

#include "platform/ocr/TextRecognizer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace vmk::platform;

namespace {

// A text-heavy crop of a page at 150 dpi: twenty lines of 14-point body text.
QImage page(int number)
{
    QImage image(1240, 900, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(5906);
    image.setDotsPerMeterY(5906);
    QPainter p(&image);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(29);
    p.setFont(font);
    for (int line = 0; line < 20; ++line)
        p.drawText(90, 70 + line * 40,
                   QStringLiteral("Page %1, line %2: the quick brown fox jumps over the lazy dog.").arg(number).arg(line + 1));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("OMP_THREAD_LIMIT", "1");
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, atoi(argv[1])) : std::clamp(QThread::idealThreadCount(), 1, 8);
    QList<QImage> images;
    for (int i = 0; i < pages; ++i)
        images.append(page(i + 1));

    TextRecognizer recognizer;
    if (!recognizer.isAvailable()) {
        std::printf("text recognition unavailable: %s\n", qPrintable(recognizer.errorString()));
        return 1;
    }
    recognizer.recognize(images.first()); // warm caches so both runs start alike

    QElapsedTimer timer;
    timer.start();
    int lines = 0;
    for (const QImage& image : images)
        lines += int(recognizer.recognize(image).lines.size());
    const double sequential = timer.elapsed() / 1000.0;

    timer.restart();
    int parallelLines = 0;
    for (const RecognitionResult& r : recognizeImages(images))
        parallelLines += int(r.lines.size());
    const double parallel = timer.elapsed() / 1000.0;

    std::printf("pages=%d lines=%d/%d threads=%d\n", pages, lines, parallelLines, QThread::idealThreadCount());
    std::printf("sequential s/page=%.3f parallel s/page=%.3f speedup=%.2f\n", sequential / pages, parallel / pages,
                sequential / std::max(parallel, 1e-9));
    return 0;
}
