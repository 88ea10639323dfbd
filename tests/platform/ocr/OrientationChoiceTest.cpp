// Pages we render ourselves are upright: black boxes over most of the text do not turn them over.

#include "platform/ocr/TextRecognizer.h"

#include <QFont>
#include <QPainter>

#include <gtest/gtest.h>

using namespace vmk::platform;

namespace {

// A letter-like page at 200 dpi where black boxes cover most of the text, as after a redaction: a
// greeting, then lines that are mostly black with a word or two left.
QImage redactedPage(int variant)
{
    QImage image(1700, 1100, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(7874);
    image.setDotsPerMeterY(7874);
    QPainter p(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(44);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(150, 200, QStringLiteral("Hello,"));
    for (int i = 0; i < 6; ++i) {
        const int y = 300 + 110 * i;
        const int black = 300 + ((i * 7 + variant * 3) % 5) * 150;
        p.fillRect(150, y - 40, black, 56, Qt::black);
        if (i % 2 == variant % 2)
            p.drawText(150 + black + 30, y, QStringLiteral("regards"));
    }
    return image;
}

QString allText(const RecognitionResult& result)
{
    QStringList lines;
    for (const RecognizedTextLine& line : result.lines)
        lines.append(line.text);
    return lines.join(u'\n');
}

} // namespace

TEST(OrientationChoice, ASparseRedactedPageIsReadUpright)
{
    TextRecognizer recognizer;
    if (!recognizer.isAvailable())
        GTEST_SKIP() << recognizer.errorString().toStdString();
    for (int variant = 0; variant < 4; ++variant) {
        SCOPED_TRACE(variant);
        const QImage image = redactedPage(variant);
        const RecognitionResult result = recognizer.recognize(image);
        ASSERT_TRUE(result.ok());
        EXPECT_TRUE(allText(result).contains(QLatin1String("Hello,"))) << allText(result).toStdString();
        for (const RecognizedTextLine& line : result.lines)
            EXPECT_EQ(line.clockwiseTurn, 0) << line.text.toStdString();
    }
}
