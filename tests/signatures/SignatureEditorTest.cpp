#include "signatures/SignatureArtwork.h"
#include "signatures/SignatureEditorModel.h"
#include "signatures/SignatureEditorParts.h"
#include "signatures/SignatureEditorView.h"
#include "signatures/SignaturePadModel.h"
#include "signatures/SignaturePadView.h"
#include "signatures/SignatureStore.h"
#include "signatures/SignatureTestSupport.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk::signatures;

namespace {

class SignatureEditorTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    SignatureStore store{root.filePath("Signatures")};
    QList<SavedSignature> placed;

    std::unique_ptr<SignatureEditorView> makeEditor(QList<SignatureFont> fonts = signatureFonts())
    {
        auto editor = std::make_unique<SignatureEditorView>(store, std::move(fonts),
                                                            [this](const SavedSignature& s) { placed.append(s); });
        editor->show();
        return editor;
    }
};

TEST_F(SignatureEditorTest, DrawingEnablesSavingAndClearDisablesItAgain)
{
    auto editor = makeEditor();
    EXPECT_EQ(editor->model()->kind(), SignatureEditorModel::Kind::draw);
    EXPECT_FALSE(editor->saveButton()->isEnabled());
    EXPECT_FALSE(editor->clearButton()->isEnabled());
    EXPECT_TRUE(editor->drawArea()->isPlaceholderShown());

    // A single click on the pad is enough ink to save.
    SignaturePadView* pad = editor->drawArea()->padView();
    QTest::mouseClick(pad, Qt::LeftButton, {}, QPoint(80, 80));
    EXPECT_TRUE(editor->saveButton()->isEnabled());
    EXPECT_TRUE(editor->clearButton()->isEnabled());
    EXPECT_FALSE(editor->drawArea()->isPlaceholderShown());

    editor->clearButton()->click();
    EXPECT_FALSE(editor->saveButton()->isEnabled());
    EXPECT_TRUE(editor->drawArea()->isPlaceholderShown());
    editor->save();
    EXPECT_TRUE(store.signatures().isEmpty());
    EXPECT_TRUE(editor->isVisible());

    // Ink too small to make artwork still counts as ink, but saving leaves the sheet open as it was.
    editor->model()->pad()->setStrokes({{{QPointF(40, 40), 0.9}}});
    EXPECT_TRUE(editor->saveButton()->isEnabled());
    editor->saveButton()->click();
    EXPECT_TRUE(store.signatures().isEmpty());
    EXPECT_TRUE(placed.isEmpty());
    EXPECT_TRUE(editor->isVisible());
}

TEST_F(SignatureEditorTest, SaveAndPlaceStoresClosesThenHandsOverTheSignature)
{
    auto editor = makeEditor();
    QSignalSpy finished(editor.get(), &QDialog::finished);
    editor->model()->pad()->setStrokes(test::sampleStrokes());
    editor->inkDots().at(1)->click(); // Blue recolours what is drawn
    EXPECT_EQ(editor->model()->pad()->inkColor(), signatureInkColors().at(1).color);

    QTest::keyClick(editor.get(), Qt::Key_Return);
    ASSERT_EQ(store.signatures().size(), 1);
    ASSERT_EQ(placed.size(), 1);
    EXPECT_EQ(placed[0], store.signatures()[0]);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(editor->result(), QDialog::Accepted);
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(SignatureEditorTest, EscapeCancelsWithoutSaving)
{
    auto editor = makeEditor();
    editor->model()->pad()->setStrokes(test::sampleStrokes());
    QTest::keyClick(editor.get(), Qt::Key_Escape);
    EXPECT_EQ(editor->result(), QDialog::Rejected);
    EXPECT_TRUE(store.signatures().isEmpty());
    EXPECT_TRUE(placed.isEmpty());
}

TEST_F(SignatureEditorTest, TypingNeedsANonBlankNameAndSavesItTrimmed)
{
    auto editor = makeEditor();
    editor->model()->pad()->setStrokes(test::sampleStrokes());
    editor->kindButtons()->button(1)->click();
    EXPECT_EQ(editor->model()->kind(), SignatureEditorModel::Kind::type);
    EXPECT_FALSE(editor->clearButton()->isVisibleTo(editor.get()));
    EXPECT_FALSE(editor->saveButton()->isEnabled()); // strokes do not count on the Type tab

    QTest::keyClicks(editor->nameField(), "  \t ");
    EXPECT_FALSE(editor->saveButton()->isEnabled());
    editor->nameField()->setText("  Jane Appleseed\t");
    EXPECT_EQ(editor->model()->trimmedName(), "Jane Appleseed");
    EXPECT_TRUE(editor->saveButton()->isEnabled());
    ASSERT_FALSE(editor->fontTiles().isEmpty());
    EXPECT_EQ(editor->fontTiles()[0]->text(), "  Jane Appleseed\t"); // tiles show the name as typed
    editor->fontTiles().last()->click();
    EXPECT_EQ(editor->model()->fontIndex(), editor->fontTiles().size() - 1);

    editor->saveButton()->click();
    ASSERT_EQ(placed.size(), 1);
    const auto expected = typedSignaturePDF("Jane Appleseed", signatureFonts().last().postScript,
                                            signatureInkColors().first().color);
    ASSERT_TRUE(expected);
    EXPECT_EQ(test::firstPageSize(placed[0].pdfData), test::firstPageSize(*expected));

    // Switching back keeps the strokes.
    editor->kindButtons()->button(0)->click();
    EXPECT_TRUE(editor->model()->pad()->hasInk());
}

TEST_F(SignatureEditorTest, WithoutHandwritingFontsTypedSignaturesCannotBeSaved)
{
    auto editor = makeEditor({});
    editor->model()->setKind(SignatureEditorModel::Kind::type);
    editor->nameField()->setText("Jane");
    EXPECT_TRUE(editor->fontTiles().isEmpty());
    EXPECT_FALSE(editor->saveButton()->isEnabled());
    EXPECT_FALSE(editor->model()->save());
}

TEST_F(SignatureEditorTest, ChoosingTheTypeTabFocusesTheNameField)
{
    auto editor = makeEditor();
    editor->activateWindow();
    QApplication::setActiveWindow(editor.get());
    QSignalSpy chosen(editor->model(), &SignatureEditorModel::typeTabChosen);
    editor->kindButtons()->button(1)->click();
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_TRUE(editor->nameField()->hasFocus());
}

} // namespace
