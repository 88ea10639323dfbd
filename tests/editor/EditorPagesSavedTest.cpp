// Page-set operations on a file with real structure, judged on the saved file by qpdf rather than by what
// the editor believes.

#include "LongTaskTestSupport.h"
#include "StructuredPdf.h"

#include "support/TestFiles.h"

#include <QJsonArray>

#include <functional>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

SavedFile saveCopy(EditorFixture& f, const QString& name)
{
    const QString path = f.dir.filePath(name);
    EXPECT_FALSE(f.document->saveToPath(path, platform::SaveOperation::SaveTo).has_value()) << name.toStdString();
    return inspectSavedFile(path);
}

} // namespace

TEST(EditorPagesSaved, DeletedPagesTakeTheirFieldsAndTargetsOutOfTheFileUntilUndone)
{
    if (!commandExists(QStringLiteral("qpdf")))
        GTEST_SKIP() << "qpdf is needed";
    EditorFixture f(openPdf(makeStructuredPdf().bytes));
    const SavedFile before = saveCopy(f, QStringLiteral("before.pdf"));
    ASSERT_TRUE(before.checkClean) << before.checkOutput.toStdString();
    ASSERT_EQ(before.fields().size(), 3);

    // The appendix (page 3) and the form (page 4) go.
    f.editor->deletePages({2, 3});
    f.endGroup();
    const SavedFile after = saveCopy(f, QStringLiteral("after.pdf"));
    EXPECT_TRUE(after.checkClean) << after.checkOutput.toStdString();
    EXPECT_EQ(after.pages().size(), 2);
    EXPECT_EQ(after.pageObjectCount(), 2) << "nothing holds a deleted page in the file";
    EXPECT_TRUE(after.fields().isEmpty()) << after.fields().join(u'\n').toStdString();
    EXPECT_FALSE(after.qdf.contains("/Subtype /Widget"));
    // The outline keeps the entries into pages 1 and 2, the names and the open action into them stay,
    // and the two links of page 1 into the appendix stay on the page but lead nowhere.
    EXPECT_EQ(after.targets(), QStringList({QStringLiteral("dests /start -> 0"), QStringLiteral("open -> 1"),
                                            QStringLiteral("outline / -> 0"), QStringLiteral("outline // -> 1"),
                                            QStringLiteral("outline / -> 1"), QStringLiteral("link on 0 -> -2"),
                                            QStringLiteral("link on 0 -> -2")}))
        << after.targets().join(u'\n').toStdString();

    f.undo().undo();
    const SavedFile undone = saveCopy(f, QStringLiteral("undone.pdf"));
    EXPECT_TRUE(undone.checkClean) << undone.checkOutput.toStdString();
    EXPECT_EQ(undone.fields(), before.fields());
    EXPECT_EQ(undone.targets(), before.targets());
}

namespace {

// The outline as qpdf reads it: "title -> page index", depth first, nested titles indented.
QStringList outlineOf(const SavedFile& file)
{
    QStringList out;
    std::function<void(const QJsonArray&, const QString&)> walk = [&](const QJsonArray& items, const QString& indent) {
        for (const QJsonValue& item : items) {
            const QJsonObject o = item.toObject();
            out.append(QStringLiteral("%1%2 -> %3")
                           .arg(indent, o.value(QStringLiteral("title")).toString())
                           .arg(o.value(QStringLiteral("destpageposfrom1")).toInt() - 1));
            walk(o.value(QStringLiteral("kids")).toArray(), indent + QStringLiteral("  "));
        }
    };
    walk(file.json.value(QStringLiteral("outlines")).toArray(), QString());
    return out;
}

} // namespace

TEST(EditorPagesSaved, InsertedFileBringsItsOutlineFormAndLinksInOneUndoStep)
{
    if (!commandExists(QStringLiteral("qpdf")))
        GTEST_SKIP() << "qpdf is needed";
    EditorFixture f(openPdf(makeStructuredPdf().bytes));
    const QString other = writeFile(f.dir, QStringLiteral("other.pdf"), makeStructuredPdf().bytes);
    const SavedFile before = saveCopy(f, QStringLiteral("before.pdf"));
    const QStringList outlineBefore = outlineOf(before);
    ASSERT_EQ(outlineBefore.size(), 5) << outlineBefore.join(u'\n').toStdString();
    // The sidebar shows the outline.
    f.editor->setOutlineLoaded(true);
    f.editor->loadOutline();
    ASSERT_EQ(f.editor->outline()->size(), 4);

    // In after page 2: the letter's first two entries lead to pages 1 and 2, the rest to pages 3 and 4.
    f.editor->insertPages({other}, 2);
    f.endGroup();
    ASSERT_EQ(f.pdf()->pageCount(), 8);
    const SavedFile after = saveCopy(f, QStringLiteral("after.pdf"));
    EXPECT_TRUE(after.checkClean) << after.checkOutput.toStdString();
    EXPECT_EQ(outlineOf(after),
              QStringList({QStringLiteral("Letter to Zebulon Quixby -> 0"), QStringLiteral("  Bluefalcon -> 1"),
                           QStringLiteral("Sideways page -> 1"), QStringLiteral("Letter to Zebulon Quixby -> 2"),
                           QStringLiteral("  Bluefalcon -> 3"), QStringLiteral("Sideways page -> 3"),
                           QStringLiteral("Appendix -> 4"), QStringLiteral("Form -> 5"), QStringLiteral("Appendix -> 6"),
                           QStringLiteral("Form -> 7")}))
        << outlineOf(after).join(u'\n').toStdString();
    // The form holds both files' fields, the inserted ones renamed; each widget on its own page.
    EXPECT_EQ(after.fields().size(), 6) << after.fields().join(u'\n').toStdString();
    EXPECT_TRUE(after.fields().contains(QStringLiteral("name_2=Hortensia on 5"))) << after.fields().join(u'\n').toStdString();
    // Every link and name leads to a page of the document.
    for (const QString& target : after.targets())
        EXPECT_FALSE(target.endsWith(QLatin1String("-> -1")) || target.endsWith(QLatin1String("-> -3")))
            << target.toStdString();
    EXPECT_TRUE(after.targets().contains(QStringLiteral("link on 2 -> 4"))) << after.targets().join(u'\n').toStdString();
    EXPECT_EQ(f.editor->outline()->size(), 8);

    f.undo().undo();
    const SavedFile undone = saveCopy(f, QStringLiteral("undone.pdf"));
    EXPECT_TRUE(undone.checkClean) << undone.checkOutput.toStdString();
    EXPECT_EQ(outlineOf(undone), outlineBefore);
    EXPECT_EQ(undone.fields(), before.fields());
    EXPECT_EQ(undone.pageObjectCount(), 4);
    EXPECT_EQ(f.editor->outline()->size(), 4);
    f.undo().redo();
    EXPECT_EQ(outlineOf(saveCopy(f, QStringLiteral("redone.pdf"))), outlineOf(after));
}
