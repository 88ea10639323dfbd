// Matching installed fonts to PDF fonts, and rebuilding font files for embedding.

#include "core/pdfium/FontMatching.h"

#include "platform/fonts/FontService.h"

#include <QtEndian>

#include <gtest/gtest.h>

using namespace vmk::core::fontmatching;
using vmk::platform::Font;
using vmk::platform::FontService;

namespace {

// Records every look-up; answers only the names and families listed.
struct RecordingLookup {
    QStringList attempts;
    QStringList knownNames, knownFamilies;
    Font answer = FontService::fontNamed(QStringLiteral("DejaVuSans"));
    Font systemAnswer = FontService::fontNamed(QStringLiteral("DejaVuSerif"));

    FontLookup lookup()
    {
        FontLookup l;
        l.named = [this](const QString& name, qreal) {
            attempts << QStringLiteral("name:") + name;
            return knownNames.contains(name) ? answer : Font();
        };
        l.family = [this](const QString& family, bool bold, bool italic, qreal) {
            attempts << QStringLiteral("family:%1%2%3").arg(family, bold ? "+b" : "", italic ? "+i" : "");
            return knownFamilies.contains(family) ? answer : Font();
        };
        l.substitute = [this](const QString& family, bool, bool, qreal) {
            attempts << QStringLiteral("substitute:") + family;
            return Font();
        };
        l.system = [this](qreal) {
            attempts << QStringLiteral("system");
            return systemAnswer;
        };
        return l;
    }
};

} // namespace

TEST(FontMatchingTest, NamesAreTurnedIntoFamiliesStepByStep)
{
    EXPECT_EQ(platformName(QStringLiteral("ABCDEF+Arial,BoldItalic")), QStringLiteral("Arial-BoldItalic"));
    EXPECT_EQ(familyPart(QStringLiteral("ArialMT")), QStringLiteral("Arial"));
    EXPECT_EQ(familyPart(QStringLiteral("TimesNewRomanPSMT-Bold")), QStringLiteral("TimesNewRoman"));
    EXPECT_EQ(spacedFamily(QStringLiteral("TimesNewRoman")), QStringLiteral("Times New Roman"));
    EXPECT_EQ(fallbackFamily(QStringLiteral("CourierNewPSMT"), 0), QStringLiteral("Menlo"));
    EXPECT_EQ(fallbackFamily(QStringLiteral("Foo123"), 1), QStringLiteral("Menlo"));
    EXPECT_EQ(fallbackFamily(QStringLiteral("Georgia-Italic"), 0), QStringLiteral("Times New Roman"));
    EXPECT_EQ(fallbackFamily(QStringLiteral("Foo123"), 2), QStringLiteral("Times New Roman"));
    EXPECT_EQ(fallbackFamily(QStringLiteral("Foo123"), 0), QStringLiteral("Helvetica"));
}

TEST(FontMatchingTest, LookUpsRunInOrderUntilOneAnswers)
{
    RecordingLookup exact;
    exact.knownNames << QStringLiteral("Arial-BoldItalic");
    exact.answer = Font(); // the name is known, but no real face carries it: the match is refused
    matchSystemFont(QStringLiteral("ABCDEF+Arial,BoldItalic"), 12, true, true, 0, exact.lookup());
    EXPECT_EQ(exact.attempts.value(0), QStringLiteral("name:Arial-BoldItalic"));
    EXPECT_EQ(exact.attempts.value(1), QStringLiteral("family:Arial+b+i"));

    RecordingLookup courier;
    const Font f = matchSystemFont(QStringLiteral("CourierNewPSMT"), 10, false, false, 0, courier.lookup());
    EXPECT_EQ(courier.attempts,
              (QStringList{"name:CourierNewPSMT", "family:CourierNew", "family:Courier New", "family:Menlo",
                           "name:Menlo", "substitute:Courier New", "system"}));
    EXPECT_EQ(f.postScriptName(), courier.systemAnswer.postScriptName());

    RecordingLookup arial;
    arial.knownFamilies << QStringLiteral("Arial");
    const Font a = matchSystemFont(QStringLiteral("ArialMT"), 10, false, false, 0, arial.lookup());
    EXPECT_EQ(arial.attempts, (QStringList{"name:ArialMT", "family:Arial"}));
    EXPECT_EQ(a.postScriptName(), QStringLiteral("DejaVuSans"));
}

TEST(FontMatchingTest, InstalledFontsAnswerByNameFamilyOrStandIn)
{
    EXPECT_EQ(matchSystemFont(QStringLiteral("ABCDEF+DejaVuSans-Bold"), 12, true, false, 0).postScriptName(),
              QStringLiteral("DejaVuSans-Bold"));
    const Font spaced = matchSystemFont(QStringLiteral("DejaVuSerif"), 12, false, false, 0);
    EXPECT_EQ(spaced.familyName(), QStringLiteral("DejaVu Serif"));
    const Font fallback = matchSystemFont(QStringLiteral("Foo123"), 9, false, false, 0);
    ASSERT_TRUE(fallback.isValid());
    EXPECT_EQ(fallback.pointSize(), 9);
    EXPECT_TRUE(matchSystemFont(QString(), 12, false, false, 0).isValid());
}

