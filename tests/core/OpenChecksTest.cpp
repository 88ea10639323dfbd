#include "CoreFixtures.h"
#include "FakeHost.h"

#include "core/PDFOps.h"
#include "core/VMKDocument.h"

#include "platform/services/Logger.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

QByteArray junk(int n)
{
    return QByteArray(n, 'x');
}

} // namespace

TEST(OpenChecks, FailuresInTheirOrder)
{
    EXPECT_EQ(PDFOps::openChecked({}, "a.pdf").error(), PDFOpenError::empty("a.pdf"));
    EXPECT_EQ(PDFOps::openChecked("hello, not a pdf", "b.pdf").error(), PDFOpenError::notPDF("b.pdf"));
    // The marker must lie wholly within the first 1024 bytes.
    EXPECT_EQ(PDFOps::openChecked(junk(1020) + coretest::makePdf(1), "c.pdf").error(), PDFOpenError::notPDF("c.pdf"));
    // A marker with nothing usable behind it is damaged, not "not a PDF".
    EXPECT_EQ(PDFOps::openChecked("%PDF-1.7\n" + junk(4000), "d.pdf").error(), PDFOpenError::damaged("d.pdf"));
    EXPECT_EQ(PDFOps::openChecked(coretest::makeEmptyPagesPdf(), "e.pdf").error(), PDFOpenError::damaged("e.pdf"));
}

TEST(OpenChecks, AcceptedDocuments)
{
    auto plain = PDFOps::openChecked(coretest::makePdf(3), "p.pdf");
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain.value()->pageCount(), 3);

    // Junk before the header (mail gateways do this) passes when the marker starts by byte 1019.
    EXPECT_TRUE(PDFOps::openChecked(junk(500) + coretest::makePdf(1), "j.pdf").ok());
    EXPECT_TRUE(PDFOps::openChecked(junk(1019) + coretest::makePdf(1), "k.pdf").ok());

    QTemporaryDir dir;
    const QString locked = coretest::encryptWithQpdf(dir, "locked.pdf", coretest::makePdf(2), "secret");
    auto opened = PDFOps::openChecked(test::readFile(locked), "locked.pdf");
    ASSERT_TRUE(opened.ok());
    EXPECT_TRUE(opened.value()->isLocked());
    EXPECT_TRUE(opened.value()->unlock("secret").has_value());
    EXPECT_EQ(opened.value()->pageCount(), 2);
}

using coretest::FakeHost;

TEST(DocumentReading, OpenFailuresBecomeCorruptFileErrorsWithTheirTexts)
{
    QTemporaryDir dir;
    struct Case { QString name; QByteArray bytes; QString message; QString suggestion; };
    const QList<Case> cases{
        {"zero.pdf", {}, QString::fromUtf8("“zero.pdf” is empty."),
         QString::fromUtf8("The file has zero bytes. Maybe the download didn’t finish?")},
        {"text.pdf", "plain text", QString::fromUtf8("“text.pdf” isn’t a PDF."),
         QString::fromUtf8("It has a .pdf name, but something else inside. Try opening it with the app that made it.")},
        {"nopages.pdf", coretest::makeEmptyPagesPdf(), QString::fromUtf8("“nopages.pdf” is too damaged to open."),
         QString::fromUtf8("If you have another copy, try that one.")},
    };
    for (const Case& c : cases) {
        VMKDocument document;
        platform::LogCapture log;
        const auto error = document.openFile(test::writeFile(dir, c.name, c.bytes));
        // The read is measured on every way out, failures included.
        EXPECT_EQ(log.lines().filter("signpost begin \"Open Document\"").size(), 1);
        EXPECT_EQ(log.lines().filter("signpost end \"Open Document\"").size(), 1);
        ASSERT_TRUE(error.has_value()) << c.name.toStdString();
        EXPECT_EQ(error->code, 259);
        EXPECT_EQ(error->message, c.message);
        EXPECT_EQ(error->recoverySuggestion, c.suggestion);
        EXPECT_EQ(document.pdf()->pageCount(), 0);
        EXPECT_FALSE(document.fileSize().has_value());
    }

    VMKDocument missing;
    const auto error = missing.openFile(dir.filePath("does-not-exist.pdf"));
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->code, 259);
}

TEST(DocumentReading, ReadSetsContentAndSizeAndRevertDropsPendingPasswordChanges)
{
    QTemporaryDir dir;
    const QByteArray bytes = coretest::makePdf(2);
    const QString path = test::writeFile(dir, "two.pdf", bytes);
    VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    EXPECT_EQ(document.pdf()->pageCount(), 2);
    EXPECT_EQ(document.fileSize(), bytes.size());
    EXPECT_EQ(document.displayName(), "two.pdf");
    EXPECT_FALSE(document.isEdited());

    document.setProtection(Protection{"pw", std::nullopt});
    document.setRemovesEncryption(true);
    document.setUnlockPassword(QString("kept"));
    // Without a window the revert still succeeds and simply reloads nothing.
    ASSERT_FALSE(document.revertToSaved().has_value());
    EXPECT_FALSE(document.protection().has_value());
    EXPECT_FALSE(document.removesEncryption());
    EXPECT_EQ(document.unlockPassword(), QString("kept"));

    auto host = std::make_unique<FakeHost>();
    FakeHost* h = host.get();
    document.addWindowController(std::move(host));
    ASSERT_FALSE(document.revertToSaved().has_value());
    EXPECT_EQ(h->reverts, 1);

    // A failed revert leaves the content and tells nobody.
    const auto before = document.pdf();
    test::writeFile(dir, "two.pdf", {});
    EXPECT_TRUE(document.revertToSaved().has_value());
    EXPECT_EQ(document.pdf(), before);
    EXPECT_EQ(h->reverts, 1);
}

TEST(DocumentReading, FileTruncatedAfterOpeningDoesNotAffectTheDocument)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, "t.pdf", coretest::makePdf(3));
    VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    // Another program truncates the file: the document holds its own bytes and keeps working.
    test::writeFile(dir, "t.pdf", {});
    EXPECT_EQ(document.pdf()->pageCount(), 3);
    EXPECT_FALSE(document.pdf()->page(2)->render(0.5).isNull());
}

TEST(DocumentReading, UntitledDocumentShowsItsSuggestedName)
{
    VMKDocument document;
    EXPECT_EQ(document.pdf()->pageCount(), 0);
    document.setSuggestedName(QString("Combined"));
    EXPECT_EQ(document.displayName(), "Combined");
    document.setPdf(PDFOps::merge({PDFOps::openChecked(coretest::makePdf(1), "x").value()}));
    QTemporaryDir dir;
    ASSERT_FALSE(document.saveToPath(dir.filePath("Saved.pdf"), platform::SaveOperation::SaveAs).has_value());
    EXPECT_EQ(document.displayName(), "Saved.pdf");
}
