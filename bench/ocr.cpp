// Make Searchable itself, as the menu command runs it, on 16 scanned pages of varied text and pictures:
// once with one recognition worker and once with eight (the thread pool's size decides), and the
// reference, the tesseract command line reading the same page images one after another on one thread.
// Recognition engines are started on every worker before either run, so both runs time reading only.
//
// Goals: 8 workers >= 6x faster than 1; per page, 1 worker no slower than tesseract.
// Usage: bench_ocr [pages]   (default 16)

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"
#include "platform/services/UserDefaults.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>

namespace {

const QStringList kWords = QStringLiteral(
    "the of and to in is that for it as was with be by on not this are or from at which but have an they were "
    "all there would their been has when who will more if out so said what up its about into than them can only "
    "other new some could time these two may then first any now such like over even most made after also did "
    "many before must through back years where much way well down should because each just those people how "
    "little state good very make world still own see work long here between both life being under never day "
    "same another know while last might great old year come since against council budget harbour railway "
    "committee survey measurement river treaty engine weather orchard library hospital quarterly estimate")
                                  .split(QLatin1Char(' '));

QString sentence(QRandomGenerator& random)
{
    QStringList words;
    for (int i = 0, n = 6 + int(random.bounded(12)); i < n; ++i)
        words << kWords[int(random.bounded(kWords.size()))];
    words[0][0] = words[0][0].toUpper();
    return words.join(QLatin1Char(' ')) + QLatin1Char('.');
}

// One scanned letter page at 200 dpi: a heading, paragraphs in two typefaces, sometimes a photo-like
// picture or a small table, light paper grain, and a slight skew as a feeder leaves it.
QImage scannedPage(int number, QRandomGenerator& random)
{
    QImage image(1700, 2200, QImage::Format_RGB32);
    image.fill(QColor(250, 249, 245));
    image.setDotsPerMeterX(7874);
    image.setDotsPerMeterY(7874);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(850, 1100);
    p.rotate((random.bounded(100) - 50) / 100.0);
    p.translate(-850, -1100);
    p.setPen(QColor(25, 25, 30));
    QFont heading(QStringLiteral("DejaVu Sans"));
    heading.setPixelSize(52);
    heading.setBold(true);
    p.setFont(heading);
    p.drawText(QRectF(170, 150, 1360, 80), QStringLiteral("Section %1. %2").arg(number).arg(kWords[int(random.bounded(kWords.size()))]));
    double y = 280;
    while (y < 1950) {
        const int kind = int(random.bounded(8));
        if (kind == 0 && y < 1400) {
            QLinearGradient gradient(170, y, 900, y + 420);
            gradient.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 90, 200));
            gradient.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 160, 80));
            p.fillRect(QRectF(170, y, 760, 420), gradient);
            for (int k = 0; k < 30; ++k)
                p.fillRect(QRectF(170 + random.bounded(700), y + random.bounded(380), 40, 30), QColor::fromRgb(random.generate()));
            QFont caption(QStringLiteral("DejaVu Sans"));
            caption.setPixelSize(26);
            p.setFont(caption);
            p.drawText(QRectF(960, y, 570, 420), Qt::TextWordWrap, QStringLiteral("Figure %1: %2").arg(number).arg(sentence(random)));
            y += 460;
        } else if (kind == 1 && y < 1700) {
            QFont table(QStringLiteral("Liberation Sans"));
            table.setPixelSize(28);
            p.setFont(table);
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 4; ++col)
                    p.drawText(QPointF(170 + col * 330, y + 30 + row * 40),
                               QString::number(random.bounded(100000) / 100.0, 'f', 2));
            y += 240;
        } else {
            QFont body(random.bounded(2) ? QStringLiteral("DejaVu Serif") : QStringLiteral("Liberation Serif"));
            body.setPixelSize(31);
            p.setFont(body);
            QString paragraph;
            for (int s = 0, n = 2 + int(random.bounded(4)); s < n; ++s)
                paragraph += sentence(random) + QLatin1Char(' ');
            QRectF used;
            p.drawText(QRectF(170, y, 1360, 2050 - y), Qt::TextWordWrap, paragraph, &used);
            y += used.height() + 30;
        }
    }
    p.end();
    // Paper grain.
    for (int k = 0; k < 4000; ++k)
        image.setPixel(int(random.bounded(1700)), int(random.bounded(2200)), qRgb(200, 200, 195));
    return image;
}

