#include "editor/ReadingPositions.h"
#include "platform/services/UserDefaults.h"

#include <QTemporaryDir>
#include <QVariantMap>

#include <gtest/gtest.h>

using namespace vmk;

namespace {

struct Store {
    QTemporaryDir dir;
    platform::UserDefaults defaults{dir.filePath(QStringLiteral("defaults.ini"))};
};

} // namespace

TEST(ReadingPositions, SavesAndLoadsByPathButNeverWithoutOne)
{
    Store store;
    ReadingPositions::save(store.defaults, QStringLiteral("/docs/a.pdf"), 7);
    ReadingPositions::save(store.defaults, QString(), 3);
    EXPECT_EQ(ReadingPositions::load(store.defaults, QStringLiteral("/docs/a.pdf")), 7);
    EXPECT_FALSE(ReadingPositions::load(store.defaults, QStringLiteral("/docs/b.pdf")).has_value());
    EXPECT_FALSE(ReadingPositions::load(store.defaults, QString()).has_value());
    EXPECT_EQ(store.defaults.dictionary(QStringLiteral("ReadingPositions")).size(), 1);
}

TEST(ReadingPositions, WrongTypesReadAsEmptyAndAreReplacedOnSave)
{
    EXPECT_FALSE(ReadingPositions::decode(QVariant(QStringLiteral("nope"))).has_value());
    EXPECT_FALSE(ReadingPositions::decode(QVariantMap{{"/a", 1}, {"/b", QStringLiteral("2")}}).has_value());
    EXPECT_FALSE(ReadingPositions::decode(QVariantMap{{"/a", 1.5}}).has_value());
    EXPECT_EQ(ReadingPositions::decode(QVariantMap{{"/a", 1}})->value("/a"), 1);

    Store store;
    store.defaults.set(QStringLiteral("ReadingPositions"), QVariantMap{{"/a.pdf", 4}, {"/b.pdf", true}});
    EXPECT_FALSE(ReadingPositions::load(store.defaults, QStringLiteral("/a.pdf")).has_value());
    ReadingPositions::save(store.defaults, QStringLiteral("/c.pdf"), 2);
    const QVariantMap stored = store.defaults.dictionary(QStringLiteral("ReadingPositions"));
    EXPECT_EQ(stored, (QVariantMap{{"/c.pdf", 2}}));
}

TEST(ReadingPositions, MoreThanFiveHundredEntriesAreCutBackKeepingTheCurrentPath)
{
    ReadingPositions::Positions positions;
    for (int i = 0; i < 500; ++i)
        positions.insert(QStringLiteral("/p%1").arg(i, 3, 10, QLatin1Char('0')), i);
    // A new path sorting last: the first 101 keys go, the new one stays.
    ReadingPositions::insertTrimmed(positions, QStringLiteral("/zzz.pdf"), 9);
    EXPECT_EQ(positions.size(), 400);
    EXPECT_EQ(positions.value(QStringLiteral("/zzz.pdf")), 9);
    EXPECT_FALSE(positions.contains(QStringLiteral("/p100")));
    EXPECT_TRUE(positions.contains(QStringLiteral("/p101")));

    // A new path sorting first is among the keys taken but survives, leaving 401.
    ReadingPositions::Positions again;
    for (int i = 0; i < 500; ++i)
        again.insert(QStringLiteral("/p%1").arg(i, 3, 10, QLatin1Char('0')), i);
    ReadingPositions::insertTrimmed(again, QStringLiteral("/a.pdf"), 1);
    EXPECT_EQ(again.size(), 401);
    EXPECT_TRUE(again.contains(QStringLiteral("/a.pdf")));

    // Exactly 500 is left alone.
    ReadingPositions::Positions full;
    for (int i = 0; i < 499; ++i)
        full.insert(QString::number(i), i);
    ReadingPositions::insertTrimmed(full, QStringLiteral("x"), 0);
    EXPECT_EQ(full.size(), 500);
}
