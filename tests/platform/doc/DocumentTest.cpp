#include "TestDocument.h"

#include "platform/doc/SafeSave.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <ctime>
#include <unistd.h>

using namespace vmk::platform;
using vmk::test::TestDocument;

namespace {
QStringList entries(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

std::unique_ptr<TestDocument> openDoc(const QString& path)
{
    auto doc = std::make_unique<TestDocument>();
    EXPECT_FALSE(doc->openFile(path));
    return doc;
}
} // namespace

TEST(DocumentSafeSave, FailedWriteOrVerificationLeavesTheOriginalAndNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, "report.pdf", "original bytes");
    ::chmod(QFile::encodeName(path).constData(), 0640);
    auto doc = openDoc(path);
    doc->content = "new bytes";
    doc->updateChangeCount(ChangeType::Done);
    QSignalSpy finished(doc.get(), &Document::saveFinished);

    doc->writeGarbageThenFail = true;
    MaybeError error = doc->save();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, DocumentError::FileWriteUnknown);
    EXPECT_EQ(vmk::test::readFile(path), "original bytes");
    EXPECT_EQ(entries(dir), QStringList{"report.pdf"});

    doc->writeGarbageThenFail = false;
    doc->failVerify = true;
    error = doc->save();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "The saved copy didn’t check out, so the original was left untouched.");
    EXPECT_EQ(vmk::test::readFile(path), "original bytes");
    EXPECT_EQ(entries(dir), QStringList{"report.pdf"});
    EXPECT_TRUE(doc->isEdited());
    EXPECT_TRUE(doc->saves.isEmpty());

    doc->failVerify = false;
    EXPECT_FALSE(doc->save());
    EXPECT_EQ(vmk::test::readFile(path), "new bytes");
    EXPECT_EQ(entries(dir), QStringList{"report.pdf"});
    EXPECT_FALSE(doc->isEdited());
    // The replacement keeps the original's permissions.
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_EQ(finished.count(), 3);
    EXPECT_FALSE(finished[0][1].toBool());
    EXPECT_TRUE(finished[2][1].toBool());
}

TEST(DocumentSafeSave, MissingFolderIsRefusedWithoutTouchingAnything)
{
    QTemporaryDir dir;
    // A folder that doesn't exist, and a "folder" that is a file.
    const QString plainFile = vmk::test::writeFile(dir, "not-a-folder", "x");
    for (const QString& target : {dir.filePath("missing/out.pdf"), plainFile + "/out.pdf"}) {
        const MaybeError error = safeSaveFile(target, {[](const QString&) { return MaybeError(); }, nullptr, nullptr, nullptr, nullptr});
        ASSERT_TRUE(error) << target.toStdString();
        EXPECT_TRUE(error->code == DocumentError::FileWriteUnknown || error->code == DocumentError::FileWriteNoPermission);
        EXPECT_FALSE(error->message.isEmpty());
    }
    EXPECT_EQ(vmk::test::readFile(plainFile), "x");
}

TEST(DocumentSafeSave, UnwritableFolderIsRefusedBeforeAnythingIsWritten)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions don't bind the superuser";
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("locked");
    const QString lockedFolder = dir.filePath("locked");
    const QString target = vmk::test::writeFile(dir, "locked/doc.pdf", "keep me");
    ::chmod(QFile::encodeName(lockedFolder).constData(), 0555);
    bool wrote = false;
    const MaybeError error = safeSaveFile(target, {[&](const QString&) { wrote = true; return MaybeError(); }, nullptr, nullptr, nullptr, nullptr});
    ::chmod(QFile::encodeName(lockedFolder).constData(), 0755);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, DocumentError::FileWriteNoPermission);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(vmk::test::readFile(target), "keep me");
}

TEST(DocumentSafeSave, SymbolicLinkStaysALinkToTheUpdatedFile)
{
    QTemporaryDir dir;
    const QString real = vmk::test::writeFile(dir, "real.pdf", "v1");
    const QString link = dir.filePath("link.pdf");
    ASSERT_TRUE(QFile::link(real, link));
    const MaybeError error = safeSaveFile(link, {[](const QString& tmp) { return writeBytesToFile(tmp, "v2"); },
                                                 nullptr, nullptr, nullptr, nullptr});
    ASSERT_FALSE(error);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(vmk::test::readFile(real), "v2");
}

TEST(DocumentSafeSave, WhatAKilledSaveLeftGoesWhenTheFileIsNextOpenedOrSaved)
{
    struct Left {
        const char* name;
        bool old;
        bool removed;
    };
    const Left left[] = {
        {".doc.pdf.vmk-0123abcd.tmp", true, true},
        {".doc.pdf.vmk-89abcdef.tmp", false, false},  // a save that may still be running
        {".doc.pdf.vmk-notes.tmp", true, false},      // not a name we give
        {".other.pdf.vmk-0123abcd.tmp", true, false}, // another file's, judged when that one is saved
        {".doc.pdf.vmk-0123abcd.tmp.keep", true, false},
    };
    for (const bool bySaving : {false, true}) {
        QTemporaryDir dir;
        const QString path = vmk::test::writeFile(dir, "doc.pdf", "v1");
        for (const Left& file : left) {
            const QString leftPath = vmk::test::writeFile(dir, file.name, "half");
            const timeval when = {::time(nullptr) - (file.old ? 7200 : 60), 0};
            const timeval times[2] = {when, when};
            ASSERT_EQ(::utimes(QFile::encodeName(leftPath).constData(), times), 0);
        }
        if (bySaving)
            EXPECT_FALSE(safeSaveFile(path, {[](const QString& tmp) { return writeBytesToFile(tmp, "v2"); }, nullptr,
                                             nullptr, nullptr, nullptr}));
        else
            openDoc(path);
        for (const Left& file : left)
            EXPECT_NE(QFileInfo::exists(dir.filePath(file.name)), file.removed) << file.name << " saving " << bySaving;
    }
}

