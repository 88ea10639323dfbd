// Pages whose drawing no budget allows, met by each part of the core that draws pages: every one ends in
// a bounded time with an outcome the user can see, and the plain pages beside them come out as before.

#include "CoreFixtures.h"
#include "RebuildFixtures.h"

#include "core/PDFOps.h"
#include "core/PageRebuild.h"
#include "core/VMKDocument.h"
#include "core/pdfium/EditFidelity.h"

#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"

#include "support/MainThreadStall.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QPrinter>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using test::TestPage;

namespace {

bool bluish(const QColor& c) { return c.blue() > 180 && c.red() < 80 && c.green() < 80; }

} // namespace

TEST(DrawingBudget, PrintingPutsANoteWhereAPageCannotBeDrawnAndSaysWhich)
{
    QTemporaryDir dir;
    VMKDocument document;
    ASSERT_FALSE(document.openFile(test::writeFile(dir, "mixed.pdf",
                                                  test::testPagesPdf({TestPage::plain, TestPage::giantDecode,
                                                                      TestPage::absurdImage})))
                     .has_value());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    const QString out = dir.filePath("printed.pdf");
    printer.setOutputFileName(out);
    QElapsedTimer timer;
    timer.start();
    const platform::MaybeError error = document.print(printer);
    // Only that it ends: each page over its budget gives up within the budget's time.
    EXPECT_LT(timer.elapsed(), test::scaledMs(60000));
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->isCancel());
    EXPECT_EQ(error->message, QString::fromUtf8("Pages 2, 3 couldn’t be drawn, so the print shows a note in their place."));

    // Every page has its sheet: the plain one drawn, the others carrying the reason.
    EXPECT_TRUE(test::runCommand("pdfinfo", {out}).out.contains("Pages:           3"));
    const QImage first = coretest::renderWithPoppler(out, 1, 36);
    ASSERT_FALSE(first.isNull());
    EXPECT_GT(coretest::countPixels(first, first.rect(), bluish), 200);
    for (int sheet : {2, 3}) {
        const QByteArray text = test::runCommand("pdftotext", {"-f", QString::number(sheet), "-l", QString::number(sheet),
                                                               out, "-"})
                                    .out;
        // Memory runs out first, unless a loaded machine makes the clock run out sooner.
        EXPECT_TRUE(text.contains("This page needs too much memory to draw.")
                    || text.contains("This page takes too long to draw."))
            << sheet << text.toStdString();
    }
}

TEST(DrawingBudget, CompressionKeepsAPageOverBudgetAsItWasAndShrinksTheRest)
{
    QTemporaryDir dir;
    const QByteArray source = test::testPagesPdf({TestPage::photo, TestPage::giantDecode, TestPage::photo});
    QElapsedTimer timer;
    timer.start();
    const QByteArray compressed = PDFOps::compress(source, PDFOps::CompressionPreset::tiny);
    EXPECT_LT(timer.elapsed(), test::scaledMs(15000));
    EXPECT_LT(compressed.size(), source.size() / 2);
    const QString path = test::writeFile(dir, "compressed.pdf", compressed);
    // The one complaint of a second engine is the content it cannot decode either, as in the source.
    const test::CommandResult check = test::runCommand("qpdf", {"--check", path});
    const QByteArray said = check.out + check.err;
    EXPECT_TRUE(said.contains("ERROR: page 2: content stream")) << said.toStdString();
    EXPECT_EQ(said.count("ERROR"), 1) << said.toStdString();

    // The photo pages became pictures of themselves; the page over budget still has its own content.
    const auto reopened = coretest::open(compressed);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->pageCount(), 3);
    for (int i : {0, 2}) {
        const auto xobjects = reopened->page(i)->xObjects();
        ASSERT_EQ(xobjects.size(), 1);
        EXPECT_EQ(xobjects[0].subtype, QStringLiteral("Image"));
    }
    EXPECT_EQ(reopened->page(1)->xObjects().size(), 1); // the small picture its resources list
    const QByteArray dump = test::runCommand("qpdf", {"--qdf", "--object-streams=disable", path, "-"}).out;
    EXPECT_EQ(dump.count("/JBIG2Decode"), 1);
    const QImage first = coretest::renderWithPoppler(path, 1, 36);
    ASSERT_FALSE(first.isNull());
    EXPECT_GT(coretest::countPixels(first, first.rect(), bluish), 200);
}

TEST(DrawingBudget, SnapshotsForWorkersAreTakenWithoutInterpretingAndDrawnWithinTheBudget)
{
    const auto document = coretest::open(test::testPagesPdf({TestPage::plain, TestPage::giantDecode}));
    ASSERT_TRUE(document);
    // Taking it is this thread's own work: the time a loaded machine keeps it waiting is left out.
    test::ThreadTimer timer;
    timer.start();
    const std::optional<PDFOps::PageSnapshot> giant = PDFOps::snapshot(*document->page(1));
    ASSERT_TRUE(giant);
    EXPECT_LT(timer.elapsed(), test::scaledMs(1000));
    const pdf::DrawResult drawn = giant->draw(0.5, pdf::RecordBudget{test::scaledMs(10000), std::size_t(256) << 20});
    EXPECT_EQ(drawn.outcome, pdf::RecordOutcome::tooLarge);
    EXPECT_TRUE(drawn.image.isNull());

    // A plain page draws without its annotations, exactly as the page itself does.
    const std::optional<PDFOps::PageSnapshot> plain = PDFOps::snapshot(*document->page(0));
    ASSERT_TRUE(plain);
    pdf::RenderOptions contentOnly;
    contentOnly.withAnnotations = false;
    EXPECT_EQ(plain->render(1.0), document->page(0)->render(1.0, contentOnly));
}

TEST(DrawingBudget, TheEditGuardRefusesAPageItCannotDraw)
{
    const auto document = coretest::open(test::testPagesPdf({TestPage::plain, TestPage::absurdImage}));
    ASSERT_TRUE(document);
    QElapsedTimer timer;
    timer.start();
    const fidelity::Verdict verdict = fidelity::comparePages(document->page(1), document->page(1), {});
    EXPECT_LT(timer.elapsed(), test::scaledMs(8000));
    EXPECT_FALSE(verdict.intact);
    EXPECT_FALSE(verdict.drawn);
    const fidelity::Verdict same = fidelity::comparePages(document->page(0), document->page(0), {});
    EXPECT_TRUE(same.intact);
    EXPECT_TRUE(same.drawn);
}
