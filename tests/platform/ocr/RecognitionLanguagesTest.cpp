#include "platform/ocr/RecognitionLanguages.h"
#include "platform/ocr/TextRecognizer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace vmk::platform;

namespace {

TEST(RecognitionLanguages, NamesLocalesByTesseractsCodes)
{
    EXPECT_EQ(tesseractLanguageCode("de-DE"), "deu");
    EXPECT_EQ(tesseractLanguageCode("de_AT"), "deu");
    EXPECT_EQ(tesseractLanguageCode("fr-CA"), "fra");
    EXPECT_EQ(tesseractLanguageCode("nl-BE"), "nld");
    EXPECT_EQ(tesseractLanguageCode("pt-BR"), "por");
    EXPECT_EQ(tesseractLanguageCode("es"), "spa");
    EXPECT_EQ(tesseractLanguageCode("it-IT"), "ita");
    EXPECT_EQ(tesseractLanguageCode("cs-CZ"), "ces"); // terminology code, not "cze"
    EXPECT_EQ(tesseractLanguageCode("zh-Hant-TW"), "chi_tra");
    EXPECT_EQ(tesseractLanguageCode("zh-CN"), "chi_sim");
    EXPECT_EQ(tesseractLanguageCode("nb-NO"), "nor");
    EXPECT_EQ(tesseractLanguageCode("sr-Latn-RS"), "srp_latn");
    EXPECT_EQ(tesseractLanguageCode("C"), "");
}

TEST(RecognitionLanguages, TakesTheInstalledLanguagesOfTheLocaleThenEnglish)
{
    QTemporaryDir dir;
    for (const char* code : {"deu", "fra", "ita", "eng"}) {
        QFile file(QDir(dir.path()).filePath(QStringLiteral("%1.traineddata").arg(QLatin1String(code))));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(recognitionLanguages({"de-DE", "de", "en-US"}, dir.path()), "deu+eng");
    // Languages without data are passed over; English is never listed twice.
    EXPECT_EQ(recognitionLanguages({"pl-PL", "fr-FR", "en-GB"}, dir.path()), "fra+eng");
    EXPECT_EQ(recognitionLanguages({"en-US"}, dir.path()), "eng");
    EXPECT_EQ(recognitionLanguages({"C"}, dir.path()), "eng");
    EXPECT_EQ(recognitionLanguages({}, dir.path()), "eng");
    // Each further model slows every page: two of the user's languages at most.
    EXPECT_EQ(recognitionLanguages({"it", "de", "fr"}, dir.path()), "ita+deu+eng");
}

QImage germanPage()
{
    QImage image(1100, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(5906);
    image.setDotsPerMeterY(5906);
    QPainter p(&image);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(40);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(60, 100, QStringLiteral("Die Räume über dem Büro"));
    p.drawText(60, 200, QStringLiteral("sind größer als gedacht."));
    return image;
}

TEST(RecognitionLanguages, GermanTextIsReadWithItsUmlauts)
{
    if (!QFileInfo::exists(QDir(TextRecognizer::dataPath()).filePath(QStringLiteral("deu.traineddata"))))
        GTEST_SKIP() << "German recognition data is not installed (scripts/setup.sh installs it)";
    RecognitionOptions options;
    options.languages = recognitionLanguages({QStringLiteral("de-DE")}, TextRecognizer::dataPath());
    ASSERT_EQ(options.languages, "deu+eng");
    TextRecognizer recognizer(options);
    ASSERT_TRUE(recognizer.isAvailable()) << recognizer.errorString().toStdString();
    const RecognitionResult result = recognizer.recognize(germanPage());
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.lines.size(), 2);
    EXPECT_EQ(result.lines[0].text, QStringLiteral("Die Räume über dem Büro"));
    EXPECT_EQ(result.lines[1].text, QStringLiteral("sind größer als gedacht."));
}

// Engines started on several threads at the same moment each come up and read alike.
TEST(TextRecognizerThreads, EnginesMadeOnSeveralThreadsAtOnceAllWork)
{
    QImage image(600, 160, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(5906);
    image.setDotsPerMeterY(5906);
    {
        QPainter p(&image);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(40);
        p.setFont(font);
        p.drawText(60, 100, QStringLiteral("Parallel start"));
    }
    constexpr int kThreads = 6;
    std::vector<QString> texts(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            TextRecognizer recognizer;
            const RecognitionResult result = recognizer.recognize(image);
            texts[size_t(i)] = result.lines.isEmpty() ? result.error : result.lines.first().text;
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (const QString& text : texts)
        EXPECT_EQ(text, QStringLiteral("Parallel start"));
}

} // namespace
