#include "SheetTestSupport.h"

#include "chrome/RollingLabel.h"

#include "panels/ByteCountText.h"
#include "panels/CompressRules.h"
#include "panels/CompressSheet.h"
#include "panels/PasswordRules.h"
#include "panels/PasswordSheet.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

namespace {

const QString kComposed = QString::fromUtf8("caf\u00e9");
const QString kDecomposed = QStringLiteral("cafe") + QChar(0x0301);

QStringList snapshotFiles()
{
    return QDir(QDir::tempPath()).entryList({QStringLiteral("vmk-*.pdf")}, QDir::Files);
}

} // namespace

TEST(PasswordRules, MismatchAndCompleteness)
{
    EXPECT_FALSE(showsMismatch(QStringLiteral("abc"), QString())) << "an empty verify field is not a mismatch yet";
    EXPECT_TRUE(showsMismatch(QStringLiteral("abc"), QStringLiteral("ab")));
    EXPECT_FALSE(canProtect(QStringLiteral("abc"), QString(), false, QString()));
    EXPECT_FALSE(canProtect(QString(), QString(), false, QString()));
    EXPECT_TRUE(canProtect(QStringLiteral("abc"), QStringLiteral("abc"), false, QString()));
    EXPECT_FALSE(canProtect(QStringLiteral("abc"), QStringLiteral("abc"), true, QString()));
    EXPECT_TRUE(canProtect(QStringLiteral("abc"), QStringLiteral("abc"), true, QStringLiteral("abc")));
    // Canonically equivalent texts match.
    EXPECT_FALSE(showsMismatch(kComposed, kDecomposed));
    EXPECT_TRUE(canProtect(kComposed, kDecomposed, false, QString()));
}

TEST(PasswordSheet, ValidatesAndProtectsWithTheTypedPasswords)
{
    PanelFixture f;
    int dismissed = 0;
    PasswordSheet sheet(f.editor.get(), [&dismissed] { ++dismissed; });
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    EXPECT_TRUE(sheet.passwordField()->hasFocus());
    EXPECT_EQ(sheet.hint()->text(),
              QStringLiteral("Encrypted when the document saves. Forget it and nobody can recover it, us included."));
    EXPECT_FALSE(sheet.protectButton()->isEnabled());
    EXPECT_FALSE(sheet.ownerField()->isVisible());

    QTest::keyClicks(sheet.passwordField(), QStringLiteral("hunter2"));
    EXPECT_FALSE(sheet.hintIsWarning());
    sheet.verifyField()->setText(QStringLiteral("hunt"));
    EXPECT_TRUE(sheet.hintIsWarning());
    EXPECT_EQ(sheet.hint()->text(), QStringLiteral("Those don’t match yet."));
    // Return does nothing while "Protect" is disabled.
    QTest::keyClick(sheet.verifyField(), Qt::Key_Return);
    EXPECT_EQ(dismissed, 0);
    sheet.verifyField()->setText(QStringLiteral("hunter2"));
    EXPECT_FALSE(sheet.hintIsWarning());
    EXPECT_TRUE(sheet.protectButton()->isEnabled());

    // An owner password is required once asked for; typed, then the toggle turned off, it is not used.
    sheet.separateOwnerToggle()->setChecked(true);
    EXPECT_TRUE(sheet.ownerField()->isVisible());
    EXPECT_FALSE(sheet.protectButton()->isEnabled());
    sheet.ownerField()->setText(QStringLiteral("hunter2"));
    EXPECT_TRUE(sheet.protectButton()->isEnabled());
    sheet.separateOwnerToggle()->setChecked(false);
    EXPECT_EQ(sheet.ownerField()->text(), QStringLiteral("hunter2")) << "the owner text is kept while hidden";

    QTest::keyClick(sheet.verifyField(), Qt::Key_Return);
    EXPECT_EQ(dismissed, 1);
    ASSERT_TRUE(f.document->protection().has_value());
    EXPECT_EQ(f.document->protection()->userPassword, QStringLiteral("hunter2"));
    EXPECT_FALSE(f.document->protection()->ownerPassword.has_value());
    EXPECT_TRUE(f.editor->isPasswordProtected());
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Password Protect"));
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Locked. Don’t forget the password; nobody can recover it."));
}

