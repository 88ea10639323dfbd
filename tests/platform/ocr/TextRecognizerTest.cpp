#include "platform/ocr/TextRecognizer.h"

#include <QDir>
#include <QFont>
#include <QPainter>
#include <QTransform>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace vmk::platform;

namespace {

struct Line {
    QString text;
    int y; // baseline, pixels from the top
};

// A sparse page crop at about 150 dpi: large lines of DejaVu Sans, black on white.
QImage page(const QList<Line>& lines, QSize size = QSize(900, 420))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(5906);
    image.setDotsPerMeterY(5906);
    QPainter p(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    p.setFont(font);
    p.setPen(Qt::black);
    for (const Line& l : lines)
        p.drawText(60, l.y, l.text);
    return image;
}

const QList<Line> kThreeLines = {{"Quarterly report", 100}, {"Revenue grew eleven percent", 220},
                                 {"Signed by the board", 340}};

TEST(TextRecognizer, ReadsLinesWithBoxesFromTheLowerLeft)
{
    TextRecognizer recognizer;
    ASSERT_TRUE(recognizer.isAvailable()) << recognizer.errorString().toStdString();
    const RecognitionResult result = recognizer.recognize(page(kThreeLines));
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    ASSERT_EQ(result.lines.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const RecognizedTextLine& line = result.lines[i];
        EXPECT_EQ(line.text, kThreeLines[i].text);
        EXPECT_GT(line.confidence, 0.8);
        EXPECT_LE(line.confidence, 1.0);
        // Left edge at x = 60 of 900; the baseline (y from the top) is near the box's bottom edge, which
        // in lower-left coordinates is 1 - baseline / height.
        EXPECT_NEAR(line.box.left(), 60.0 / 900, 0.01);
        EXPECT_NEAR(line.box.top(), 1.0 - kThreeLines[i].y / 420.0, 0.03);
        EXPECT_NEAR(line.box.height(), 40.0 / 420, 0.03);
        EXPECT_LT(line.box.right(), 1.0);
    }
    // Lines come top to bottom, so their lower-left y values fall.
    EXPECT_GT(result.lines[0].box.y(), result.lines[1].box.y());
    EXPECT_GT(result.lines[1].box.y(), result.lines[2].box.y());
}

// Back to pixels from the top left, to compare boxes across a turned image.
QRectF pixelBox(const QRectF& box, const QSize& size)
{
    return QRectF(box.x() * size.width(), (1.0 - box.bottom()) * size.height(), box.width() * size.width(),
                  box.height() * size.height());
}

TEST(TextRecognizer, ReadsTurnedPagesUprightWithBoxesOnTheImageAsGiven)
{
    TextRecognizer recognizer;
    ASSERT_TRUE(recognizer.isAvailable());
    const QImage upright = page(kThreeLines);
    const RecognitionResult straight = recognizer.recognize(upright);
    ASSERT_EQ(straight.lines.size(), 3);
    for (int turn : {90, 180, 270}) {
        const QTransform t = QImage::trueMatrix(QTransform().rotate(turn), upright.width(), upright.height());
        const QImage turned = upright.transformed(t);
        const RecognitionResult result = recognizer.recognize(turned);
        ASSERT_TRUE(result.ok());
        ASSERT_EQ(result.lines.size(), 3) << turn;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(result.lines[i].text, kThreeLines[i].text) << turn;
            const QRectF expected = t.mapRect(pixelBox(straight.lines[i].box, upright.size()));
            const QRectF actual = pixelBox(result.lines[i].box, turned.size());
            EXPECT_NEAR(actual.center().x(), expected.center().x(), 6) << turn;
            EXPECT_NEAR(actual.center().y(), expected.center().y(), 6) << turn;
            EXPECT_NEAR(actual.width(), expected.width(), 6) << turn;
            EXPECT_NEAR(actual.height(), expected.height(), 6) << turn;
        }
    }
}

TEST(TextRecognizer, HandlesBlankEmptyAndTransparentImages)
{
    TextRecognizer recognizer;
    ASSERT_TRUE(recognizer.isAvailable());
    const QImage blank = page({});
    const RecognitionResult none = recognizer.recognize(blank);
    EXPECT_TRUE(none.ok());
    EXPECT_TRUE(none.lines.isEmpty());

    EXPECT_FALSE(recognizer.recognize(QImage()).ok());

    // A transparent background reads as white paper.
    QImage transparent(600, 120, QImage::Format_ARGB32_Premultiplied);
    transparent.fill(Qt::transparent);
    {
        QPainter p(&transparent);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(40);
        p.setFont(font);
        p.drawText(30, 80, QStringLiteral("Clear glass"));
    }
    const RecognitionResult glass = recognizer.recognize(transparent);
    ASSERT_EQ(glass.lines.size(), 1);
    EXPECT_EQ(glass.lines[0].text, "Clear glass");
}

