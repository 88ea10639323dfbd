#include "PanelTestSupport.h"

#include "panels/ToolPalette.h"
#include "signatures/SignatureArtwork.h"
#include "signatures/SignatureStore.h"
#include "signatures/SignatureStyles.h"

#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

namespace {

// The palette over a plain page-coloured backdrop, as it floats over the canvas.
QImage shoot(ToolPalette& palette)
{
    QWidget backdrop;
    backdrop.setAutoFillBackground(true);
    QPalette pal = backdrop.palette();
    pal.setColor(QPalette::Window, QColor(226, 226, 230));
    backdrop.setPalette(pal);
    auto* row = new QHBoxLayout(&backdrop);
    row->setContentsMargins(10, 10, 10, 10);
    row->addWidget(&palette);
    backdrop.show();
    backdrop.adjustSize();
    settle();
    const QImage image = backdrop.grab().toImage();
    row->removeWidget(&palette);
    palette.setParent(nullptr);
    return image;
}

} // namespace

// Pictures of each mode's palette for a person to look at; checks only that something was drawn.
TEST(PaletteScreenshots, EachModeDrawsItsBar)
{
    PanelFixture f(12);
    QTemporaryDir storeDir;
    signatures::SignatureStore store(storeDir.path());
    for (int i = 0; i < 2; ++i) {
        signatures::InkStroke stroke;
        for (int k = 0; k <= 30; ++k)
            stroke.append({QPointF(10 + 4.0 * k, 30 + 12 * std::sin(k / (3.0 + i))), 2.2});
        store.add(signatures::inkSignaturePDF({stroke}, signatures::signatureInkColors()[i].color).value_or(QByteArray()));
    }
    ToolPalette palette(f.editor.get(), &store);
    palette.setReduceMotionProvider([] { return true; });

    struct Shot {
        EditorMode mode;
        QString name;
        std::function<void()> prepare;
    };
    const QList<Shot> shots{
        {EditorMode::annotate, "palette-annotate-pen.png", [&] { f.editor->setTool(Tool::pen); }},
        {EditorMode::annotate, "palette-annotate-crop.png",
         [&] {
             f.editor->setTool(Tool::crop);
             f.editor->setPendingCrop(PendingCrop{f.page(0), QRectF(40, 40, 300, 300)});
         }},
        {EditorMode::sign, "palette-sign.png", [] {}},
        {EditorMode::pages, "palette-pages.png", [&] { f.editor->setOrganizerSelection({2, 5}); }},
        {EditorMode::redact, "palette-redact.png",
         [&] { f.addRedactionMark(0, QRectF(72, 600, 200, 20)); }},
    };
    for (const Shot& shot : shots) {
        f.editor->setMode(shot.mode);
        shot.prepare();
        settle();
        const QImage image = shoot(palette);
        ASSERT_FALSE(image.isNull()) << shot.name.toStdString();
        EXPECT_GT(image.width(), 100) << shot.name.toStdString();
        EXPECT_TRUE(image.save(screenshotPath(shot.name)));
    }
    settle();
}
