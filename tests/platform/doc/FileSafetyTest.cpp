// Nothing the user did is lost: the file as opened is kept before changes land in it, a file another
// program changed is never overwritten without asking, and untitled documents are asked about.
#include "TestDocument.h"

#include "platform/doc/KeptOriginals.h"
#include "platform/services/UserDefaults.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

using namespace vmk::platform;
using vmk::test::TestDocument;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// Each test keeps its originals in a folder of its own.
struct Fixture {
    QTemporaryDir dir;
    Fixture() { KeptOriginals::setFolder(dir.filePath("Originals")); }
    ~Fixture()
    {
        KeptOriginals::setFolder({});
        Document::setDiskChangeResolver({});
    }
    QString file(const QString& name, const QByteArray& bytes) { return vmk::test::writeFile(dir, name, bytes); }
    std::unique_ptr<TestDocument> open(const QString& path)
    {
        auto doc = std::make_unique<TestDocument>();
        EXPECT_FALSE(doc->openFile(path));
        return doc;
    }
};

// Another program rewrites the file: new bytes, and a modification time that surely differs.
void rewriteBehindOurBack(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
}

} // namespace

TEST(KeptOriginals, TheFileAsOpenedIsKeptOnceBeforeTheFirstWriteAndComesBack)
{
    Fixture f;
    const QString path = f.file("report.pdf", "as opened");
    auto doc = f.open(path);
    doc->content = "first change";
    doc->updateChangeCount(ChangeType::Done);
    // Closing writes in place, as this desktop's autosave does.
    EXPECT_FALSE(doc->close());
    EXPECT_EQ(vmk::test::readFile(path), "first change");

    auto reopened = f.open(path);
    reopened->content = "second change";
    reopened->updateChangeCount(ChangeType::Done);
    EXPECT_FALSE(reopened->save());
    reopened->content = "third change";
    reopened->updateChangeCount(ChangeType::Done);
    EXPECT_FALSE(reopened->save());

    // One copy per opening, before its first write: the file as opened each time.
    const QList<KeptOriginals::Version> versions = KeptOriginals::versionsOf(path);
    ASSERT_EQ(versions.size(), 2);
    EXPECT_EQ(vmk::test::readFile(versions[0].keptPath), "first change");
    EXPECT_EQ(vmk::test::readFile(versions[1].keptPath), "as opened");
    EXPECT_EQ(reopened->keptOriginalPaths(), QStringList({versions[0].keptPath, versions[1].keptPath}));
    EXPECT_EQ(modeOf(KeptOriginals::folder()), mode_t(0700));
    EXPECT_EQ(modeOf(versions[1].keptPath), mode_t(0600));

    // Going back takes the old content as an edit; the next save writes it over the file.
    ASSERT_FALSE(reopened->revertToKeptOriginal(versions[1].keptPath));
    EXPECT_EQ(reopened->content, "as opened");
    EXPECT_TRUE(reopened->isEdited());
    EXPECT_EQ(reopened->reverts, 1);
    EXPECT_EQ(vmk::test::readFile(path), "third change");
    EXPECT_FALSE(reopened->save());
    EXPECT_EQ(vmk::test::readFile(path), "as opened");
    EXPECT_EQ(KeptOriginals::versionsOf(path).size(), 2);

    // A copy written elsewhere (Save To) keeps nothing and changes nothing kept.
    auto third = f.open(path);
    third->content = "exported";
    EXPECT_FALSE(third->saveToPath(f.dir.filePath("copy.pdf"), SaveOperation::SaveTo));
    EXPECT_EQ(KeptOriginals::versionsOf(path).size(), 2);
}