TEST(Document, ChangeCountFollowsUndoAndSaving)
{
    QTemporaryDir dir;
    auto doc = openDoc(vmk::test::writeFile(dir, "a.pdf", "abc"));
    QSignalSpy edited(doc.get(), &Document::editedChanged);
    UndoManager* undo = doc->undoManager();
    ASSERT_TRUE(undo);
    std::function<void(QByteArray)> setContent = [&](QByteArray value) {
        const QByteArray old = doc->content;
        doc->content = value;
        undo->registerUndo(doc.get(), [&, old] { setContent(old); });
        undo->setActionName("Type");
    };
    setContent("abcd");
    EXPECT_TRUE(doc->isEdited());
    undo->closeEventGroup();
    undo->undo();
    EXPECT_FALSE(doc->isEdited());
    undo->redo();
    EXPECT_TRUE(doc->isEdited());
    ASSERT_FALSE(doc->save());
    EXPECT_FALSE(doc->isEdited());
    // Undoing past the save point edits the document again; redoing returns to the saved state.
    undo->undo();
    EXPECT_TRUE(doc->isEdited());
    EXPECT_EQ(doc->changeCount(), -1);
    undo->redo();
    EXPECT_FALSE(doc->isEdited());
    EXPECT_EQ(edited.count(), 6);

    // A copy saved elsewhere doesn't make the document clean.
    setContent("abcde");
    ASSERT_FALSE(doc->saveToPath(dir.filePath("copy.pdf"), SaveOperation::SaveTo));
    EXPECT_TRUE(doc->isEdited());
    EXPECT_EQ(QFileInfo(doc->filePath()).fileName(), "a.pdf");
    ASSERT_FALSE(doc->saveToPath(dir.filePath("renamed.pdf"), SaveOperation::SaveAs));
    EXPECT_EQ(doc->displayName(), "renamed.pdf");
    EXPECT_FALSE(doc->isEdited());
    EXPECT_EQ(doc->saves, (QList<SaveOperation>{SaveOperation::Save, SaveOperation::SaveTo, SaveOperation::SaveAs}));
}

TEST(Document, RevertRereadsTheFileAndDropsHistory)
{
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, "r.pdf", "saved");
    auto doc = openDoc(path);
    doc->content = "unsaved";
    doc->undoManager()->registerUndo(doc.get(), [] {});
    ASSERT_FALSE(doc->revertToSaved());
    EXPECT_EQ(doc->content, "saved");
    EXPECT_FALSE(doc->isEdited());
    EXPECT_FALSE(doc->undoManager()->canUndo());
    EXPECT_EQ(doc->reverts, 1);

    // A failed re-read leaves everything as it was.
    vmk::test::writeFile(dir, "r.pdf", "BAD data");
    doc->content = "unsaved again";
    doc->updateChangeCount(ChangeType::Done);
    const MaybeError error = doc->revertToSaved();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, DocumentError::FileReadCorruptFile);
    EXPECT_EQ(doc->content, "unsaved again");
    EXPECT_TRUE(doc->isEdited());
    EXPECT_EQ(doc->reverts, 1);

    TestDocument untitled;
    EXPECT_TRUE(untitled.revertToSaved());
}

TEST(Document, CloseAutosavesInPlaceAndKeepsTheDocumentWhenThatFails)
{
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, "c.pdf", "before");
    auto doc = openDoc(path);
    int shown = 0, closed = 0;
    doc->windowsShown = &shown;
    doc->windowsClosed = &closed;
    doc->makeWindowControllers();
    doc->showWindows();
    EXPECT_EQ(shown, 1);

    doc->content = "after";
    doc->updateChangeCount(ChangeType::Done);
    doc->failWrite = true;
    EXPECT_TRUE(doc->close());
    EXPECT_FALSE(doc->isClosed());
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(vmk::test::readFile(path), "before");

    doc->failWrite = false;
    QSignalSpy closedSpy(doc.get(), &Document::closed);
    EXPECT_FALSE(doc->close());
    EXPECT_TRUE(doc->isClosed());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(closedSpy.count(), 1);
    EXPECT_EQ(vmk::test::readFile(path), "after");
    EXPECT_EQ(doc->saves.last(), SaveOperation::Autosave);
}

TEST(Document, EditedUntitledDocumentIsKeptInTheAutosaveFolder)
{
    QTemporaryDir dir;
    Document::setUntitledAutosaveFolder(dir.filePath("Autosave"));
    TestDocument doc;
    doc.setUntitledNumber(2);
    EXPECT_EQ(doc.displayName(), "Untitled 2");
    doc.setDisplayName("Combined");
    doc.content = "merged";
    EXPECT_FALSE(doc.close());   // not edited: nothing written
    EXPECT_TRUE(doc.autosavedCopyPath().isEmpty());

    TestDocument edited;
    edited.setDisplayName("Combined");
    edited.content = "merged";
    edited.updateChangeCount(ChangeType::Done);
    EXPECT_TRUE(edited.save());   // no file yet: Save refuses
    ASSERT_FALSE(edited.close());
    EXPECT_EQ(QFileInfo(edited.autosavedCopyPath()).fileName(), "Combined.pdf");
    EXPECT_EQ(vmk::test::readFile(edited.autosavedCopyPath()), "merged");
    EXPECT_TRUE(edited.isUntitled());
    Document::setUntitledAutosaveFolder({});
}
