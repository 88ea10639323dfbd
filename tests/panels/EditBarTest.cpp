#include "PanelTestSupport.h"

#include "core/pdfium/PDFEditSession.h"
#include "panels/EditBar.h"
#include "panels/ToolPalette.h"
#include "support/EditPdf.h"

#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

namespace {

EditTarget textTarget(qint64 id, bool editable, std::optional<QString> reason = std::nullopt)
{
    core::EditableTextBlock block;
    block.id = id;
    block.bounds = QRectF(72, 700, 200, 14);
    block.text = QStringLiteral("Heading");
    block.isEditable = editable;
    block.reason = std::move(reason);
    return EditTarget::text(block, 0);
}

EditTarget pictureTarget()
{
    core::EditableImage image;
    image.id = 9;
    image.bounds = QRectF(100, 100, 50, 50);
    return EditTarget::picture(image, 0);
}

} // namespace

TEST(EditBar, MessageAndButtonsFollowTheSelection)
{
    PanelFixture f;
    bool reduce = false;
    EditBar bar(f.editor.get(), [&reduce] { return reduce; });
    EXPECT_EQ(bar.messageLabel()->text(), QStringLiteral("Click any text to change it. Pictures move and swap."));
    EXPECT_EQ(bar.replaceButton(), nullptr);
    EXPECT_EQ(bar.deleteButton(), nullptr);
    EXPECT_FALSE(bar.lastMotion());

    // The hover never changes the bar.
    f.editor->setEditHover(pictureTarget());
    EXPECT_EQ(bar.replaceButton(), nullptr);
    EXPECT_FALSE(bar.lastMotion());

    f.editor->setEditSelection(pictureTarget());
    EXPECT_EQ(bar.messageLabel()->text(), QStringLiteral("Picture selected. Drag to move, corners to resize."));
    ASSERT_NE(bar.replaceButton(), nullptr);
    EXPECT_EQ(bar.replaceButton()->text(), QStringLiteral("Replace…"));
    ASSERT_NE(bar.deleteButton(), nullptr);
    EXPECT_EQ(bar.deleteButton()->property("buttonRole").toString(), QStringLiteral("destructive"));
    ASSERT_TRUE(bar.lastMotion());
    EXPECT_EQ(bar.lastMotion()->durationMs, chrome::modeChangeMotion(false).durationMs);

    reduce = true;
    const QString reason = QStringLiteral("This text is drawn as outlines, so it has no letters to change.");
    f.editor->setEditSelection(textTarget(1, false, reason));
    EXPECT_EQ(bar.messageLabel()->text(), reason);
    EXPECT_TRUE(bar.messageLabel()->wordWrap());
    EXPECT_EQ(bar.messageLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(bar.deleteButton(), nullptr);
    EXPECT_EQ(bar.replaceButton(), nullptr);
    EXPECT_EQ(bar.lastMotion()->durationMs, 200);

    f.editor->setEditSelection(textTarget(2, false));
    EXPECT_EQ(bar.messageLabel()->text(), QStringLiteral("This text can’t be edited."));

    f.editor->setEditSelection(textTarget(3, true));
    EXPECT_EQ(bar.messageLabel()->text(), QStringLiteral("Enter to edit, Backspace to delete, Esc to deselect."));
    EXPECT_EQ(bar.replaceButton(), nullptr);
    EXPECT_NE(bar.deleteButton(), nullptr);
    settle();
}

TEST(EditBar, DeleteRemovesThePictureAndTheHintComesBack)
{
    if (!QFileInfo::exists(core::PDFEditSession::pdfiumLibraryPath()))
        GTEST_SKIP() << "PDFium is not in this build";
    PanelFixture f;
    vmk::test::EditPageSpec page;
    page.images = {QRectF(100, 100, 120, 80)};
    f.document->setPdf(pdf::Document::fromData(vmk::test::makeEditPdf({page})).value());
    f.editor->attachDocument(false);
    f.editor->setMode(EditorMode::edit);
    ASSERT_NE(f.editor->editSession(), nullptr);
    EditBar bar(f.editor.get(), [] { return true; });
    f.editor->setEditSelection(f.editor->editTargetAt(0, QPointF(150, 150)));
    ASSERT_NE(bar.deleteButton(), nullptr);
    click(bar.deleteButton());
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Delete Image"));
    EXPECT_FALSE(f.editor->editTargetAt(0, QPointF(150, 150)));
    EXPECT_EQ(bar.messageLabel()->text(), QStringLiteral("Click any text to change it. Pictures move and swap."));
    settle();
}

// Pictures of the edit bar in the palette for a person to look at; each bar is built on its selection (a
// change fades the new message in, which a grab would catch half-drawn). Checks only that the bar grew.
TEST(EditBar, ScreenshotsOfEachMessage)
{
    PanelFixture f;
    f.editor->setMode(EditorMode::edit);
    const struct {
        std::optional<EditTarget> selection;
        QString name;
    } shots[] = {{std::nullopt, QStringLiteral("palette-edit-empty.png")},
                 {pictureTarget(), QStringLiteral("palette-edit-picture.png")},
                 {textTarget(3, true), QStringLiteral("palette-edit-text.png")}};
    int previousWidth = 0;
    for (const auto& shot : shots) {
        f.editor->setEditSelection(shot.selection);
        ToolPalette palette(f.editor.get());
        palette.setReduceMotionProvider([] { return true; });
        ASSERT_NE(palette.barWidget(), nullptr);
        palette.adjustSize();
        palette.show();
        settle();
        const QImage image = palette.grab().toImage();
        EXPECT_TRUE(image.save(screenshotPath(shot.name)));
        EXPECT_NE(image.width(), previousWidth);
        previousWidth = image.width();
    }
    settle();
}