TEST(PasswordSheet, SeparateOwnerAndCancel)
{
    PanelFixture f;
    int dismissed = 0;
    {
        PasswordSheet sheet(f.editor.get(), [&dismissed] { ++dismissed; });
        sheet.passwordField()->setText(QStringLiteral("open"));
        sheet.verifyField()->setText(QStringLiteral("open"));
        sheet.separateOwnerToggle()->setChecked(true);
        sheet.ownerField()->setText(QStringLiteral("edit"));
        click(sheet.protectButton());
        ASSERT_TRUE(f.document->protection().has_value());
        EXPECT_EQ(f.document->protection()->ownerPassword, QStringLiteral("edit"));
    }
    PasswordSheet other(f.editor.get(), [&dismissed] { ++dismissed; });
    other.passwordField()->setText(QStringLiteral("x"));
    other.verifyField()->setText(QStringLiteral("x"));
    QTest::keyClick(other.passwordField(), Qt::Key_Escape);
    EXPECT_EQ(dismissed, 2);
    EXPECT_EQ(f.document->protection()->userPassword, QStringLiteral("open")) << "cancel changes nothing";
}

TEST(CompressRules, TitlesSavingsAndNames)
{
    EXPECT_EQ(presetTitle(CompressionPreset::light), QStringLiteral("Low"));
    EXPECT_EQ(presetTitle(CompressionPreset::balanced), QStringLiteral("Medium"));
    EXPECT_EQ(presetTitle(CompressionPreset::tiny), QStringLiteral("High"));
    EXPECT_EQ(presetDescription(CompressionPreset::light), QStringLiteral("Barely touches quality."));
    EXPECT_TRUE(presetDescription(CompressionPreset::tiny)
                    .endsWith(QStringLiteral(". Scanned and photo pages are re-rendered; text stays sharp and selectable.")));

    auto saving = [](qint64 original, qint64 compressed) { return savingText(original, compressed); };
    EXPECT_EQ(saving(1000, 400)->text, QStringLiteral("\u221260%"));
    EXPECT_TRUE(saving(1000, 400)->accent);
    EXPECT_EQ(saving(1000, 996)->text, QStringLiteral("Already lean"));
    EXPECT_EQ(saving(1000, 994)->text, QStringLiteral("\u22121%"));
    EXPECT_EQ(saving(1000, 995)->text, QStringLiteral("\u22121%")) << "one minus 0.995 is a hair over 0.005";
    EXPECT_EQ(saving(1000, 1500)->text, QStringLiteral("Already lean"));
    EXPECT_FALSE(saving(1000, 1500)->accent);
    EXPECT_FALSE(saving(0, 0).has_value());

    EXPECT_EQ(compressedFileName(QStringLiteral("Report")), QStringLiteral("Report (compressed).pdf"));
    EXPECT_EQ(fileSizeText(0), QStringLiteral("Zero KB"));
    EXPECT_EQ(fileSizeText(400), QStringLiteral("400 bytes"));
    EXPECT_EQ(fileSizeText(412'300), QStringLiteral("412 KB"));
    EXPECT_EQ(fileSizeText(999'600), QStringLiteral("1 MB"));
    EXPECT_EQ(fileSizeText(1'250'000), QStringLiteral("1.3 MB"));
    EXPECT_EQ(compressedSavedToast(400'000, 1'000'000), QStringLiteral("Saved 400 KB, down from 1 MB."));
}

TEST(CompressSheet, SnapshotOnceThenEachPresetOnce)
{
    PanelFixture f(2);
    auto runner = std::make_shared<HeldWork>();
    f.editor->setDetachedRunner(runner);
    const QStringList before = snapshotFiles();
    int dismissed = 0;
    CompressSheet sheet(f.editor.get(), [&dismissed] { ++dismissed; });
    EXPECT_EQ(sheet.preset(), CompressionPreset::balanced);
    ASSERT_EQ(sheet.presetButtons().size(), 3);
    EXPECT_TRUE(sheet.presetButtons()[1]->isChecked());
    EXPECT_TRUE(sheet.nowIsPending());
    EXPECT_TRUE(sheet.afterIsPending());
    EXPECT_FALSE(sheet.saveButton()->isEnabled());

    sheet.show();
    // "Now" fills in first; the snapshot file is gone again.
    ASSERT_TRUE(sheet.original().has_value());
    EXPECT_TRUE(sheet.original()->startsWith("%PDF-"));
    EXPECT_EQ(snapshotFiles(), before);
    EXPECT_FALSE(sheet.nowIsPending());
    EXPECT_EQ(sheet.nowText()->text(), fileSizeText(sheet.original()->size()));
    auto* now = qobject_cast<vmk::chrome::RollingLabel*>(sheet.nowText());
    ASSERT_NE(now, nullptr);
    EXPECT_FALSE(now->isRolling()) << "a size that arrives appears; it has nothing to roll from";
    EXPECT_TRUE(sheet.afterIsPending());
    EXPECT_FALSE(sheet.savingLabel()->isVisible());
    EXPECT_EQ(runner->held(), 1);

    // Switching while Medium runs starts High at once; Medium's result still lands under Medium.
    click(sheet.presetButtons()[2]);
    EXPECT_EQ(runner->held(), 2);
    ASSERT_TRUE(runner->runAt(0));
    EXPECT_TRUE(sheet.results().contains(CompressionPreset::balanced));
    EXPECT_TRUE(sheet.afterIsPending()) << "High is still running";
    EXPECT_FALSE(sheet.saveButton()->isEnabled());
    runner->runAll();
    EXPECT_FALSE(sheet.afterIsPending());
    EXPECT_TRUE(sheet.saveButton()->isEnabled());
    EXPECT_LE(sheet.results().value(CompressionPreset::tiny).size(), sheet.original()->size());

    auto* after = qobject_cast<vmk::chrome::RollingLabel*>(sheet.afterText());
    ASSERT_NE(after, nullptr);
    EXPECT_FALSE(after->isRolling());
    const QString tinyText = after->text();

    // Back to a finished preset: shown at once, nothing compressed again; its size counts on from the
    // last one on the settling spring (when the two read differently).
    click(sheet.presetButtons()[1]);
    EXPECT_EQ(after->text(), fileSizeText(sheet.results().value(CompressionPreset::balanced).size()));
    EXPECT_EQ(after->isRolling(), after->text() != tinyText);
    if (after->isRolling())
        EXPECT_EQ(after->rollAnimation().duration(), vmk::chrome::settlingSpringMotion().durationMs);
    EXPECT_EQ(runner->held(), 0);
    EXPECT_FALSE(sheet.afterIsPending());
    EXPECT_TRUE(sheet.descriptionLabel()->text().startsWith(QStringLiteral("Smaller. Still looks great.")));
    EXPECT_FALSE(f.undo().canUndo()) << "the export changes nothing in the document";

    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_EQ(dismissed, 1);
}

TEST(CompressSheet, SavesTheChosenResultUnderTheSuggestedName)
{
    PanelFixture f(2);
    auto runner = std::make_shared<HeldWork>();
    f.editor->setDetachedRunner(runner);
    SheetWindow window;
    f.editor->setWindowController(&window);
    window.savePath = f.dir.filePath(QStringLiteral("out.pdf"));
    QList<QString> order;
    CompressSheet sheet(f.editor.get(), [&order] { order << QStringLiteral("dismiss"); });
    sheet.prepare();
    runner->runAll();
    ASSERT_TRUE(sheet.saveButton()->isEnabled());
    QTest::keyClick(&sheet, Qt::Key_Return);

    EXPECT_EQ(order, QList<QString>{QStringLiteral("dismiss")});
    ASSERT_EQ(window.savePanels.size(), 1);
    EXPECT_EQ(window.savePanels[0].suggestedName, QStringLiteral("Panels (compressed).pdf"));
    EXPECT_EQ(window.savePanels[0].extension, QStringLiteral("pdf"));
    QFile written(*window.savePath);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), sheet.results().value(CompressionPreset::balanced));
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text,
              compressedSavedToast(sheet.results().value(CompressionPreset::balanced).size(), sheet.original()->size()));
    EXPECT_EQ(f.editor->toast()->style, Toast::Style::success);

    // A cancelled panel writes nothing and shows no toast.
    f.editor.get()->showToast(QStringLiteral("marker"), QString(), Toast::Style::info);
    window.savePath.reset();
    sheet.save();
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("marker"));
}

TEST(CompressSheet, NoWindowOrNoDocumentFailsQuietly)
{
    PanelFixture f(1);
    auto runner = std::make_shared<HeldWork>();
    f.editor->setDetachedRunner(runner);
    int dismissed = 0;
    CompressSheet sheet(f.editor.get(), [&dismissed] { ++dismissed; });
    sheet.prepare();
    runner->runAll();
    sheet.save(); // no window controller: the sheet closes and the copy is dropped
    EXPECT_EQ(dismissed, 1);
    EXPECT_FALSE(f.editor->toast().has_value());

    // Bytes that are not a PDF give no result.
    EXPECT_FALSE(compressSnapshot(QByteArray("not a pdf"), CompressionPreset::light).has_value());
}
