#include "platform/fonts/FontService.h"

#include <QFontInfo>
#include <QtConcurrent/QtConcurrentMap>
#include <QtEndian>

#include <gtest/gtest.h>

using vmk::platform::Font;
using vmk::platform::FontService;
using vmk::platform::PathOrientation;

namespace {

TEST(FontService, FindsFacesByPostScriptOrFullNameIgnoringCase)
{
    for (const QString& name : {QStringLiteral("DejaVuSans"), QStringLiteral("DejaVu Sans"), QStringLiteral("dejavusans")}) {
        const Font f = FontService::fontNamed(name, 14);
        ASSERT_TRUE(f.isValid()) << name.toStdString();
        EXPECT_EQ(f.postScriptName(), "DejaVuSans");
        EXPECT_EQ(f.familyName(), "DejaVu Sans");
        EXPECT_TRUE(f.filePath().endsWith("DejaVuSans.ttf")) << f.filePath().toStdString();
        EXPECT_EQ(f.faceIndex(), 0);
        EXPECT_FALSE(f.isBold());
        EXPECT_FALSE(f.isItalic());
        EXPECT_DOUBLE_EQ(f.pointSize(), 14);
    }
    const Font bold = FontService::fontNamed("DejaVuSans-Bold");
    ASSERT_TRUE(bold.isValid());
    EXPECT_TRUE(bold.isBold());
    EXPECT_GE(bold.weight(), 700);
    EXPECT_TRUE(FontService::fontNamed("DejaVuSansMono").isFixedPitch());
    // The same face found twice is the same font.
    EXPECT_EQ(FontService::fontNamed("DejaVuSans"), FontService::fontNamed("DejaVu Sans"));
    EXPECT_FALSE(FontService::fontNamed("DejaVuSans") == FontService::fontNamed("DejaVuSans", 20));
}

TEST(FontService, ReportsUnknownNamesAsMissingInsteadOfSubstituting)
{
    EXPECT_FALSE(FontService::fontNamed("NoSuchFont-Regular").isValid());
    EXPECT_FALSE(FontService::fontNamed("").isValid());
    // A family name that fontconfig merely aliases to another face is not that face's name.
    EXPECT_FALSE(FontService::fontNamed("Helvetica").isValid());
    EXPECT_FALSE(FontService::fontForFamily("No Such Family", false, false).isValid());
    EXPECT_FALSE(FontService::fontForFamily("Times New Roman", true, false).isValid());
    // Only the substituting look-up accepts fontconfig's choice.
    const Font substitute = FontService::substituteForFamily("Times New Roman", true, false);
    ASSERT_TRUE(substitute.isValid());
    EXPECT_TRUE(substitute.isBold());
    EXPECT_TRUE(FontService::systemFont(11).isValid());
}

TEST(FontService, PicksTheFaceOfAFamilyByWeightAndSlant)
{
    struct Case {
        bool bold, italic;
        const char* postScript;
    };
    for (const Case& c : {Case{false, false, "LiberationSerif"}, Case{true, false, "LiberationSerif-Bold"},
                          Case{false, true, "LiberationSerif-Italic"}, Case{true, true, "LiberationSerif-BoldItalic"}}) {
        const Font f = FontService::fontForFamily("liberation serif", c.bold, c.italic, 10);
        ASSERT_TRUE(f.isValid());
        EXPECT_EQ(f.postScriptName(), c.postScript);
        EXPECT_EQ(f.familyName(), "Liberation Serif");
        EXPECT_EQ(f.isBold(), c.bold);
        EXPECT_EQ(f.isItalic(), c.italic);
    }
}

TEST(FontService, FindsTheHandwritingFontsInstalledBySetup)
{
    for (const char* name : {"DancingScript", "KaushanScript-Regular", "Kristi"}) {
        const Font f = FontService::fontNamed(name, 64);
        ASSERT_TRUE(f.isValid()) << name;
        EXPECT_EQ(f.postScriptName(), name);
    }
    for (const char* family : {"Dancing Script", "Kaushan Script", "Kristi"})
        EXPECT_TRUE(FontService::fontForFamily(family, false, false).isValid()) << family;
    EXPECT_TRUE(FontService::installedFamilies().contains("Dancing Script"));
}

TEST(Font, ReadsVerticalMetricsInUnitsAndPerEm)
{
    const Font f = FontService::fontNamed("DejaVuSans", 10);
    ASSERT_TRUE(f.isValid());
    EXPECT_EQ(f.unitsPerEm(), 2048);
    EXPECT_GT(f.ascenderUnits(), 1000);
    EXPECT_LT(f.descenderUnits(), -100);
    EXPECT_DOUBLE_EQ(f.ascenderPerEm(), f.ascenderUnits() / 2048.0);
    EXPECT_DOUBLE_EQ(f.descenderPerEm(), f.descenderUnits() / 2048.0);
    EXPECT_DOUBLE_EQ(f.ascender(), f.ascenderPerEm() * 10);
    EXPECT_DOUBLE_EQ(f.withPointSize(20).descender(), f.descenderPerEm() * 20);
    EXPECT_EQ(Font().unitsPerEm(), 0);
    EXPECT_EQ(Font().ascender(), 0);
}

TEST(Font, ListsAndCopiesItsSfntTables)
{
    const Font ttf = FontService::fontNamed("DejaVuSans");
    const QList<quint32> tags = ttf.tableTags();
    for (const char* tag : {"head", "cmap", "glyf", "loca", "hmtx"})
        EXPECT_TRUE(tags.contains(Font::tag(*reinterpret_cast<const char(*)[5]>(tag)))) << tag;
    const QByteArray head = ttf.tableData(Font::tag("head"));
    ASSERT_EQ(head.size(), 54);
    EXPECT_EQ(qFromBigEndian<quint32>(head.constData() + 12), 0x5F0F3CF5u); // the head table's magic number
    EXPECT_EQ(qFromBigEndian<quint16>(head.constData() + 18), 2048);       // units per em
    EXPECT_TRUE(ttf.tableData(Font::tag("ZZZZ")).isEmpty());
    EXPECT_TRUE(ttf.fileData().startsWith(QByteArray("\x00\x01\x00\x00", 4)));

    // A CFF-flavoured OpenType font has outlines in 'CFF ' instead of 'glyf'.
    const Font otf = FontService::fontNamed("DancingScript");
    ASSERT_TRUE(otf.isValid());
    EXPECT_TRUE(otf.tableTags().contains(Font::tag("CFF ")));
    EXPECT_FALSE(otf.tableTags().contains(Font::tag("glyf")));
    EXPECT_FALSE(otf.tableData(Font::tag("CFF ")).isEmpty());
    EXPECT_TRUE(Font().tableTags().isEmpty());
}

TEST(Font, SelectsTheSameFaceInQt)
{
    const Font bold = FontService::fontNamed("LiberationSerif-BoldItalic");
    const QFont q = bold.toQFont(20);
    const QFontInfo info(q);
    EXPECT_EQ(info.family(), "Liberation Serif");
    EXPECT_TRUE(info.bold());
    EXPECT_TRUE(info.italic());
    EXPECT_EQ(info.pixelSize(), 20);
    EXPECT_EQ(QFontInfo(FontService::fontNamed("Kristi").toQFont(30)).family(), "Kristi");
}

TEST(Font, LaysTextOutAsGlyphOutlines)
{
    const Font f = FontService::fontNamed("DejaVuSans", 64);
    const QPainterPath up = f.textPath("Hello");
    ASSERT_FALSE(up.isEmpty());
    const QRectF b = up.boundingRect();
    // y up: the l rises 1556/2048 em above the baseline at y = 0; nothing descends.
    EXPECT_NEAR(b.bottom(), 1556.0 / 2048 * 64, 0.1);
    EXPECT_NEAR(b.top(), 0.0, 1.5);
    EXPECT_GT(b.left(), 0.0);
    EXPECT_LT(b.right(), f.advanceWidth("Hello"));
    EXPECT_GT(b.right(), f.advanceWidth("Hello") - 10);

    const QRectF down = f.textPath("Hello", PathOrientation::YDown).boundingRect();
    EXPECT_NEAR(down.top(), -b.bottom(), 0.01);
    EXPECT_NEAR(down.width(), b.width(), 0.01);

    // Outlines scale linearly with the size: no hinting at small sizes.
    EXPECT_NEAR(f.withPointSize(8).textPath("Hello").boundingRect().width() * 8, b.width(), 0.05);

    EXPECT_TRUE(f.textPath("   ").isEmpty());
    EXPECT_TRUE(f.textPath("").isEmpty());
    EXPECT_TRUE(Font().textPath("Hello").isEmpty());
}

TEST(Font, DrawsCharactersTheFaceLacksInASubstitute)
{
    const Font kristi = FontService::fontNamed("Kristi", 64);
    ASSERT_TRUE(kristi.isValid());
    const qreal plain = kristi.textPath("Ab").boundingRect().width();
    const QPainterPath withArrow = kristi.textPath(QStringLiteral("Ab \u2192"));
    EXPECT_GT(withArrow.boundingRect().width(), plain + 20);
}

TEST(FontService, AnswersFromManyThreadsAlike)
{
    QList<int> jobs(64);
    std::iota(jobs.begin(), jobs.end(), 0);
    const QList<QString> names = QtConcurrent::blockingMapped(jobs, [](int i) {
        const Font f = i % 2 ? FontService::fontNamed("DejaVuSans-Bold") : FontService::fontForFamily("Liberation Serif", false, true);
        return f.postScriptName() + QString::number(f.tableTags().size());
    });
    for (int i = 2; i < names.size(); ++i)
        EXPECT_EQ(names[i], names[i % 2]);
}

} // namespace
