#include "PanelTestSupport.h"

#include "core/SystemAnnotations.h"
#include "panels/PaletteButton.h"
#include "panels/SignBar.h"
#include "panels/SignatureSheet.h"
#include "panels/ToolPalette.h"
#include "signatures/SignatureArtwork.h"
#include "signatures/SignatureEditorView.h"
#include "signatures/SignatureStore.h"
#include "signatures/SignatureStyles.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QPainterPath>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

namespace {

QByteArray artwork(double width)
{
    signatures::InkStroke stroke;
    for (int i = 0; i <= 20; ++i)
        stroke.append({QPointF(10 + width * i / 20.0, 30 + (i % 2) * 8), 2.0});
    return signatures::inkSignaturePDF({stroke}, signatures::signatureInkColors().first().color).value_or(QByteArray());
}

} // namespace

TEST(SignBar, EmptyStoreOffersToCreateOne)
{
    PanelFixture f;
    QTemporaryDir storeDir;
    signatures::SignatureStore store(storeDir.path());
    int started = 0;
    SignBar bar(f.editor.get(), store, [&started] { ++started; });
    EXPECT_TRUE(bar.chips().isEmpty());
    EXPECT_EQ(bar.newButton(), nullptr);
    ASSERT_NE(bar.createButton(), nullptr);
    EXPECT_EQ(bar.createButton()->text(), QStringLiteral("Create Signature"));
    EXPECT_NE(findByName<QWidget>(&bar, QStringLiteral("Create Signature")), nullptr);
    click(bar.createButton());
    EXPECT_EQ(started, 1);

    // Without a window behind the Editor, the sheet cannot open and nothing happens.
    presentSignatureSheet(f.editor.get());
    presentSignatureSheet(nullptr);
}

TEST(SignBar, ChipsPlaceTheNewestFiveAndDeleteFromTheStore)
{
    PanelFixture f;
    f.editor->setMode(EditorMode::sign);
    QTemporaryDir storeDir;
    signatures::SignatureStore store(storeDir.path());
    QList<QUuid> ids;
    for (int i = 0; i < 7; ++i) {
        const auto saved = store.add(artwork(60 + 20 * i));
        ASSERT_TRUE(saved.has_value());
        ids.prepend(saved->id); // newest first
    }
    ToolPalette palette(f.editor.get(), &store);
    auto bar = [&] { return qobject_cast<SignBar*>(palette.barWidget()); };
    ASSERT_EQ(bar()->chips().size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(bar()->chips()[i]->signature().id, ids[i]);
    ASSERT_NE(bar()->newButton(), nullptr);
    EXPECT_EQ(bar()->newButton()->help(), QStringLiteral("New Signature"));
    EXPECT_EQ(bar()->chips()[0]->toolTip(), QStringLiteral("Place this signature"));

    // Artwork keeps its proportions inside the 84 × 26 box; the chip's size does not change.
    for (SignatureChip* chip : bar()->chips()) {
        const QRectF art = chip->artworkRect();
        EXPECT_LE(art.width(), 84.01);
        EXPECT_LE(art.height(), 26.01);
        EXPECT_NEAR(art.width() / art.height(), chip->signature().aspectRatio, 0.05);
        EXPECT_EQ(chip->size(), bar()->chips()[0]->size());
    }
    EXPECT_EQ(fitArtwork(QSizeF(1000, 10), QRectF(0, 0, 84, 26)).size(), QSizeF(84, 0.84));

    // Pointing raises a chip with a spring; leaving lets it back down.
    SignatureChip* chip = bar()->chips()[0];
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(chip, &enter);
    EXPECT_TRUE(chip->isHovering());
    EXPECT_EQ(chip->hoverAnimation().state(), QAbstractAnimation::Running);
    EXPECT_DOUBLE_EQ(chip->hoverAnimation().endValue().toDouble(), 1.0);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(chip, &leave);
    EXPECT_FALSE(chip->isHovering());
    EXPECT_DOUBLE_EQ(chip->hoverAnimation().endValue().toDouble(), 0.0);

    // A click places that signature on the current page, selected, undoable.
    click(bar()->chips()[1]);
    const pdf::AnnotationPtr placed = f.editor->selectedAnnotation();
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->userName(), QString(core::kSignatureTag));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Add Signature"));
    EXPECT_EQ(f.canvas->signatureWrites, 1);
    EXPECT_EQ(bar()->chips().size(), 5);

    // Deleting one of the five brings the sixth into the row.
    bar()->chips()[2]->removeSignature();
    settle();
    ASSERT_EQ(bar()->chips().size(), 5);
    EXPECT_EQ(bar()->chips()[4]->signature().id, ids[5]);
    EXPECT_FALSE(QFile::exists(store.artworkPath(ids[2])));
    settle();
}

TEST(SignBar, NewSignatureOpensTheSheetOnTheWindow)
{
    PanelFixture f;
    FakeWindowHost host;
    QWidget window;
    host.widget = &window;
    f.editor->setWindowController(&host);
    f.editor->setMode(EditorMode::sign);
    QTemporaryDir storeDir;
    signatures::SignatureStore store(storeDir.path());
    store.add(artwork(80));
    ToolPalette palette(f.editor.get(), &store);
    auto* bar = qobject_cast<SignBar*>(palette.barWidget());
    click(bar->newButton());
    auto sheets = window.findChildren<signatures::SignatureEditorView*>();
    ASSERT_EQ(sheets.size(), 1);
    sheets[0]->close();
    settle();
    f.editor->setWindowController(nullptr);
}
