// The string, geometry and picture rules of the edit engine.

#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/ImageFit.h"

#include <gtest/gtest.h>

using namespace vmk::core;
using namespace vmk::core::editrules;

TEST(EditRulesTest, SubsetTagsAreStrippedOnlyWhenWellFormed)
{
    EXPECT_EQ(stripSubsetPrefix(QStringLiteral("ABCDEF+Helvetica")), QStringLiteral("Helvetica"));
    EXPECT_EQ(stripSubsetPrefix(QStringLiteral("ABCDEF+Arial,Bold")), QStringLiteral("Arial,Bold"));
    EXPECT_EQ(stripSubsetPrefix(QStringLiteral("abcdef+Arial")), QStringLiteral("abcdef+Arial"));
    EXPECT_EQ(stripSubsetPrefix(QStringLiteral("ABCDE+Arial")), QStringLiteral("ABCDE+Arial"));
    EXPECT_EQ(stripSubsetPrefix(QStringLiteral("ABCDEF+")), QStringLiteral("ABCDEF+")); // too short to strip
}

TEST(EditRulesTest, RightToLeftScriptsAreDetected)
{
    EXPECT_TRUE(containsRightToLeft(QStringLiteral("\u05E9\u05DC\u05D5\u05DD")));   // Hebrew
    EXPECT_TRUE(containsRightToLeft(QStringLiteral("Total \u0628 due")));          // one Arabic letter
    EXPECT_TRUE(containsRightToLeft(QStringLiteral("\uFEFC")));                    // presentation form
    EXPECT_FALSE(containsRightToLeft(QString()));
    EXPECT_FALSE(containsRightToLeft(QStringLiteral("Caf\u00E9 \u03A9 \u20AC")));
}

TEST(EditRulesTest, UprightTextAllowsOnlySmallSkews)
{
    auto m = [](float a, float b, float c, float d) { return FS_MATRIX{a, b, c, d, 100, 200}; };
    EXPECT_TRUE(isUpright(m(1, 0, 0, 1)));
    EXPECT_TRUE(isUpright(m(1, 0.01f, 0, 1)));
    EXPECT_FALSE(isUpright(m(1, 0.011f, 0, 1)));
    EXPECT_TRUE(isUpright(m(0.005f, 0.0001f, 0, 1)));
    EXPECT_FALSE(isUpright(m(0.005f, 0.0002f, 0, 1)));
    EXPECT_FALSE(isUpright(m(-1, 0, 0, 1))); // mirrored
    EXPECT_FALSE(isUpright(m(0, 1, -1, 0))); // rotated a quarter turn
    EXPECT_FALSE(isUpright(m(1, 0, 0, -1))); // upside down
}

TEST(EditRulesTest, Windows1252CoversLatinAndItsPunctuationButNotGreek)
{
    EXPECT_TRUE(fitsWindows1252(QStringLiteral("Price: 5 \u20AC \u2014 \u201Cna\u00EFve\u201D")));
    EXPECT_FALSE(fitsWindows1252(QStringLiteral("\u03A9")));
    EXPECT_FALSE(fitsWindows1252(QStringLiteral("\u0081"))); // a C1 control has no code
}

TEST(EditRulesTest, WhitespaceTrimmingKeepsNewlinesApart)
{
    EXPECT_EQ(trimmedWhitespace(QStringLiteral(" \t a b\u00A0")), QStringLiteral("a b"));
    EXPECT_EQ(trimmedWhitespace(QStringLiteral("\nab\n")), QStringLiteral("\nab\n"));
    EXPECT_EQ(trimmedWhitespaceAndNewlines(QStringLiteral("\n ab \r\n")), QStringLiteral("ab"));
    EXPECT_EQ(removingWhitespace(QStringLiteral("a b\nc\u2028d")), QStringLiteral("abcd"));
}

TEST(EditRulesTest, ScannedPagesAreMostlyOnePictureWithoutEditableText)
{
    const float w = 612, h = 792, area = w * h;
    EXPECT_FALSE(looksScanned(false, w, h, 0));
    EXPECT_TRUE(looksScanned(false, w, h, 0.61f * area));
    EXPECT_FALSE(looksScanned(false, w, h, 0.6f * area));
    EXPECT_FALSE(looksScanned(true, w, h, area));
    EXPECT_FALSE(looksScanned(false, 0, 0, 10));
}

TEST(EditRulesTest, BoldAndItalicComeFromWeightFlagsAndName)
{
    EXPECT_TRUE(wantsBold(QStringLiteral("Foo"), 700));
    EXPECT_TRUE(wantsBold(QStringLiteral("Arial-SemiBold"), 400));
    EXPECT_TRUE(wantsBold(QStringLiteral("Helvetica-Black"), 0));
    EXPECT_FALSE(wantsBold(QStringLiteral("Helvetica"), 599));
    EXPECT_TRUE(wantsItalic(QStringLiteral("Foo"), 64));
    EXPECT_TRUE(wantsItalic(QStringLiteral("Helvetica-Oblique"), 0));
    EXPECT_FALSE(wantsItalic(QStringLiteral("Helvetica"), 32));
}

TEST(ImageFitTest, FrameTransformMapsOldBoundsOntoTheNewFrame)
{
    const QRectF picture(72, 600, 100, 50);
    EXPECT_EQ(imagefit::frameTransform(picture, QRectF(100, 500, 100, 50)), (ImageTransform{1, 0, 0, 1, 28, -100}));
    EXPECT_EQ(imagefit::frameTransform(picture, QRectF(72, 600, 200, 50)), (ImageTransform{2, 0, 0, 1, -72, 0}));
    EXPECT_FALSE(imagefit::frameTransform(QRectF(72, 600, 0, 50), QRectF(0, 0, 10, 10)).has_value());
}

TEST(ImageFitTest, ReplacementPicturesAreFittedAndCentred)
{
    const QRectF box(72, 600, 200, 100);
    EXPECT_EQ(imagefit::fitPicture(QSize(300, 300), box), QRectF(122, 600, 100, 100));
    EXPECT_EQ(imagefit::fitPicture(QSize(400, 100), box), QRectF(72, 625, 200, 50));
    EXPECT_EQ(imagefit::fitPicture(QSize(200, 100), box), box);
}