TEST(FontMatchingTest, FontFileHeaderAndTableDirectory)
{
    QList<std::pair<quint32, QByteArray>> tables;
    const char* tags[] = {"post", "name", "maxp", "loca", "hmtx", "hhea", "head", "glyf", "cmap"};
    for (int i = 0; i < 9; ++i)
        tables.append({qFromBigEndian<quint32>(tags[i]), QByteArray(i + 1, char(i + 1))});
    const std::optional<QByteArray> file = makeFontFile(tables);
    ASSERT_TRUE(file.has_value());
    const char* d = file->constData();
    EXPECT_EQ(qFromBigEndian<quint32>(d), 0x00010000u);
    EXPECT_EQ(qFromBigEndian<quint16>(d + 4), 9);
    EXPECT_EQ(qFromBigEndian<quint16>(d + 6), 128);
    EXPECT_EQ(qFromBigEndian<quint16>(d + 8), 3);
    EXPECT_EQ(qFromBigEndian<quint16>(d + 10), 16);
    // Records in tag order, data padded to 4 bytes, the first table right after the directory.
    EXPECT_EQ(qFromBigEndian<quint32>(d + 12), Font::tag("cmap"));
    EXPECT_EQ(qFromBigEndian<quint32>(d + 12 + 8), 12u + 16 * 9);
    EXPECT_EQ(qFromBigEndian<quint32>(d + 12 + 12), 9u); // unpadded length
    EXPECT_EQ(qFromBigEndian<quint32>(d + 12 + 4), 2 * 0x09090909u + 0x09000000u); // sum of the padded words
    EXPECT_EQ(qFromBigEndian<quint32>(d + 28 + 8), 12u + 16 * 9 + 12);
    EXPECT_EQ(file->size(), 12 + 16 * 9 + (12 + 8 + 8 + 8 + 8 + 4 + 4 + 4 + 4));

    // CFF outlines make an OpenType file; no outlines at all make none.
    auto cff = makeFontFile({{Font::tag("CFF "), QByteArray(4, 'x')}, {Font::tag("head"), QByteArray(4, 'h')}});
    ASSERT_TRUE(cff.has_value());
    EXPECT_EQ(qFromBigEndian<quint32>(cff->constData()), 0x4F54544Fu);
    EXPECT_FALSE(makeFontFile({{Font::tag("EBDT"), QByteArray(4, 'x')}}).has_value());
    EXPECT_FALSE(makeFontFile(Font()).has_value());
}

TEST(FontMatchingTest, RebuiltInstalledFontKeepsEveryTable)
{
    const Font font = FontService::fontNamed(QStringLiteral("DejaVuSans"));
    ASSERT_TRUE(font.isValid());
    const std::optional<QByteArray> file = makeFontFile(font);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(qFromBigEndian<quint16>(file->constData() + 4), font.tableTags().size());
    const quint32 glyfOffset = [&] {
        for (int i = 0; i < font.tableTags().size(); ++i)
            if (qFromBigEndian<quint32>(file->constData() + 12 + 16 * i) == Font::tag("glyf"))
                return qFromBigEndian<quint32>(file->constData() + 12 + 16 * i + 8);
        return 0u;
    }();
    ASSERT_GT(glyfOffset, 0u);
    EXPECT_EQ(file->mid(glyfOffset, 64), font.tableData(Font::tag("glyf")).left(64));
}

TEST(FontMatchingTest, EmbeddedCopyCarriesATaggedPostScriptName)
{
    const Font font = FontService::fontNamed(QStringLiteral("DejaVuSans"));
    ASSERT_TRUE(font.isValid());
    const QString tagged = taggedName(font.postScriptName());
    ASSERT_EQ(tagged.size(), 7 + font.postScriptName().size());
    EXPECT_EQ(tagged.mid(6, 1), QStringLiteral("+"));
    const std::optional<QByteArray> name = renamedNameTable(font.tableData(Font::tag("name")), tagged);
    ASSERT_TRUE(name.has_value());
    // Every PostScript name record now reads the tagged name, in its platform's encoding.
    const char* d = name->constData();
    const quint16 count = qFromBigEndian<quint16>(d + 2), storage = qFromBigEndian<quint16>(d + 4);
    int renamed = 0;
    for (int i = 0; i < count; ++i) {
        const char* r = d + 6 + 12 * i;
        if (qFromBigEndian<quint16>(r + 6) != 6)
            continue;
        const QByteArray bytes = name->mid(storage + qFromBigEndian<quint16>(r + 10), qFromBigEndian<quint16>(r + 8));
        const quint16 platform = qFromBigEndian<quint16>(r);
        const QString text = platform == 1 ? QString::fromLatin1(bytes)
                                           : QString::fromUtf16(reinterpret_cast<const char16_t*>(
                                                 QByteArray(bytes).data()), bytes.size() / 2);
        if (platform == 1)
            EXPECT_EQ(text, tagged);
        else
            EXPECT_EQ(text.size(), tagged.size()); // UTF-16 big-endian
        ++renamed;
    }
    EXPECT_GT(renamed, 0);
    EXPECT_FALSE(renamedNameTable(QByteArray("ab"), tagged).has_value());
}
