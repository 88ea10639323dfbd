// Laying retyped text out in a block's place.

#include "core/pdfium/TextLayout.h"

#include "platform/fonts/FontService.h"

#include <gtest/gtest.h>

using namespace vmk::core;
using namespace vmk::core::textlayout;
using Alignment = EditableTextBlock::Alignment;

namespace {

EditableTextBlock block(QRectF bounds, int lineCount, Alignment alignment = Alignment::left)
{
    EditableTextBlock b;
    b.bounds = bounds;
    b.lineCount = lineCount;
    b.alignment = alignment;
    b.fontSize = 12;
    b.lineHeight = 14.4;
    b.firstBaseline = bounds.bottom() - 10; // bottom() is maxY: the top of the block
    return b;
}

vmk::platform::Font sans() { return vmk::platform::FontService::fontNamed(QStringLiteral("DejaVuSans"), 12); }

} // namespace

TEST(TextLayoutTest, OneLineBlocksMayGrowToThePageMargin)
{
    const qreal rightLimit = 612 - 18;
    EXPECT_EQ(frameWidth(block({72, 700, 100, 14}, 1), 0, rightLimit), 522);
    EXPECT_EQ(frameWidth(block({256, 700, 100, 14}, 1, Alignment::center), 0, rightLimit), 576);
    EXPECT_EQ(frameWidth(block({400, 700, 100, 14}, 1, Alignment::right), 0, rightLimit), 482);
    EXPECT_EQ(frameWidth(block({560, 700, 100, 14}, 1), 0, rightLimit), 100); // never narrower than the block
    // Paragraphs keep their width, widened by at most 2% and a point.
    EXPECT_EQ(frameWidth(block({72, 600, 200, 40}, 3), 150, rightLimit), 201);
    EXPECT_EQ(frameWidth(block({72, 600, 200, 40}, 3), 202, rightLimit), 203);
    EXPECT_EQ(frameWidth(block({72, 600, 200, 40}, 3), 900, rightLimit), 205);
}

TEST(TextLayoutTest, ParagraphsWrapWithinTheFrameOnTheBlocksLineSpacing)
{
    const vmk::platform::Font font = sans();
    ASSERT_TRUE(font.isValid());
    const EditableTextBlock b = block({72, 600, 150, 43.2}, 3);
    const QString text = QStringLiteral("The quick brown fox jumps over the lazy dog and keeps running far away");
    const Layout layout = layOutText(text, font, b, 594);
    ASSERT_GE(layout.lines.size(), 3);
    const qreal frame = frameWidth(b, font.advanceWidth(text), 594);
    QStringList words;
    for (int i = 0; i < layout.lines.size(); ++i) {
        const LaidOutLine& line = layout.lines[i];
        EXPECT_LE(line.width, frame + 0.01);
        EXPECT_EQ(line.origin.x(), 72);
        EXPECT_NEAR(line.origin.y(), b.firstBaseline - 14.4 * i, 1e-9);
        EXPECT_FALSE(line.text.endsWith(QLatin1Char(' ')));
        EXPECT_NEAR(line.width, font.advanceWidth(line.text), 0.5);
        words << line.text;
    }
    EXPECT_EQ(words.join(QLatin1Char(' ')), text);
    const LaidOutLine& last = layout.lines.last();
    EXPECT_NEAR(layout.bounds.top(), last.origin.y() + font.descender(), 1e-6); // top() is minY
    EXPECT_NEAR(layout.bounds.bottom(), b.firstBaseline + font.ascender(), 1e-6);
}

