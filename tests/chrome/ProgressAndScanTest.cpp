#include "OverlayTestSupport.h"

#include "chrome/CanvasOverlays.h"
#include "chrome/CanvasRoot.h"
#include "chrome/FeedbackMarks.h"
#include "chrome/PagePill.h"
#include "chrome/ProgressPill.h"
#include "chrome/ScanBanner.h"
#include "chrome/ScanSweep.h"
#include "editor/LongTask.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include "support/PdfBuilder.h"
#include "support/Wait.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::chrome;
using vmk::test::OverlayFixture;

namespace {

TaskProgress task(const QString& title, std::optional<double> fraction, std::function<void()> cancel = {})
{
    TaskProgress p;
    p.kind = TaskProgress::Kind::ocr;
    p.title = title;
    p.fraction = fraction;
    p.cancel = std::move(cancel);
    return p;
}

// Keeps per-page work back, so a started task stays where it began.
struct HeldRunner : DetachedRunner {
    int held = 0;
    void run(QObject*, std::function<void()>, std::function<void()>) override { ++held; }
};

} // namespace

TEST(ProgressPill, ShowsBarOnlyForAKnownFractionAndStopOnlyWhenStoppable)
{
    ProgressPill indeterminate(task(QStringLiteral("Flattening…"), std::nullopt));
    EXPECT_TRUE(indeterminate.bar()->isHidden());
    EXPECT_TRUE(indeterminate.stopButton()->isHidden());
    EXPECT_FALSE(indeterminate.busyMark()->isHidden());
    EXPECT_EQ(indeterminate.titleLabel()->text(), QStringLiteral("Flattening…"));

    int stops = 0;
    ProgressPill pill(task(QStringLiteral("Reading page 1 of 12…"), 0.0, [&] { ++stops; }));
    pill.setReduceMotionProvider([] { return false; });
    EXPECT_FALSE(pill.bar()->isHidden());
    EXPECT_EQ(pill.bar()->width(), 140);
    EXPECT_DOUBLE_EQ(pill.shownFraction(), 0.0);
    pill.stopButton()->click();
    pill.stopButton()->click();
    EXPECT_EQ(stops, 2);

    // A new fraction slides over 0.3 s on the smooth curve; titles show as given.
    pill.setProgress(task(QStringLiteral("Reading page 10 of 12…"), 0.5, [&] { ++stops; }));
    EXPECT_EQ(pill.titleLabel()->text(), QStringLiteral("Reading page 10 of 12…"));
    EXPECT_EQ(pill.barAnimation().duration(), 300);
    EXPECT_EQ(pill.barAnimation().endValue().toDouble(), 0.5);
    pill.setReduceMotionProvider([] { return true; });
    pill.setProgress(task(QStringLiteral("Reading page 11 of 12…"), 1.0));
    EXPECT_EQ(pill.barAnimation().duration(), 200);
    EXPECT_TRUE(pill.stopButton()->isHidden());
}

TEST(ProgressPill, AppearsOnlyAfterTheTaskRanABitAndLeavesWithIt)
{
    OverlayFixture f(3);
    CanvasRoot root(f.editor.get());
    root.setReduceMotionProvider([] { return true; });
    root.resize(800, 600);
    int stops = 0;
    f.editor->setProgress(task(QStringLiteral("Reading page 1 of 3…"), 0.0, [&] { ++stops; }));
    EXPECT_EQ(root.bottomOverlay()->progressPill(), nullptr);
    f.scheduler.advance(0.39);
    EXPECT_EQ(root.bottomOverlay()->progressPill(), nullptr);
    f.scheduler.advance(0.02);
    ProgressPill* pill = root.bottomOverlay()->progressPill();
    ASSERT_NE(pill, nullptr);
    pill->stopButton()->click();
    EXPECT_EQ(stops, 1);

    // The pill follows the task's progress and sits above the page pill.
    f.editor->setProgress(task(QStringLiteral("Reading page 2 of 3…"), 0.5, [&] { ++stops; }));
    EXPECT_EQ(pill->titleLabel()->text(), QStringLiteral("Reading page 2 of 3…"));
    ASSERT_NE(root.bottomOverlay()->pagePill(), nullptr);
    EXPECT_LT(pill->geometry().top(), root.bottomOverlay()->pagePill()->geometry().top());

    f.editor->setProgress(std::nullopt);
    EXPECT_EQ(root.bottomOverlay()->progressPill(), nullptr);

    // A task that ends within the delay never shows the pill.
    f.editor->setProgress(task(QStringLiteral("Quick"), std::nullopt));
    f.scheduler.advance(0.2);
    f.editor->setProgress(std::nullopt);
    f.scheduler.advance(1.0);
    EXPECT_EQ(root.bottomOverlay()->progressPill(), nullptr);
}

