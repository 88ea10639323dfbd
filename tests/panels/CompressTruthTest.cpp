// The compress sheet measures against the file on disk and says what a save really did.

#include "SheetTestSupport.h"

#include "panels/ByteCountText.h"
#include "panels/CompressRules.h"
#include "panels/CompressSheet.h"

#include "platform/pdf/document/Document.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

TEST(CompressTruth, TheToastNeverClaimsASavingThatDidNotHappen)
{
    EXPECT_EQ(compressedSavedToast(400'000, 1'000'000), QStringLiteral("Saved 400 KB, down from 1 MB."));
    EXPECT_EQ(compressedSavedToast(70'000, 70'000), QString::fromUtf8("Saved a copy of 70 KB. It couldn’t be made smaller."));
    // Smaller by bytes, but the same size in words.
    EXPECT_EQ(compressedSavedToast(69'950, 70'000), QString::fromUtf8("Saved a copy of 70 KB. It couldn’t be made smaller."));
}

TEST(CompressTruth, TheSheetStartsFromTheFileOnDiskAndNeverOffersMore)
{
    PanelFixture f(3);
    // The file on disk is far more compact than a plain write of the document would be.
    const QString plain = f.dir.filePath("plain.pdf");
    ASSERT_TRUE(f.pdf()->write(plain));
    ASSERT_EQ(vmk::test::runCommand("qpdf", {"--object-streams=generate", "--compression-level=9", plain,
                                             f.document->filePath()}).exitCode, 0);
    const QByteArray onDisk = vmk::test::readFile(f.document->filePath());
    ASSERT_LT(onDisk.size(), vmk::test::readFile(plain).size());

    auto runner = std::make_shared<HeldWork>();
    f.editor->setDetachedRunner(runner);
    SheetWindow window;
    f.editor->setWindowController(&window);
    window.savePath = f.dir.filePath(QStringLiteral("out.pdf"));
    CompressSheet sheet(f.editor.get(), [] {});
    sheet.prepare();
    runner->runAll();
    ASSERT_TRUE(sheet.original().has_value());
    EXPECT_EQ(*sheet.original(), onDisk);
    const QByteArray result = sheet.results().value(CompressionPreset::balanced);
    EXPECT_LE(result.size(), onDisk.size());
    EXPECT_EQ(sheet.savingLabel()->text(), QStringLiteral("Already lean"));
    sheet.save();
    EXPECT_LE(vmk::test::readFile(*window.savePath).size(), onDisk.size());
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_TRUE(f.editor->toast()->text.contains(QString::fromUtf8("couldn’t be made smaller")));

    // With unsaved changes the file on disk no longer is the document: the snapshot is.
    EXPECT_NE(*compressionSource(f.document->filePath(), true, *f.pdf()), onDisk);
}

TEST(CompressTruth, AProtectedSnapshotIsCompressedWithItsPassword)
{
    PanelFixture f(1);
    const QString plain = f.dir.filePath("plain.pdf");
    ASSERT_TRUE(f.pdf()->write(plain));
    const QString locked = f.dir.filePath("locked.pdf");
    ASSERT_EQ(vmk::test::runCommand("qpdf", {"--encrypt", "pw", "pw", "256", "--", plain, locked}).exitCode, 0);
    const QByteArray source = vmk::test::readFile(locked);
    const auto result = compressSnapshot(source, CompressionPreset::tiny, QStringLiteral("pw"));
    ASSERT_TRUE(result.has_value());
    EXPECT_LE(result->size(), source.size());
    auto reopened = pdf::Document::fromData(*result);
    ASSERT_TRUE(reopened);
    EXPECT_TRUE(reopened.value()->isLocked());
}

TEST(CompressTruth, TheCopyCarriesTheProtectionTheDocumentHasNow)
{
    PanelFixture f(1);
    const QString plain = f.dir.filePath("plain.pdf");
    ASSERT_TRUE(f.pdf()->write(plain));
    const QString restricted = f.dir.filePath("restricted.pdf");
    ASSERT_EQ(vmk::test::runCommand("qpdf", {"--encrypt", "usr", "own", "256", "--print=none", "--", plain, restricted}).exitCode, 0);
    const QStringList passwords = {"usr", "own", "new"};
    // As opened, with a password set but not saved yet, with the password taken off by its owner.
    for (int change = 0; change < 3; ++change) {
        core::VMKDocument document;
        document.setPdf(pdf::Document::fromData(vmk::test::readFile(restricted)).value());
        ASSERT_TRUE(document.pdf()->unlock("usr"));
        document.setUnlockPassword(QStringLiteral("usr"));
        if (change == 1)
            document.setProtection(core::Protection{"new", std::nullopt});
        if (change == 2) {
            ASSERT_TRUE(document.pdf()->provideOwnerPassword("own"));
            document.setRemovesEncryption(true);
        }
        const auto source = compressionSource(restricted, change != 0, *document.pdf(), document.writeOptions());
        ASSERT_TRUE(source.has_value());
        const auto result = compressSnapshot(*source, CompressionPreset::tiny, document.writtenPassword());
        ASSERT_TRUE(result.has_value());
        const QString compressed = f.dir.filePath("compressed.pdf");
        const QString saved = f.dir.filePath("saved.pdf");
        QFile out(compressed);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(*result) == result->size());
        out.close();
        ASSERT_FALSE(document.saveToPath(saved, platform::SaveOperation::SaveTo).has_value());
        EXPECT_EQ(vmk::test::qpdfEncryption(compressed, passwords), vmk::test::qpdfEncryption(saved, passwords)) << change;
    }
}
