#include "TestDocument.h"

#include "platform/services/UserDefaults.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vmk::platform;
using vmk::test::TestController;
using vmk::test::TestDocument;

namespace {
struct Fixture {
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("defaults.ini")};
    QString file(const QString& name, const QByteArray& bytes = "content") { return vmk::test::writeFile(dir, name, bytes); }
};
} // namespace

TEST(DocumentController, OneDocumentPerFileAndOpenFailuresArePresentedOnce)
{
    Fixture f;
    TestController controller(&f.defaults);
    QSignalSpy changed(&controller, &DocumentController::documentsChanged);
    const QString a = f.file("a.pdf");
    const QString bad = f.file("bad.pdf", "BAD");
    const QString c = f.file("c.pdf");

    const auto first = controller.openDocument(a);
    ASSERT_TRUE(first.document);
    EXPECT_FALSE(first.alreadyOpen);
    EXPECT_EQ(controller.windowsShown, 1);
    // The same file by another spelling is the same document; its window comes forward.
    const auto again = controller.openDocument(f.dir.path() + "/./a.pdf");
    EXPECT_TRUE(again.alreadyOpen);
    EXPECT_EQ(again.document, first.document);
    EXPECT_EQ(controller.windowsShown, 2);
    EXPECT_EQ(controller.documents().size(), 1u);

    controller.open({bad, c, f.dir.filePath("missing.pdf")});
    EXPECT_EQ(controller.documents().size(), 2u);
    ASSERT_EQ(controller.presented.size(), 2);
    EXPECT_EQ(controller.presented[0].code, DocumentError::FileReadCorruptFile);
    EXPECT_EQ(controller.presented[0].recoverySuggestion, "If you have another copy, try that one.");
    EXPECT_EQ(controller.presented[1].code, DocumentError::FileReadNoSuchFile);
    EXPECT_EQ(changed.count(), 2);

    // Closing posts the change after the document has left the list.
    Document* doc = first.document;
    QObject::connect(&controller, &DocumentController::documentsChanged, &controller,
                     [&] { EXPECT_EQ(controller.documentForPath(a), nullptr); });
    EXPECT_TRUE(controller.closeDocument(doc));
    EXPECT_EQ(controller.windowsClosed, 1);
    EXPECT_EQ(changed.count(), 3);
}

TEST(DocumentController, UntitledDocumentsAndQuitAutosaveEveryEditedDocument)
{
    Fixture f;
    TestController controller(&f.defaults);
    Document* one = controller.makeUntitledDocument();
    Document* two = controller.makeUntitledDocument();
    EXPECT_EQ(one->displayName(), "Untitled");
    EXPECT_EQ(two->displayName(), "Untitled 2");
    EXPECT_EQ(controller.windowsShown, 2);

    const QString path = f.file("q.pdf", "old");
    auto* opened = static_cast<TestDocument*>(controller.openDocument(path).document);
    opened->content = "new";
    opened->updateChangeCount(ChangeType::Done);
    Document::setUntitledAutosaveFolder(f.dir.filePath("Autosave"));
    EXPECT_TRUE(controller.closeAllDocuments());
    Document::setUntitledAutosaveFolder({});
    EXPECT_TRUE(controller.documents().empty());
    EXPECT_EQ(vmk::test::readFile(path), "new");
}

TEST(DocumentController, RecentDocumentsAreNewestFirstDeduplicatedCappedAndPersisted)
{
    Fixture f;
    QStringList paths;
    for (int i = 0; i < 12; ++i)
        paths << f.file(QStringLiteral("f%1.pdf").arg(i));
    {
        TestController controller(&f.defaults);
        for (const QString& p : paths)
            controller.openDocument(p, false);
        controller.openDocument(paths[3], false);   // already open: no change in order
        controller.noteNewRecentDocument(paths[5]);
        QStringList recent = controller.recentDocumentPaths();
        ASSERT_EQ(recent.size(), RecentDocuments::kDefaultMaximum);
        EXPECT_TRUE(recent[0].endsWith("f5.pdf"));
        EXPECT_TRUE(recent[1].endsWith("f11.pdf"));
        EXPECT_EQ(recent.count(recent[0]), 1);

        // Save As of an untitled document adds its new file.
        auto* untitled = static_cast<TestDocument*>(controller.makeUntitledDocument(false));
        untitled->content = "x";
        ASSERT_FALSE(untitled->saveToPath(f.dir.filePath("saved-as.pdf"), SaveOperation::SaveAs));
        EXPECT_TRUE(controller.recentDocumentPaths().first().endsWith("saved-as.pdf"));
        f.defaults.sync();
    }
    UserDefaults reread(f.dir.filePath("defaults.ini"));
    TestController later(&reread);
    EXPECT_TRUE(later.recentDocumentPaths().first().endsWith("saved-as.pdf"));
    // Files that went away are not offered.
    QFile::remove(paths[5]);
    EXPECT_FALSE(later.recentDocumentPaths().join('|').contains("f5.pdf"));
    later.clearRecentDocuments();
    EXPECT_TRUE(later.recentDocumentPaths().isEmpty());
}