TEST(TextLayoutTest, NewlinesKeepTheirLinesButMakeNoEmptyObjects)
{
    const vmk::platform::Font font = sans();
    const EditableTextBlock b = block({72, 600, 200, 14}, 1);
    Layout layout = layOutText(QStringLiteral("one\n\nthree"), font, b, 594);
    ASSERT_EQ(layout.lines.size(), 2);
    EXPECT_EQ(layout.lines[1].text, QStringLiteral("three"));
    EXPECT_NEAR(layout.lines[1].origin.y(), b.firstBaseline - 2 * 14.4, 1e-9);

    layout = layOutText(QStringLiteral("\nsecond"), font, b, 594);
    ASSERT_EQ(layout.lines.size(), 1);
    EXPECT_NEAR(layout.lines[0].origin.y(), b.firstBaseline - 14.4, 1e-9);

    layout = layOutText(QStringLiteral("ends here\n"), font, b, 594);
    ASSERT_EQ(layout.lines.size(), 1);
    EXPECT_EQ(layout.lines[0].text, QStringLiteral("ends here"));
    EXPECT_NEAR(layout.bounds.height(), font.ascender() - font.descender(), 1e-6);
}

TEST(TextLayoutTest, CentredAndRightAlignedLinesSitOnTheirEdge)
{
    const vmk::platform::Font font = sans();
    const QString word = QStringLiteral("Caption");
    const qreal width = font.advanceWidth(word);
    Layout layout = layOutText(word, font, block({256, 600, 100, 14}, 1, Alignment::center), 594);
    ASSERT_EQ(layout.lines.size(), 1);
    EXPECT_NEAR(layout.lines[0].origin.x(), 306 - width / 2, 0.5);
    layout = layOutText(word + QStringLiteral("   "), font, block({400, 600, 100, 14}, 1, Alignment::right), 594);
    ASSERT_EQ(layout.lines.size(), 1);
    EXPECT_NEAR(layout.lines[0].origin.x(), 500 - width, 0.5); // trailing spaces take no room
    EXPECT_TRUE(layOutText(QStringLiteral("x"), vmk::platform::Font(), block({0, 0, 1, 1}, 1), 594).lines.isEmpty());
    // A left-aligned line starts at the old text's origin, left of its ink.
    EditableTextBlock left = block({72, 600, 100, 14}, 1);
    left.textLeft = 66;
    EXPECT_EQ(layOutText(word, font, left, 594).lines.value(0).origin.x(), 66);
}

TEST(TextLayoutTest, AOneLineStandInIsNarrowedToTheOldLinesWidthWithinALimit)
{
    const vmk::platform::Font font = sans();
    ASSERT_TRUE(font.isValid());
    const QString old = QStringLiteral("Page two");
    const qreal inStandIn = font.advanceWidth(old);
    struct Case {
        qreal blockWidth;
        int lineCount;
        Alignment alignment;
        qreal condensed;
    };
    for (const Case& c : {Case{0.9 * inStandIn, 1, Alignment::left, 0.9}, Case{0.9 * inStandIn, 1, Alignment::right, 0.9},
                          Case{0.5 * inStandIn, 1, Alignment::left, kMostCondensed},
                          Case{1.2 * inStandIn, 1, Alignment::left, 1}, Case{0.9 * inStandIn, 2, Alignment::left, 1}}) {
        SCOPED_TRACE(c.blockWidth / inStandIn);
        EditableTextBlock b = block({100, 700, c.blockWidth, 14}, c.lineCount, c.alignment);
        b.text = old;
        const qreal condensed = condensing(b, QStringLiteral("Pgae two"), font);
        EXPECT_NEAR(condensed, c.condensed, 1e-9);
        if (condensed * inStandIn > c.blockWidth + 0.01)
            continue; // narrowed no further: the line grows or wraps as it would unnarrowed
        // A word of the same letters keeps to the old line's width, on the edge the block's alignment keeps.
        const Layout layout = layOutCondensed(QStringLiteral("Pgae two"), font, b, 594, condensed);
        ASSERT_EQ(layout.lines.size(), 1);
        const LaidOutLine& line = layout.lines.first();
        EXPECT_NEAR(line.width, inStandIn * condensed, 0.02 * inStandIn); // kerning aside
        if (c.alignment == Alignment::right)
            EXPECT_NEAR(line.origin.x() + line.width, b.bounds.right(), 0.01);
        else
            EXPECT_NEAR(line.origin.x(), 100, 0.01);
    }
}
