#include "CoreFixtures.h"

#include "core/PrintLayout.h"
#include "core/VMKDocument.h"

#include "support/TestFiles.h"

#include <QPrinter>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

TEST(Printing, PagesAreTurnedToThePaperAndScaledToFit)
{
    const QRectF portrait(0, 0, 500, 700);
    // A landscape page on portrait paper is turned, then fills the width.
    auto turned = printPlacement(QSizeF(792, 612), portrait);
    EXPECT_TRUE(turned.rotated);
    EXPECT_NEAR(turned.scale, 500.0 / 612.0, 1e-9);
    EXPECT_NEAR(turned.target.width(), 500, 1e-9);
    EXPECT_NEAR(turned.target.center().y(), 350, 1e-9);

    // A small portrait page is scaled up, centred.
    auto small = printPlacement(QSizeF(100, 100), portrait);
    EXPECT_FALSE(small.rotated);
    EXPECT_NEAR(small.target.width(), 500, 1e-9);
    EXPECT_NEAR(small.target.top(), 100, 1e-9);

    EXPECT_TRUE(printPlacement(QSizeF(0, 10), portrait).target.isEmpty());
}

TEST(Printing, PrintsEveryPageToAPdfAndRefusesWhileLocked)
{
    QTemporaryDir dir;
    VMKDocument document;
    ASSERT_FALSE(document.openFile(test::writeFile(dir, "print me.pdf",
                                                  coretest::makePdf(2, {{612, 792}, {792, 612}})))
                     .has_value());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    const QString out = dir.filePath("printed.pdf");
    printer.setOutputFileName(out);
    ASSERT_FALSE(document.print(printer).has_value());
    EXPECT_EQ(printer.docName(), "print me.pdf");

    const auto info = test::runCommand("pdfinfo", {out});
    EXPECT_TRUE(info.out.contains("Pages:           2")) << info.out.toStdString();
    // Both sheets stay portrait A4: the landscape page was turned onto it.
    const QImage second = coretest::renderWithPoppler(out, 2, 36);
    ASSERT_FALSE(second.isNull());
    EXPECT_LT(second.width(), second.height());

    // A chosen range prints only those pages.
    QPrinter ranged;
    ranged.setOutputFormat(QPrinter::PdfFormat);
    ranged.setOutputFileName(dir.filePath("second-only.pdf"));
    ranged.setFromTo(2, 2);
    ASSERT_FALSE(document.print(ranged).has_value());
    EXPECT_TRUE(test::runCommand("pdfinfo", {dir.filePath("second-only.pdf")}).out.contains("Pages:           1"));

    VMKDocument locked;
    ASSERT_FALSE(locked.openFile(coretest::encryptWithQpdf(dir, "l.pdf", coretest::makePdf(1), "pw")).has_value());
    QPrinter other;
    other.setOutputFormat(QPrinter::PdfFormat);
    other.setOutputFileName(dir.filePath("never.pdf"));
    const auto error = locked.print(other);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, 3328);
    EXPECT_EQ(error->message, QString::fromUtf8("This document can’t be printed right now."));
}
