#include "platform/ocr/RecognitionCost.h"
#include "platform/ocr/TextRecognizer.h"

#include <QLinearGradient>
#include <QPainter>

#include <gtest/gtest.h>

using namespace vmk::platform;

namespace {

// A letter page at 150 dpi on paper of the given shade: `lines` lines of body text, and a photo-like
// gradient over the top half when asked.
QImage page(int lines, bool picture = false, QColor paper = QColor(250, 249, 245))
{
    QImage image(1275, 1650, QImage::Format_RGB32);
    image.fill(paper);
    QPainter p(&image);
    if (picture) {
        QLinearGradient gradient(100, 100, 1100, 800);
        gradient.setColorAt(0, QColor(200, 160, 90));
        gradient.setColorAt(1, QColor(40, 60, 120));
        p.fillRect(QRect(100, 100, 1075, 700), gradient);
    }
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(QColor(20, 20, 25));
    for (int i = 0; i < lines; ++i)
        p.drawText(QPointF(120, 850 + 34 * i), QStringLiteral("The council approved the harbour survey and the railway budget %1.").arg(i));
    return image;
}

} // namespace

TEST(RecognitionCost, GrowsWithTheTextAndNotWithPicturesOrPaper)
{
    const double none = expectedRecognitionCost(page(0));
    const double few = expectedRecognitionCost(page(5));
    const double many = expectedRecognitionCost(page(20));
    EXPECT_EQ(none, 0);
    EXPECT_EQ(expectedRecognitionCost(QImage()), 0);
    EXPECT_GT(few, 0);
    // Four times the lines, about four times the cost.
    EXPECT_NEAR(many / few, 4.0, 0.6);
    // A large picture adds far less than a few lines of text do.
    EXPECT_EQ(expectedRecognitionCost(page(0, true)) < few / 2, true);
    EXPECT_NEAR(expectedRecognitionCost(page(5, true)) / few, 1.0, 0.5);
    // Darker paper does not change what counts as ink, nor does giving the grey image the reader takes.
    EXPECT_NEAR(expectedRecognitionCost(page(5, false, QColor(190, 185, 170))) / few, 1.0, 0.1);
    EXPECT_EQ(expectedRecognitionCost(recognitionImage(page(5))), few);
}
