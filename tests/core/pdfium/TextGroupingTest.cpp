// Grouping runs into lines and paragraphs, on runs made up in the test (no PDFium).

#include "EditFixtures.h"

#include "core/pdfium/TextGrouping.h"

#include <gtest/gtest.h>

using namespace vmk::core;
using namespace vmk::core::textgrouping;
using vmk::editest::run;
using Alignment = EditableTextBlock::Alignment;

namespace {

QList<EditableTextBlock> group(const QList<EditRun>& runs, qreal pageWidth = 612)
{
    qint64 nextID = 1;
    QList<EditableTextBlock> blocks = groupIntoBlocks(runs, {}, {}, nextID);
    inferSingleLineAlignment(blocks, pageWidth);
    return blocks;
}

// Lines of a paragraph: each line one run at x, baselines stepping down from top.
QList<EditRun> paragraph(const QStringList& lines, qreal x, qreal top, qreal step = 14.4, qreal size = 12)
{
    QList<EditRun> runs;
    for (int i = 0; i < lines.size(); ++i)
        runs.append(run(lines[i], x, top - step * i, size));
    return runs;
}

} // namespace

TEST(TextGroupingTest, WordGapsBecomeSpacesOnlyWhenWiderThanAThinSpace)
{
    // 12 pt words: a 3 pt gap is a space (3 > 0.18 x 12), a 2 pt gap is not.
    auto blocks = group({run("Hello", 72, 700, 12, 30), run("world", 105, 700, 12, 30)});
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].text, QStringLiteral("Hello world"));
    blocks = group({run("Hello", 72, 700, 12, 30), run("world", 104, 700, 12, 30)});
    EXPECT_EQ(blocks[0].text, QStringLiteral("Helloworld"));
    // A run ending in a space takes no second one; runs are read left to right whatever the content order.
    blocks = group({run("there", 105, 700, 12, 30), run("Hello ", 72, 700, 12, 30)});
    EXPECT_EQ(blocks[0].text, QStringLiteral("Hello there"));
    EXPECT_EQ(blocks[0].lineCount, 1);
}

TEST(TextGroupingTest, RunsJoinALineByBaselineAndSize)
{
    // 4 pt above a 12 pt line joins it (4 <= 0.35 x 12); 5 pt above does not; 8 pt type never joins 12 pt.
    auto blocks = group({run("base", 72, 700, 12, 24), run("up", 97, 704, 12, 12)});
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].lineCount, 1);
    blocks = group({run("base", 72, 700, 12, 24), run("up", 97, 705, 12, 12)});
    EXPECT_EQ(blocks.size(), 2);
    blocks = group({run("base", 72, 700, 12, 24), run("small", 97, 700, 8, 12)});
    EXPECT_EQ(blocks.size(), 2);
}

TEST(TextGroupingTest, ParagraphLinesFollowASteadyLineStep)
{
    // 14.4 pt step at 12 pt joins; a third line 30 pt further down starts a new block.
    QList<EditRun> runs = paragraph({"The first line of text", "and the second line"}, 72, 700);
    runs.append(run("A later line", 72, 700 - 14.4 - 30));
    const auto blocks = group(runs);
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks[0].lineCount, 2);
    EXPECT_NEAR(blocks[0].lineHeight, 14.4, 1e-9);
    EXPECT_EQ(blocks[0].firstBaseline, 700);
    EXPECT_EQ(blocks[1].lineCount, 1);
    EXPECT_NEAR(blocks[1].lineHeight, 14.4, 1e-9); // one line: 1.2 x size
    EXPECT_EQ(blocks[0].id, 1);
    EXPECT_EQ(blocks[1].id, 2);
}

TEST(TextGroupingTest, HeadingsAndColumnsStayApart)
{
    // An 18 pt heading above 12 pt body text.
    QList<EditRun> runs{run("Heading", 72, 720, 18)};
    runs.append(paragraph({"Body text line one", "Body text line two"}, 72, 700));
    auto blocks = group(runs);
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks[0].text, QStringLiteral("Heading"));

    // Two columns whose lines interleave in baseline order still make one block each.
    QList<EditRun> columns = paragraph({"Left one", "Left two", "Left three"}, 72, 700);
    columns.append(paragraph({"Right one", "Right two", "Right three"}, 320, 701));
    blocks = group(columns);
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks[0].lineCount, 3);
    EXPECT_EQ(blocks[1].lineCount, 3);
    EXPECT_TRUE(blocks[0].text.startsWith(QStringLiteral("Right")) || blocks[1].text.startsWith(QStringLiteral("Right")));
    for (const auto& b : blocks)
        EXPECT_FALSE(b.text.contains(QStringLiteral("Left")) && b.text.contains(QStringLiteral("Right")));
}

