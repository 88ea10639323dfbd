#include "OverlayTestSupport.h"

#include "chrome/CanvasOverlays.h"
#include "chrome/CanvasRoot.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "support/Appearances.h"
#include "support/MotionClock.h"
#include "views/PDFCanvasView.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::chrome;

namespace {

// The first pixel of `rect` that is see-through or darker than the window colour (the palest thing
// the reveal may start from), as "x,y r g b a"; empty when there is none.
std::string firstDarkPixel(const QImage& shot, const QRect& rect, const QColor& window)
{
    const int floor = std::min({window.red(), window.green(), window.blue()}) - 3;
    for (int y = rect.top(); y <= rect.bottom(); y += 3) {
        for (int x = rect.left(); x <= rect.right(); x += 3) {
            const QColor c = shot.pixelColor(x, y);
            if (c.alpha() < 255 || std::min({c.red(), c.green(), c.blue()}) < floor)
                return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(c.red()) + " "
                    + std::to_string(c.green()) + " " + std::to_string(c.blue()) + " " + std::to_string(c.alpha());
        }
    }
    return {};
}

} // namespace

// A window caught as it opens, before a single page has been drawn, shows the window's colour going over
// into white paper, never black: at the reveal's first frame, in its middle and at its end, in both
// appearances. (Painted through an opacity effect, the canvas left what lay under it unpainted.)
TEST(CanvasReveal, PagesNotYetDrawnShowPaperNeverBlackWhileTheCanvasComesIn)
{
    for (const bool dark : {false, true}) {
        platform::ManualScheduler scheduler;
        QTemporaryDir dir;
        platform::UserDefaults defaults{dir.filePath(QStringLiteral("defaults.ini"))};
        core::VMKDocument document;
        pdf::DocumentPtr pdf = pdf::Document::createEmpty();
        for (int i = 0; i < 3; ++i)
            pdf->insertPage(pdf::Page::createBlank(QRectF(0, 0, 612, 792)), i);
        document.setPdf(pdf);
        Editor editor(&document, [] { return std::make_unique<views::PDFCanvasView>(); }, &scheduler, &defaults);
        CanvasRoot root(&editor);
        root.setPalette(test::appearancePalette(dark));
        root.setReduceMotionProvider([] { return false; });
        root.resize(700, 500);
        root.show();
        // Only the canvas is looked at: the floating bars keep their own glass over it.
        root.topOverlay()->hide();
        root.bottomOverlay()->hide();
        auto* canvas = static_cast<views::PDFCanvasView*>(editor.pdfView());
        ASSERT_EQ(root.canvasHost(), canvas);
        ASSERT_EQ(root.revealAnimation().state(), QAbstractAnimation::Running);
        const QColor window = root.palette().color(QPalette::Window);

        const int duration = root.revealAnimation().duration();
        for (const int ms : {0, 30, duration / 3, duration - 1, duration}) {
            test::at(root.revealAnimation(), ms);
            const QImage shot = root.grab().toImage().convertToFormat(QImage::Format_ARGB32);
            // The first page as the canvas lays it out, where the canvas stands at this moment.
            const QRect page = canvas->convertRectFromPage(QRectF(0, 0, 612, 792), 0)
                                   .toAlignedRect()
                                   .translated(canvas->viewport()->mapTo(&root, QPoint(0, 0)))
                                   .adjusted(2, 2, -2, -2)
                                   .intersected(QRect(canvas->viewport()->mapTo(&root, QPoint(0, 0)),
                                                      canvas->viewport()->size()))
                                   .intersected(root.rect());
            ASSERT_FALSE(page.isEmpty());
            EXPECT_EQ(firstDarkPixel(shot, page, window), "") << (dark ? "dark" : "light") << " at " << ms << " ms";
            // The band the canvas has not yet risen into is the window's colour too.
            const int band = canvas->geometry().top();
            if (band > 2)
                EXPECT_EQ(firstDarkPixel(shot, QRect(0, 0, root.width(), band - 1), window), "") << ms << " ms";
        }
        // Once in, the paper is plain white and nothing is left over the canvas.
        const QImage settled = root.grab().toImage();
        const QRect page = canvas->convertRectFromPage(QRectF(0, 0, 612, 792), 0)
                               .toAlignedRect()
                               .translated(canvas->viewport()->mapTo(&root, QPoint(0, 0)));
        EXPECT_EQ(settled.pixelColor(page.center()), QColor(Qt::white));
        EXPECT_EQ(canvas->graphicsEffect(), nullptr);
    }
}
