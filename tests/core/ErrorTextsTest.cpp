#include "core/PDFOpenError.h"
#include "core/PDFOpsError.h"

#include <gtest/gtest.h>

using vmk::core::PDFOpenError;
using vmk::core::PDFOpsError;

TEST(ErrorTexts, OpenErrorsQuoteTheNameTypographically)
{
    EXPECT_EQ(PDFOpenError::empty("a.pdf").message(), QString::fromUtf8("“a.pdf” is empty."));
    EXPECT_EQ(PDFOpenError::empty("a.pdf").recoverySuggestion(),
              QString::fromUtf8("The file has zero bytes. Maybe the download didn’t finish?"));
    EXPECT_EQ(PDFOpenError::notPDF("b.pdf").message(), QString::fromUtf8("“b.pdf” isn’t a PDF."));
    EXPECT_EQ(PDFOpenError::notPDF("b.pdf").recoverySuggestion(),
              QString::fromUtf8("It has a .pdf name, but something else inside. Try opening it with the app "
                                "that made it."));
    EXPECT_EQ(PDFOpenError::damaged("c.pdf").message(), QString::fromUtf8("“c.pdf” is too damaged to open."));
    EXPECT_EQ(PDFOpenError::damaged("c.pdf").recoverySuggestion(),
              QString::fromUtf8("If you have another copy, try that one."));
    EXPECT_EQ(PDFOpenError::empty("a.pdf"), PDFOpenError::empty("a.pdf"));
    EXPECT_NE(PDFOpenError::empty("a.pdf"), PDFOpenError::notPDF("a.pdf"));
}

TEST(ErrorTexts, OpsErrors)
{
    EXPECT_EQ(PDFOpsError::unreadable("x.pdf").message(), QString::fromUtf8("“x.pdf” isn’t a PDF we can read."));
    EXPECT_EQ(PDFOpsError::locked("y.pdf").message(),
              QString::fromUtf8("“y.pdf” is password-protected. Open it first to unlock it."));
}
