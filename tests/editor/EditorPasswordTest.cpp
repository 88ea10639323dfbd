#include "EditorTestSupport.h"

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