TEST(TextRecognizer, ReportsMissingLanguageData)
{
    RecognitionOptions options;
    options.languages = QStringLiteral("xyz");
    TextRecognizer recognizer(options);
    EXPECT_FALSE(recognizer.isAvailable());
    EXPECT_FALSE(recognizer.errorString().isEmpty());
    const RecognitionResult result = recognizer.recognize(page(kThreeLines));
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.lines.isEmpty());
}

TEST(TextRecognizer, RecognisesPagesInParallelInOrderAndCancels)
{
    const QList<QImage> images = {page({{"First page", 100}}, QSize(600, 160)),
                                  page({{"Second page", 100}}, QSize(600, 160)),
                                  page({{"Third page", 100}}, QSize(600, 160))};
    const QList<RecognitionResult> results = recognizeImages(images);
    ASSERT_EQ(results.size(), 3);
    const QStringList expected = {"First page", "Second page", "Third page"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(results[i].ok()) << results[i].error.toStdString();
        ASSERT_EQ(results[i].lines.size(), 1);
        EXPECT_EQ(results[i].lines[0].text, expected[i]);
    }

    // A page that cannot be read fails alone: the pages around it are read and stay in their places.
    const QList<RecognitionResult> withFailure = recognizeImages({images[0], QImage(), images[2]});
    ASSERT_EQ(withFailure.size(), 3);
    EXPECT_TRUE(withFailure[0].ok() && withFailure[2].ok());
    EXPECT_FALSE(withFailure[1].ok());
    EXPECT_EQ(withFailure[0].lines.value(0).text, expected[0]);
    EXPECT_EQ(withFailure[2].lines.value(0).text, expected[2]);

    auto cancel = std::make_shared<std::atomic_bool>(true);
    QFuture<RecognitionResult> future = recognizeImagesAsync(images, cancel);
    future.waitForFinished();
    ASSERT_EQ(future.resultCount(), 3);
    for (const RecognitionResult& r : future.results()) {
        EXPECT_EQ(r.error, "Cancelled");
        EXPECT_TRUE(r.lines.isEmpty());
    }
}

} // namespace

namespace {

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Recognition must not start OpenMP thread teams: pages are parallelised one per worker, and the
// runtime's threads would outlive the call (they stay parked in its pool).
TEST(TextRecognizer, RunsOnTheCallingThreadOnly)
{
    TextRecognizer recognizer;
    ASSERT_TRUE(recognizer.isAvailable());
    const int before = threadCount();
    const RecognitionResult result = recognizer.recognize(page({{"Single thread", 100}}, QSize(600, 160)));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(threadCount(), before);
}

// The engine's images have every page of their buffers in place when made. The image library reads a new
// image's row ends before it writes them: a page read first is the kernel's shared zero page, and replacing
// it on the write stops every core another worker runs on (a fifth of each page's time with eight).
TEST(TextRecognizer, MakesImageBuffersWithEveryPageInPlace)
{
    TextRecognizer recognizer; // the process's engine setup, done once before the first engine
    ASSERT_TRUE(recognizer.isAvailable());
    const auto create = reinterpret_cast<void* (*)(int, int, int)>(dlsym(RTLD_DEFAULT, "pixCreateNoInit"));
    const auto data = reinterpret_cast<uint32_t* (*)(void*)>(dlsym(RTLD_DEFAULT, "pixGetData"));
    const auto destroy = reinterpret_cast<void (*)(void**)>(dlsym(RTLD_DEFAULT, "pixDestroy"));
    ASSERT_TRUE(create && data && destroy);
    // One bit deep, rows of eight pages and more: larger than the heap serves from what it holds, so the
    // buffer comes fresh from the system, and only the row ends would be touched.
    void* image = create(8 * 32768 + 1, 1100, 1);
    ASSERT_TRUE(image);
    const long page = sysconf(_SC_PAGESIZE);
    const uintptr_t begin = (uintptr_t(data(image)) + page - 1) / page * page;
    const uintptr_t end = (uintptr_t(data(image)) + size_t(8193) * 4 * 1100) / page * page;
    std::vector<unsigned char> resident((end - begin) / page);
    ASSERT_EQ(mincore(reinterpret_cast<void*>(begin), end - begin, resident.data()), 0);
    size_t missing = 0;
    for (unsigned char r : resident)
        missing += !(r & 1);
    destroy(&image);
    EXPECT_EQ(missing, 0u) << "of " << resident.size() << " pages";
}

} // namespace