QByteArray scannedPdf(int pages)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter p(&writer);
    QRandomGenerator random(16);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        p.drawImage(QRectF(0, 0, 612, 792), scannedPage(i + 1, random));
    }
    p.end();
    return bytes;
}

// Make Searchable over a fresh copy of the document with `workers` recognition workers; seconds.
double makeSearchable(const QByteArray& pdf, int workers, vmk::platform::UserDefaults* defaults, QString* toast)
{
    QThreadPool::globalInstance()->setMaxThreadCount(workers);
    vmk::core::VMKDocument document;
    document.setPdf(vmk::pdf::Document::fromData(pdf).value());
    vmk::Editor editor(&document, {}, nullptr, defaults);
    // A long document is first checked for text on a worker, and the reading starts after that; the run is
    // over when the reading has started and stopped again, or when the check found nothing to read.
    QEventLoop loop;
    bool started = false;
    QObject::connect(&editor, &vmk::Editor::progressChanged, &loop, [&] {
        started = started || editor.progress().has_value();
        if (started && !editor.progress())
            loop.quit();
    });
    QObject::connect(&editor, &vmk::Editor::toastChanged, &loop, [&] {
        if (!started && !editor.progress() && !editor.isCheckingForText())
            loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    editor.makeSearchable();
    started = editor.progress().has_value();
    if (started || editor.isCheckingForText())
        loop.exec();
    if (toast)
        *toast = editor.toast() ? editor.toast()->text : QString();
    return timer.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, atoi(argv[1])) : 16;
    constexpr int kWorkers = 8;
    QTemporaryDir dir;
    vmk::platform::UserDefaults defaults(dir.filePath(QStringLiteral("defaults.ini")));
    const QByteArray pdf = scannedPdf(pages);

    // Engines start on every worker thread, which then stays.
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
    makeSearchable(scannedPdf(kWorkers), kWorkers, &defaults, nullptr);

    QString toast1, toastN;
    const double one = makeSearchable(pdf, 1, &defaults, &toast1);
    const double many = makeSearchable(pdf, kWorkers, &defaults, &toastN);

    // The reference: tesseract reading the very images Make Searchable reads (300 dpi), one at a time.
    auto opened = vmk::pdf::Document::fromData(pdf).value();
    QStringList images;
    for (int i = 0; i < pages; ++i) {
        const QString path = dir.filePath(QStringLiteral("page%1.png").arg(i));
        opened->page(i)->render(300.0 / 72.0, vmk::pdf::RenderOptions{false, {}}).save(path);
        images << path;
    }
    QElapsedTimer timer;
    timer.start();
    bool cliOk = true;
    for (const QString& image : images) {
        QProcess tesseract;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
        tesseract.setProcessEnvironment(env);
        tesseract.start(QStringLiteral("tesseract"), {image, dir.filePath(QStringLiteral("out")), QStringLiteral("-l"),
                                                      QStringLiteral("eng")});
        cliOk = tesseract.waitForFinished(600000) && tesseract.exitCode() == 0 && cliOk;
    }
    const double cli = timer.elapsed() / 1000.0;

    std::printf("pages=%d workers=1 vs %d; %s\n", pages, kWorkers, qPrintable(toastN));
    std::printf("Make Searchable, 1 worker: %.2f s (%.2f s/page)\n", one, one / pages);
    std::printf("Make Searchable, %d workers: %.2f s (%.2f s/page)\n", kWorkers, many, many / pages);
    std::printf("speed-up %d workers / 1 worker: %.2fx   goal >= 6x\n", kWorkers, one / std::max(many, 1e-9));
    if (cliOk)
        std::printf("tesseract CLI, 1 thread: %.2f s/page; ratio Make Searchable (1 worker) / tesseract: %.2f   goal <= 1.00\n",
                    cli / pages, (one / pages) / std::max(cli / pages, 1e-9));
    else
        std::printf("tesseract CLI unavailable (install tesseract-ocr)\n");
    return toast1 == toastN ? 0 : 1;
}
