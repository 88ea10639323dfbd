#include "EditorTestSupport.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {
QString toastText(const Editor& editor) { return editor.toast() ? editor.toast()->text : QString(); }
} // namespace

TEST(EditorPassword, ProtectingRecordsThePasswordsWithUndoButNoRedo)
{
    EditorFixture f(blankDocument(1));
    EXPECT_FALSE(f.editor->isPasswordProtected());
    const int version = f.editor->documentVersion();

    f.editor->passwordProtect(QStringLiteral("one"), std::nullopt);
    f.endGroup();
    EXPECT_TRUE(f.editor->isPasswordProtected());
    EXPECT_EQ(f.document->protection(), (core::Protection{QStringLiteral("one"), std::nullopt}));
    EXPECT_EQ(toastText(*f.editor), QStringLiteral("Locked. Don\u2019t forget the password; nobody can recover it."));
    EXPECT_EQ(f.editor->documentVersion(), version + 1);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Password Protect"));

    // A second protection replaces the first; one undo goes back to the first.
    f.editor->passwordProtect(QStringLiteral("two"), QStringLiteral("owner"));
    f.endGroup();
    EXPECT_EQ(f.document->protection(), (core::Protection{QStringLiteral("two"), QStringLiteral("owner")}));
    f.undo().undo();
    EXPECT_EQ(f.document->protection(), (core::Protection{QStringLiteral("one"), std::nullopt}));
    EXPECT_FALSE(f.undo().canRedo());
    f.undo().undo();
    EXPECT_FALSE(f.editor->isPasswordProtected());
    EXPECT_FALSE(f.document->protection().has_value());
    EXPECT_FALSE(f.undo().canRedo());
}

TEST(EditorPassword, RemovingMarksTheNextSaveDecryptedUntilUndone)
{
    EditorFixture f(pdf::Document::fromData(lockedPdf(QStringLiteral("pw"))).value());
    // Still locked: nothing.
    f.editor->removePassword();
    EXPECT_FALSE(f.document->removesEncryption());
    EXPECT_FALSE(f.editor->toast().has_value());

    ASSERT_TRUE(f.editor->unlock(QStringLiteral("pw")));
    EXPECT_TRUE(f.editor->isPasswordProtected());
    f.editor->removePassword();
    f.endGroup();
    EXPECT_FALSE(f.editor->isPasswordProtected());
    EXPECT_TRUE(f.document->removesEncryption());
    EXPECT_EQ(toastText(*f.editor), QStringLiteral("Password removed. Opens for anyone now."));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Remove Password"));

    // Not protected any more: a second removal does nothing.
    f.editor->removePassword();
    EXPECT_EQ(f.undo().undoCount(), 1);

    // Protecting clears the mark for decryption.
    f.editor->passwordProtect(QStringLiteral("new"), std::nullopt);
    f.endGroup();
    EXPECT_FALSE(f.document->removesEncryption());
    f.undo().undo();
    f.undo().undo();
    EXPECT_TRUE(f.editor->isPasswordProtected());
    EXPECT_FALSE(f.document->removesEncryption());
    EXPECT_FALSE(f.document->protection().has_value());
    EXPECT_FALSE(f.undo().canRedo());
}

TEST(EditorPassword, WithoutADocumentNothingHappens)
{
    EditorFixture f(blankDocument(1));
    f.document.reset();
    f.editor->passwordProtect(QStringLiteral("pw"), std::nullopt);
    f.editor->removePassword();
    EXPECT_FALSE(f.editor->isPasswordProtected());
    EXPECT_FALSE(f.editor->toast().has_value());
}

TEST(EditorPassword, OwnerRestrictionsGoOnlyWithTheOwnerPassword)
{
    if (!commandExists(QStringLiteral("qpdf")))
        GTEST_SKIP() << "qpdf is needed";
    QTemporaryDir dir;
    const QString plain = writeFile(dir, QStringLiteral("plain.pdf"), makePdf({true}));
    // Opens without a password but forbids printing and changes (P = -3376); opens with its user password
    // and holds an owner password besides.
    struct Case {
        const char* name;
        QStringList encrypt;
        QString opensWith;
    };
    const QList<Case> cases = {
        {"restrictions only", {"", "own", "128", "--use-aes=y", "--print=none", "--modify=none"}, QString()},
        {"user and owner passwords", {"usr", "own", "256"}, QStringLiteral("usr")},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QStringLiteral("%1.pdf").arg(c.opensWith.isEmpty() ? "open" : "locked"));
        ASSERT_EQ(runCommand(QStringLiteral("qpdf"), QStringList{"--allow-weak-crypto", "--encrypt"} + c.encrypt
                                                         + QStringList{"--", plain, path})
                      .exitCode,
                  0);
        const QString before = qpdfEncryption(path, {c.opensWith});
        EditorFixture f(pdf::Document::fromData(readFile(path)).value());
        if (!c.opensWith.isEmpty())
            ASSERT_TRUE(f.editor->unlock(c.opensWith)) << c.name;
        ASSERT_TRUE(f.editor->isPasswordProtected()) << c.name;
        EXPECT_TRUE(f.editor->removingPasswordNeedsOwner()) << c.name;

        // Without the owner password, or with a wrong one, nothing changes and the file saves as it was.
        f.editor->removePassword();
        EXPECT_EQ(toastText(*f.editor), QStringLiteral("Removing the password needs the owner password.")) << c.name;
        f.editor->removePassword(QStringLiteral("usr-or-guess"));
        EXPECT_EQ(toastText(*f.editor), QStringLiteral("That isn\u2019t the owner password. The password and its restrictions stay."));
        EXPECT_FALSE(f.document->removesEncryption()) << c.name;
        EXPECT_FALSE(f.undo().canUndo()) << c.name;
        const QString kept = f.dir.filePath(QStringLiteral("kept.pdf"));
        ASSERT_FALSE(f.document->saveToPath(kept, platform::SaveOperation::SaveTo).has_value()) << c.name;
        EXPECT_EQ(qpdfEncryption(kept, {c.opensWith}), before) << c.name;
        EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {"--check", "--password=" + c.opensWith, kept}).exitCode, 0) << c.name;

        // The owner password lifts them: the next save is open to anyone, and the document still reads.
        f.editor->removePassword(QStringLiteral("own"));
        EXPECT_EQ(toastText(*f.editor), QStringLiteral("Password removed. Opens for anyone now.")) << c.name;
        EXPECT_FALSE(f.editor->removingPasswordNeedsOwner()) << c.name;
        const QString open = f.dir.filePath(QStringLiteral("open.pdf"));
        ASSERT_FALSE(f.document->saveToPath(open, platform::SaveOperation::SaveTo).has_value()) << c.name;
        EXPECT_TRUE(qpdfEncryption(open, {QString()}).contains(QLatin1String("File is not encrypted"))) << c.name;
        EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {"--check", open}).exitCode, 0) << c.name;
    }

    // Opened with the owner password, nothing more is asked.
    EditorFixture owner(pdf::Document::fromData(lockedPdf(QStringLiteral("pw"))).value());
    ASSERT_TRUE(owner.editor->unlock(QStringLiteral("pw")));
    EXPECT_FALSE(owner.editor->removingPasswordNeedsOwner());
}
