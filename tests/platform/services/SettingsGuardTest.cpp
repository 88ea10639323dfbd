#include "platform/services/SettingsGuard.h"
#include "platform/services/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace guard = vmk::platform::settingsguard;
using vmk::platform::UserDefaults;

namespace {
// Lists nested `depth` deep around the integer 1, as QSettings escapes a serialized QVariant: version 4.0
// streams ("@Variant(") carry no null flag, version 5.6 streams ("@DateTime(") one byte after each type.
QByteArray nestedLists(int depth, bool modern = false)
{
    const QByteArray flag = modern ? "\\0" : "";
    QByteArray text;
    text.reserve(depth * 20 + 40);
    for (int i = 0; i < depth; ++i)
        text += "\\0\\0\\0\\t" + flag + "\\0\\0\\0\\x1";
    return text + "\\0\\0\\0\\x2" + flag + "\\0\\0\\0\\x1";
}

QByteArray ini(const QByteArray& deepLine)
{
    return "[General]\nVMKInitialMode=3\n" + deepLine + "\n[Window]\nWidth=900\n";
}

void write(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

int nesting(QVariant v)
{
    int depth = 0;
    while (v.metaType().id() == QMetaType::QVariantList && !v.toList().isEmpty()) {
        v = v.toList().first();
        ++depth;
    }
    return depth;
}
} // namespace

TEST(SettingsGuard, FindsDeepValuesHoweverTheFileSpellsThem)
{
    const QByteArray deep = nestedLists(100000);
    EXPECT_TRUE(guard::mayNestTooDeep(ini("Deep=@Variant(" + deep + ")")));
    EXPECT_TRUE(guard::mayNestTooDeep(ini("Deep=\"@Variant(" + deep + ")\"")));
    // The same value behind escapes, quotes, line continuations and inside a list.
    EXPECT_TRUE(guard::mayNestTooDeep(ini("Deep=\\x40Var\"iant(\"" + deep + ")")));
    EXPECT_TRUE(guard::mayNestTooDeep(ini("Deep=\\100Variant(" + deep.left(900) + "\\\n" + deep.mid(900) + ")")));
    EXPECT_TRUE(guard::mayNestTooDeep(ini("Deep=plain, @Variant(" + deep + ")")));
    EXPECT_TRUE(guard::mayNestTooDeep(ini("Deep=@DateTime(" + nestedLists(100000, true) + ")")));
    // Maps whose values are lists, and containers named as user types.
    QByteArray maps;
    for (int i = 0; i < 200; ++i)
        maps += "\\0\\0\\0\\b\\0\\0\\0\\x1\\0\\0\\0\\x2\\0k";
    EXPECT_TRUE(guard::mayNestTooDeep(ini("Deep=@Variant(" + maps + ")")));
    QByteArray named;
    for (int i = 0; i < 200; ++i)
        named += "\\0\\0\\0\\x7f\\0\\0\\0\\fQVariantList\\0\\0\\0\\x1";
    EXPECT_TRUE(guard::mayNestTooDeep(ini("Deep=@Variant(" + named + ")")));

    // What this program writes stays: shallow values, and big ones full of bytes that look like list types.
    EXPECT_FALSE(guard::mayNestTooDeep(ini("Fair=@Variant(" + nestedLists(guard::kMaxNesting - 1) + ")")));
    QByteArray positions = "\\0\\0\\0\\b\\0\\0\\x1\\xf4";
    for (int i = 0; i < 500; ++i)
        positions += "\\0\\0\\0\\b\\0\\x61\\0\\x62\\0\\x63\\0\\x64\\0\\0\\0\\x2\\0\\0\\0\\t";
    EXPECT_FALSE(guard::mayNestTooDeep(ini("ReadingPositions=@Variant(" + positions + ")")));
    EXPECT_FALSE(guard::mayNestTooDeep(ini("Name=\"a, b\"\nPath=\\\\server\\\\@Variant(")));
}

TEST(SettingsGuard, UnescapesAsQtDoes)
{
    EXPECT_EQ(guard::unescapedIniText("a\\x41\\102\\tz\"q,\"\\\r\nend"), QByteArray("aAB\tzq,end"));
    EXPECT_EQ(guard::unescapedIniText("\\x1000041\\xg\\q\\"), QByteArray("A") + "g");
}

TEST(SettingsGuard, AFileTooDeepToReadIsSetAsideAndTheStoreStartsOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.ini");
    write(path, ini("Deep=@Variant(" + nestedLists(100000) + ")"));
    {
        UserDefaults defaults(path);
        defaults.registerDefaults({{"VMKInitialMode", 1}});
        EXPECT_EQ(defaults.integer("VMKInitialMode"), 1);
        EXPECT_FALSE(defaults.object("Deep").isValid());
        defaults.set("VMKInitialMode", 2);
        defaults.sync();
    }
    EXPECT_TRUE(QFile::exists(path + ".unreadable"));
    EXPECT_EQ(UserDefaults(path).integer("VMKInitialMode"), 2);

    // A file this program could have written is read as it is.
    const QString fair = dir.filePath("fair.ini");
    write(fair, ini("Fair=@Variant(" + nestedLists(guard::kMaxNesting - 1) + ")"));
    UserDefaults kept(fair);
    EXPECT_EQ(kept.integer("VMKInitialMode"), 3);
    EXPECT_EQ(nesting(kept.object("Fair")), guard::kMaxNesting - 1);
    EXPECT_FALSE(QFile::exists(fair + ".unreadable"));
}
