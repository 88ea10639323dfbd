#include "chrome/GaussianBlur.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

using vmk::chrome::gaussianBlurred;

TEST(GaussianBlur, ALineSpreadsIntoABellOfHalfTheRadiusKeepingItsInkAndStayingPremultiplied)
{
    // A one-pixel white line down the middle of a transparent picture.
    QImage line(81, 40, QImage::Format_ARGB32_Premultiplied);
    line.fill(Qt::transparent);
    for (int y = 0; y < line.height(); ++y)
        line.setPixel(40, y, qRgba(255, 255, 255, 255));

    const QImage soft = gaussianBlurred(line, 8.0); // σ = 4
    ASSERT_EQ(soft.size(), line.size());
    const int row = 20;
    const auto alpha = [&](int x) { return qAlpha(soft.pixel(x, row)); };
    // A Gaussian's profile: peak 255 / (σ √2π), e^-½ of it one σ out, e^-2 two σ out, nothing past 3 σ.
    const double peak = 255.0 / (4.0 * std::sqrt(2 * M_PI));
    EXPECT_NEAR(alpha(40), peak, 1.5);
    EXPECT_NEAR(alpha(44), peak * std::exp(-0.5), 1.5);
    EXPECT_NEAR(alpha(48), peak * std::exp(-2.0), 1.5);
    EXPECT_EQ(alpha(40 - 14), 0);
    int ink = 0;
    for (int x = 0; x < soft.width(); ++x) {
        EXPECT_EQ(alpha(40 - std::abs(x - 40)), alpha(x)); // symmetric
        const QRgb p = soft.pixel(x, row);
        EXPECT_LE(qRed(p), qAlpha(p));
        ink += qAlpha(p);
    }
    EXPECT_NEAR(ink, 255, 8); // spread, not faded
    // Along the line, far from its ends, nothing changes.
    EXPECT_EQ(soft.pixel(40, 15), soft.pixel(40, 25));

    // A wider radius spreads further; a tiny one leaves the picture as it was.
    const QImage wider = gaussianBlurred(line, 16.0);
    EXPECT_LT(qAlpha(wider.pixel(40, row)), alpha(40));
    EXPECT_GT(qAlpha(wider.pixel(52, row)), alpha(52));
    EXPECT_EQ(gaussianBlurred(line, 0.1), line);

    // A wide blur, worked at a smaller scale, still has the bell's profile and keeps the ink.
    QImage wide(241, 200, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::transparent);
    for (int y = 0; y < wide.height(); ++y)
        for (int x = 110; x < 130; ++x)
            wide.setPixel(x, y, qRgba(255, 255, 255, 255));
    const QImage spread = gaussianBlurred(wide, 24.0); // σ = 12 around a band 20 wide
    const auto wideAlpha = [&](int x) { return qAlpha(spread.pixel(x, 100)); };
    // The band's profile: 255 × (Φ((x − 110) / σ) − Φ((x − 130) / σ)).
    const auto expected = [](int x) {
        const auto phi = [](double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); };
        return 255.0 * (phi((x + 0.5 - 110) / 12.0) - phi((x + 0.5 - 130) / 12.0));
    };
    for (int x : {120, 130, 140, 150, 160})
        EXPECT_NEAR(wideAlpha(x), expected(x), 4.0) << x;
    int wideInk = 0;
    for (int x = 0; x < spread.width(); ++x)
        wideInk += wideAlpha(x);
    EXPECT_NEAR(wideInk, 20 * 255, 20 * 255 * 0.03);
}