TEST(KeptOriginals, AgeAndSizeBoundsDropTheOldestButNeverTheNewest)
{
    Fixture f;
    const QString a = f.file("a.pdf", QByteArray(4000, 'a'));
    const QString b = f.file("b.pdf", QByteArray(4000, 'b'));
    ASSERT_TRUE(KeptOriginals::keep(a));
    QThread::msleep(5);
    ASSERT_TRUE(KeptOriginals::keep(b));
    QThread::msleep(5);
    ASSERT_TRUE(KeptOriginals::keep(a));
    EXPECT_EQ(KeptOriginals::versionsOf(a).size(), 2);

    KeptOriginals::prune(30, 9000); // room for two
    EXPECT_EQ(KeptOriginals::versionsOf(a).size(), 1);
    EXPECT_EQ(KeptOriginals::versionsOf(b).size(), 1);
    KeptOriginals::prune(0, 1); // everything is too old and too big: only the newest stays
    EXPECT_EQ(KeptOriginals::versionsOf(a).size(), 1);
    EXPECT_TRUE(KeptOriginals::versionsOf(b).isEmpty());
    // Nothing but the kept copy and its record is left behind.
    EXPECT_EQ(QDir(KeptOriginals::folder()).entryList(QDir::Files).size(), 2);
}

TEST(DiskChange, ASaveOverAFileAnotherProgramChangedAsksAndNeverOverwrites)
{
    Fixture f;
    const QString path = f.file("shared.pdf", "ours as read");
    QList<Document*> asked;
    DiskChangeChoice answer = DiskChangeChoice::Cancel;
    Document::setDiskChangeResolver([&](Document* d) {
        asked << d;
        return answer;
    });

    auto doc = f.open(path);
    doc->content = "our edit";
    doc->updateChangeCount(ChangeType::Done);
    rewriteBehindOurBack(path, "their edit");
    EXPECT_TRUE(doc->hasChangedOnDisk());

    // Cancel: nothing written, still edited.
    const MaybeError cancelled = doc->save();
    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(cancelled->isCancel());
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(vmk::test::readFile(path), "their edit");
    EXPECT_TRUE(doc->isEdited());

    // Closing asks too; keeping ours writes a copy beside theirs, which the document then follows.
    answer = DiskChangeChoice::KeepOursAsCopy;
    EXPECT_FALSE(doc->close());
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(vmk::test::readFile(path), "their edit");
    const QString copy = f.dir.filePath("shared (edited).pdf");
    EXPECT_EQ(vmk::test::readFile(copy), "our edit");
    EXPECT_EQ(doc->filePath(), copy);

    // Reloading theirs drops our change and reads what is there now.
    auto second = f.open(path);
    second->content = "another edit";
    second->updateChangeCount(ChangeType::Done);
    rewriteBehindOurBack(path, "their second edit");
    answer = DiskChangeChoice::ReloadTheirs;
    EXPECT_FALSE(second->save());
    EXPECT_EQ(second->content, "their second edit");
    EXPECT_FALSE(second->isEdited());
    EXPECT_EQ(vmk::test::readFile(path), "their second edit");

    // A file replaced by a rename (same size, same time, another file) counts as changed as well; our
    // own saves never do.
    second->content = "x";
    second->updateChangeCount(ChangeType::Done);
    EXPECT_FALSE(second->save());
    EXPECT_FALSE(second->hasChangedOnDisk());
    const QString replacement = f.file("replacement", "y");
    ASSERT_EQ(::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_TRUE(second->hasChangedOnDisk());
    EXPECT_EQ(asked.size(), 3);
}

TEST(DiskChange, AChangeWhileOurCopyIsWrittenIsCaughtBeforeTheCopyReplacesTheFile)
{
    Fixture f;
    const QString path = f.file("shared.pdf", "ours as read");
    int asked = 0;
    Document::setDiskChangeResolver([&](Document*) {
        ++asked;
        return DiskChangeChoice::Cancel;
    });
    auto doc = f.open(path);
    doc->content = "our edit";
    doc->updateChangeCount(ChangeType::Done);
    // The check before the save finds nothing; the other program writes while our copy is made.
    doc->duringWrite = [&] { rewriteBehindOurBack(path, "their edit"); };

    const MaybeError error = doc->save();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->isCancel());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(vmk::test::readFile(path), "their edit");
    EXPECT_TRUE(doc->isEdited());
    // Our copy went with the refusal.
    EXPECT_EQ(QDir(f.dir.path()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden), QStringList());
}