TEST(ScanSweep, RunsFromAboveTheTopToBelowTheBottomOnlyForRecognition)
{
    EXPECT_EQ(scanBandOffset(false, 600), -46);
    EXPECT_EQ(scanBandOffset(true, 600), 600);
    ScanSweep sweep(false);
    sweep.resize(400, 600);
    EXPECT_FALSE(sweep.isDown());
    EXPECT_EQ(sweep.bandOffset(), -46);
    sweep.show();
    EXPECT_TRUE(sweep.isDown());
    EXPECT_EQ(sweep.sweep().duration(), 1650);
    EXPECT_EQ(sweep.sweep().loopCount(), -1);
    EXPECT_TRUE(sweep.testAttribute(Qt::WA_TransparentForMouseEvents));
    ScanSweep still(true);
    still.show();
    EXPECT_FALSE(still.isDown());

    OverlayFixture f(3);
    CanvasRoot root(f.editor.get());
    root.setReduceMotionProvider([] { return true; });
    TaskProgress generic = task(QStringLiteral("Exporting"), 0.0);
    generic.kind = TaskProgress::Kind::generic;
    f.editor->setProgress(generic);
    EXPECT_EQ(root.scanSweep(), nullptr);
    f.editor->setProgress(std::nullopt);
    f.editor->setProgress(task(QStringLiteral("Reading"), 0.0));
    ASSERT_NE(root.scanSweep(), nullptr);
    f.editor->setMode(EditorMode::pages);
    EXPECT_EQ(root.scanSweep(), nullptr);
    f.editor->setMode(EditorMode::read);
    ASSERT_NE(root.scanSweep(), nullptr);
    f.editor->setProgress(std::nullopt);
    EXPECT_EQ(root.scanSweep(), nullptr);
}

TEST(ScanBanner, CloseOnlyPutsTheOfferAway)
{
    OverlayFixture f(2);
    CanvasRoot root(f.editor.get());
    root.setReduceMotionProvider([] { return true; });
    f.editor->setShowScanSuggestion(true);
    ScanBanner* banner = root.topOverlay()->scanBanner();
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->closeButton()->toolTip(), QStringLiteral("Not now"));

    // Only in Read mode.
    f.editor->setMode(EditorMode::annotate);
    EXPECT_EQ(root.topOverlay()->scanBanner(), nullptr);
    f.editor->setMode(EditorMode::read);
    banner = root.topOverlay()->scanBanner();
    ASSERT_NE(banner, nullptr);

    const int edits = f.document.changeCount();
    banner->closeButton()->click();
    EXPECT_FALSE(f.editor->showScanSuggestion());
    EXPECT_EQ(root.topOverlay()->scanBanner(), nullptr);
    EXPECT_FALSE(f.editor->toast().has_value());
    EXPECT_EQ(f.document.changeCount(), edits);
}

TEST(ScanBanner, MakeSearchableStartsRecognitionUnlessBusy)
{
    OverlayFixture f(2);
    auto runner = std::make_shared<HeldRunner>();
    f.editor->setDetachedRunner(runner);
    CanvasRoot root(f.editor.get());
    root.setReduceMotionProvider([] { return true; });

    // Busy: nothing happens, the banner stays.
    f.editor->setShowScanSuggestion(true);
    f.editor->setProgress(task(QStringLiteral("Exporting"), std::nullopt));
    root.topOverlay()->scanBanner()->makeSearchableButton()->click();
    EXPECT_TRUE(f.editor->showScanSuggestion());
    EXPECT_NE(root.topOverlay()->scanBanner(), nullptr);
    EXPECT_EQ(runner->held, 0);
    f.editor->setProgress(std::nullopt);

    root.topOverlay()->scanBanner()->makeSearchableButton()->click();
    EXPECT_FALSE(f.editor->showScanSuggestion());
    EXPECT_EQ(root.topOverlay()->scanBanner(), nullptr);
    // The pages' text is read on workers before the task starts.
    ASSERT_TRUE(test::eventually([&] { return f.editor->progress().has_value(); }, 20000));
    EXPECT_EQ(f.editor->progress()->kind, TaskProgress::Kind::ocr);
    EXPECT_GE(runner->held, 1); // a page per worker
    EXPECT_NE(root.scanSweep(), nullptr);
    f.scheduler.advance(0.41);
    EXPECT_NE(root.bottomOverlay()->progressPill(), nullptr);
}

TEST(ScanBanner, DocumentWithTextIsAlreadySearchable)
{
    pdf::DocumentPtr pdf = pdf::Document::fromData([] {
        // A one-page PDF with a line of text.
        const QByteArray content = "BT /F1 24 Tf 72 700 Td (Hello) Tj ET";
        return test::assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
                                  " /Resources << /Font << /F1 5 0 R >> >> >>",
                                  test::pdfStream({}, content), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"});
    }()).value();
    OverlayFixture f(0, pdf);
    CanvasRoot root(f.editor.get());
    f.editor->setShowScanSuggestion(true);
    root.topOverlay()->scanBanner()->makeSearchableButton()->click();
    EXPECT_FALSE(f.editor->showScanSuggestion());
    ASSERT_TRUE(test::eventually([&] { return f.editor->toast().has_value(); }, 20000));
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Already searchable. Every page has text."));
    EXPECT_FALSE(f.editor->progress().has_value());
}