TEST(TextGroupingTest, FullWidthLinesFlowOnAndShortLinesBreak)
{
    auto blocks = group(paragraph({"a full width line of text here", "continues here"}, 72, 700));
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].text, QStringLiteral("a full width line of text here continues here"));
    blocks = group(paragraph({"milk", "tea", "eggs and flour"}, 72, 700));
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].text, QStringLiteral("milk\ntea\neggs and flour"));
}

TEST(TextGroupingTest, MultiLineAlignmentFromEdgeSpreads)
{
    EXPECT_EQ(group(paragraph({"one line", "another line", "third"}, 72, 700))[0].alignment, Alignment::left);
    // Centred lines: centres agree, left edges do not.
    QList<EditRun> centred{run("short", 300, 700, 12, 40), run("a longer one", 280, 685.6, 12, 80),
                           run("mid", 290, 671.2, 12, 60)};
    EXPECT_EQ(group(centred)[0].alignment, Alignment::center);
    QList<EditRun> right{run("short", 300, 700, 12, 40), run("a longer one", 292, 685.6, 12, 48),
                         run("mid", 296, 671.2, 12, 44)};
    EXPECT_EQ(group(right)[0].alignment, Alignment::right);
}

TEST(TextGroupingTest, OneLineBlocksSettleAgainstTheirNeighbours)
{
    // A caption centred on the page with no neighbour sharing an edge.
    auto blocks = group({run("Caption", 276, 400, 12, 60), run("Far away text", 72, 100, 12, 80)});
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks[0].alignment, Alignment::center);
    EXPECT_EQ(blocks[1].alignment, Alignment::left);
    // Sharing only the right edge of another block makes it right-aligned.
    blocks = group({run("Caption", 276, 400, 12, 60), run("Total line", 236, 100, 12, 100)});
    EXPECT_EQ(blocks[0].alignment, Alignment::right);
    EXPECT_EQ(blocks[1].alignment, Alignment::right);
}

TEST(TextGroupingTest, OneRefusedRunRefusesTheBlockAndEmptyLinesGo)
{
    EditRun refused = run("bad", 110, 700, 12, 20);
    refused.problem = EditRefusal::font();
    auto blocks = group({run("good", 72, 700, 12, 30), refused});
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_FALSE(blocks[0].isEditable);
    EXPECT_EQ(blocks[0].reason, EditRefusal::font());
    EXPECT_EQ(blocks[0].objects.size(), 2);

    // Whitespace with no width disappears; whitespace with a visible width stays as an empty block.
    EXPECT_TRUE(group({run(" ", 72, 500, 12, 0), run(" ", 80, 500, 12, 0)}).isEmpty());
    blocks = group({run(" ", 72, 500, 12, 5)});
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].text, QString());
}

TEST(TextGroupingTest, BlockFontComesFromTheDominantNameOfItsFirstLine)
{
    EXPECT_EQ(dominantFontName({run("ab", 0, 0, 12, -1, "A"), run("cdef", 0, 0, 12, -1, "B"),
                                run("gh", 0, 0, 12, -1, "A"), run("i", 0, 0, 12, -1, "A")}),
              QStringLiteral("A"));
    EXPECT_EQ(dominantFontName({}), QString());

    EditRun bold = run("Bold", 72, 700, 12, 30, "Sans-Bold");
    bold.color = Qt::red;
    EditRun body = run("and regular body text", 105, 700, 12, 120, "Sans");
    body.color = Qt::blue;
    const auto blocks = group({bold, body});
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].baseFontName, QStringLiteral("Sans"));
    EXPECT_EQ(blocks[0].color, QColor(Qt::blue));
    EXPECT_EQ(blocks[0].fontWeight, 400); // no PDFium font: regular
}

TEST(TextGroupingTest, ALineEndHyphenJoinsTheWordAndAHardBreakKeepsItsLine)
{
    // PDFium's mark for a hyphen at a line's end (U+0002) becomes a hyphen: joined without a space when
    // the line flows on, kept before a line the author broke, and never left in the text.
    const QString mark(QChar(0x0002));
    auto blocks = group(paragraph({"A paragraph long enough to be a full com" + mark, "pile of words on two lines"}, 72, 700));
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].text, QStringLiteral("A paragraph long enough to be a full com-pile of words on two lines"));
    blocks = group(paragraph({"A paragraph long enough to be a full line", "ends short" + mark, "Next"}, 72, 700));
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].text, QStringLiteral("A paragraph long enough to be a full line ends short-\nNext"));
}

TEST(TextGroupingTest, RetypedTextStartsAtTheFirstGlyphsOriginNotItsInk)
{
    // Ink starts at the glyph's side bearing, right of its origin; an origin far from the ink is not trusted.
    const std::pair<qreal, std::optional<qreal>> cases[] = {{67, 67}, {30, std::nullopt}};
    for (const auto& [origin, expected] : cases) {
        EditRun r = run("Page", origin, 700);
        r.bounds.moveLeft(72);
        const auto blocks = group({r});
        ASSERT_EQ(blocks.size(), 1);
        EXPECT_EQ(blocks[0].textLeft, expected) << origin;
    }
}