TEST(DiskChange, RenameAndMoveTakeTheFileAndItsKeptCopiesAlong)
{
    Fixture f;
    const QString path = f.file("draft.pdf", "v1");
    auto doc = f.open(path);
    doc->content = "v2";
    doc->updateChangeCount(ChangeType::Done);
    EXPECT_FALSE(doc->save());
    ASSERT_TRUE(QDir().mkpath(f.dir.filePath("elsewhere")));
    const QString moved = f.dir.filePath("elsewhere/final.pdf");
    ASSERT_FALSE(doc->moveFile(moved));
    EXPECT_EQ(doc->filePath(), moved);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(vmk::test::readFile(moved), "v2");
    EXPECT_EQ(doc->keptOriginalPaths().size(), 1);
    EXPECT_FALSE(doc->hasChangedOnDisk());
    // Something already there is never replaced.
    const QString taken = f.file("taken.pdf", "someone else's");
    const MaybeError refused = doc->moveFile(taken);
    ASSERT_TRUE(refused);
    EXPECT_EQ(vmk::test::readFile(taken), "someone else's");
    EXPECT_EQ(doc->filePath(), moved);
    // An untitled document has no file to move.
    TestDocument untitled;
    EXPECT_TRUE(untitled.moveFile(f.dir.filePath("x.pdf")));
}

namespace {
class AskingController : public vmk::test::TestController {
public:
    using TestController::TestController;
    QList<UntitledChoice> answers;
    int asked = 0;
    int savePanels = 0;
    QString saveTo;
    UntitledChoice askToSaveUntitled(Document*) override
    {
        ++asked;
        return answers.isEmpty() ? UntitledChoice::Cancel : answers.takeFirst();
    }
    bool saveUntitled(Document* document) override
    {
        ++savePanels;
        return !saveTo.isEmpty() && !document->saveToPath(saveTo, SaveOperation::SaveAs);
    }
};
} // namespace

TEST(UntitledClose, EditedUntitledDocumentsAreAskedAboutAndQuittingStopsAtCancel)
{
    Fixture f;
    UserDefaults defaults(f.dir.filePath("defaults.ini"));
    AskingController controller(&defaults);
    Document::setUntitledAutosaveFolder(f.dir.filePath("Autosave"));
    auto* one = static_cast<TestDocument*>(controller.makeUntitledDocument());
    auto* two = static_cast<TestDocument*>(controller.makeUntitledDocument());
    auto* blank = controller.makeUntitledDocument(); // never edited: closes without a question
    for (TestDocument* d : {one, two}) {
        d->content = "combined pages";
        d->updateChangeCount(ChangeType::Done);
    }
    EXPECT_TRUE(controller.closeDocument(blank));
    EXPECT_EQ(controller.asked, 0);

    // Quitting asks for each; a Cancel keeps that document and everything after it open.
    controller.answers = {AskingController::UntitledChoice::Cancel};
    EXPECT_FALSE(controller.closeAllDocuments());
    EXPECT_EQ(controller.asked, 1);
    EXPECT_EQ(controller.documents().size(), 2u);

    // Save… that is cancelled in the panel keeps the document too; a chosen place gets the file.
    controller.answers = {AskingController::UntitledChoice::Save, AskingController::UntitledChoice::Save,
                          AskingController::UntitledChoice::DontSave};
    EXPECT_FALSE(controller.closeAllDocuments());
    EXPECT_EQ(controller.documents().size(), 2u);
    controller.saveTo = f.dir.filePath("Combined.pdf");
    EXPECT_TRUE(controller.closeAllDocuments());
    EXPECT_EQ(vmk::test::readFile(controller.saveTo), "combined pages");
    EXPECT_TRUE(controller.documents().empty());
    // Nothing went into a hidden folder.
    EXPECT_FALSE(QFileInfo::exists(f.dir.filePath("Autosave")));
    Document::setUntitledAutosaveFolder({});
}

TEST(UntitledClose, TheAutosaveFolderIsPrivate)
{
    Fixture f;
    Document::setUntitledAutosaveFolder(f.dir.filePath("Autosave"));
    TestDocument doc;
    doc.content = "work";
    doc.updateChangeCount(ChangeType::Done);
    ASSERT_FALSE(doc.autosave());
    EXPECT_EQ(modeOf(f.dir.filePath("Autosave")), mode_t(0700));
    EXPECT_EQ(modeOf(doc.autosavedCopyPath()), mode_t(0600));
    Document::setUntitledAutosaveFolder({});
}
