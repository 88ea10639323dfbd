// Page-set operations on a file with real structure, judged on the saved file by qpdf rather than by what
// the editor believes.

#include "LongTaskTestSupport.h"
#include "StructuredPdf.h"

#include "support/TestFiles.h"

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
