#include "platform/services/ReduceMotion.h"
#include "platform/services/UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using vmk::platform::UserDefaults;

namespace {
struct IsolatedDefaults {
    QTemporaryDir dir;
    QString path() const { return dir.filePath("defaults.ini"); }
    std::unique_ptr<UserDefaults> make() const { return std::make_unique<UserDefaults>(path()); }
};
} // namespace

TEST(UserDefaults, ArgumentsOverrideStoredAndRegisteredValuesWithoutBeingWritten)
{
    IsolatedDefaults store;
    {
        auto defaults = store.make();
        defaults->registerDefaults({{"VMKInitialMode", 0}, {"VMKShowSidebar", true}});
        defaults->set("VMKInitialMode", 2);
        defaults->setArguments({"vellumark", "-VMKInitialMode", "4", "-VMKShowSidebar", "NO", "file.pdf"});
        EXPECT_EQ(defaults->integer("VMKInitialMode"), 4);
        EXPECT_FALSE(defaults->boolean("VMKShowSidebar"));
        EXPECT_EQ(defaults->string("VMKInitialMode"), "4");
        // Writing while an argument is in force stores the value but the argument still wins this run.
        defaults->set("VMKInitialMode", 3);
        EXPECT_EQ(defaults->integer("VMKInitialMode"), 4);
        defaults->sync();
    }
    auto reopened = store.make();
    EXPECT_EQ(reopened->integer("VMKInitialMode"), 3);
    EXPECT_FALSE(reopened->hasPersistentValue("VMKShowSidebar"));
}

TEST(UserDefaults, ArgumentDomainParsingLeavesFilesAndNegativeNumbers)
{
    const QStringList args{"vellumark", "-VMKInitialPage", "-3", "a.pdf", "-VMKSearch", "total cost", "b.pdf",
                           "-VMKDangling"};
    const QVariantMap domain = UserDefaults::parseArgumentDomain(args);
    EXPECT_EQ(domain.value("VMKInitialPage").toString(), "-3");
    EXPECT_EQ(domain.value("VMKSearch").toString(), "total cost");
    EXPECT_FALSE(domain.contains("VMKDangling"));
    // Arrays and dictionaries in property-list text; malformed text stays a string.
    const QVariantMap typed = UserDefaults::parseArgumentDomain(
        {"vellumark", "-VMKList", "(one, \"two words\", (3))", "-VMKMap", "{page = 4; name = \"a;b\";}", "-VMKOdd",
         "(unclosed"});
    EXPECT_EQ(typed.value("VMKList").toList().size(), 3);
    EXPECT_EQ(typed.value("VMKList").toList().at(1).toString(), "two words");
    EXPECT_EQ(typed.value("VMKMap").toMap().value("name").toString(), "a;b");
    EXPECT_EQ(typed.value("VMKOdd").toString(), "(unclosed");
    UserDefaults d(std::unique_ptr<QSettings>{});
    d.setArguments({"vellumark", "-VMKMap", "{page = 4;}"});
    EXPECT_EQ(d.dictionary("VMKMap").value("page").toInt(), 4);
    EXPECT_TRUE(d.string("VMKMap").isEmpty());

    // Nesting is bounded: sixty-four levels are a value, a hundred thousand are only text.
    const QString deep = QString(100000, '(') + QString(100000, ')');
    const QString fair = QString(64, '(') + "x" + QString(64, ')');
    const QVariantMap nested = UserDefaults::parseArgumentDomain({"vellumark", "-VMKDeep", deep, "-VMKFair", fair});
    EXPECT_EQ(nested.value("VMKDeep").toString(), deep);
    EXPECT_EQ(nested.value("VMKFair").metaType().id(), QMetaType::QVariantList);

    EXPECT_EQ(UserDefaults::argumentsWithoutDomain(args),
              (QStringList{"vellumark", "a.pdf", "b.pdf", "-VMKDangling"}));
}

TEST(UserDefaults, TypedGettersReadWrongTypesAsEmptyAndSurviveTheStore)
{
    IsolatedDefaults store;
    {
        auto defaults = store.make();
        defaults->set("Word", "hello");
        defaults->set("Flag", true);
        defaults->set("Ratio", 0.75);
        defaults->set("ReadingPositions", QVariantMap{{"/tmp/a.pdf", 3}, {"/tmp/b c.pdf", 11}});
        defaults->set("One", QVariantList{"only"});
        defaults->set("Mixed", QVariantList{"a", 2});
        defaults->sync();
    }
    auto d = store.make();
    EXPECT_EQ(d->integer("Word"), 0);
    EXPECT_TRUE(d->dictionary("Word").isEmpty());
    EXPECT_TRUE(d->string("ReadingPositions").isEmpty());
    EXPECT_TRUE(d->boolean("Flag"));
    EXPECT_DOUBLE_EQ(d->doubleValue("Ratio"), 0.75);
    const QVariantMap positions = d->dictionary("ReadingPositions");
    EXPECT_EQ(positions.value("/tmp/b c.pdf").toInt(), 11);
    EXPECT_EQ(positions.size(), 2);
    EXPECT_EQ(d->stringArray("One"), QStringList{"only"});
    EXPECT_TRUE(d->stringArray("Mixed").isEmpty());
    EXPECT_EQ(d->array("Mixed").size(), 2);
    EXPECT_FALSE(d->object("Missing").isValid());
    EXPECT_FALSE(d->boolean("Missing"));
}

TEST(UserDefaults, ReduceMotionFollowsTheEnvironmentThenTheSetting)
{
    IsolatedDefaults store;
    auto defaults = store.make();
    QProcessEnvironment env;
    EXPECT_FALSE(vmk::platform::reduceMotionEnabled(*defaults, env));
    defaults->set("VMKReduceMotion", true);
    EXPECT_TRUE(vmk::platform::reduceMotionEnabled(*defaults, env));
    env.insert("VMK_REDUCE_MOTION", "0");
    EXPECT_FALSE(vmk::platform::reduceMotionEnabled(*defaults, env));
    defaults->remove("VMKReduceMotion");
    env.insert("VMK_REDUCE_MOTION", "1");
    EXPECT_TRUE(vmk::platform::reduceMotionEnabled(*defaults, env));

    // Unless told otherwise, a desktop with its animations turned off asks for reduced motion; the
    // application's own setting, either way, wins over the desktop's.
    QProcessEnvironment plain;
    EXPECT_TRUE(vmk::platform::reduceMotionEnabled(*defaults, plain, false));
    EXPECT_FALSE(vmk::platform::reduceMotionEnabled(*defaults, plain, true));
    defaults->set("VMKReduceMotion", false);
    EXPECT_FALSE(vmk::platform::reduceMotionEnabled(*defaults, plain, false));
    env.insert("VMK_REDUCE_MOTION", "0");
    defaults->set("VMKReduceMotion", true);
    EXPECT_FALSE(vmk::platform::reduceMotionEnabled(*defaults, env, false));
}
