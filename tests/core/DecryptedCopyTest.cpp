#include "CoreFixtures.h"
#include "StructureFixtures.h"

#include "core/VMKDocument.h"

#include "support/TestFiles.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

TEST(DecryptedCopy, GoesWithoutTheCreationDateAndKeepsTheStructure)
{
    QTemporaryDir dir;
    const QString path = coretest::encryptWithQpdf(dir, "form.pdf", coretest::makeStructuredPdf(), "pw");
    VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    ASSERT_TRUE(document.pdf()->unlock("pw"));
    document.setUnlockPassword(QString("pw"));
    document.setRemovesEncryption(true);
    ASSERT_FALSE(document.save().has_value());

    const QString info = QString::fromUtf8(test::runCommand("pdfinfo", {path}).out);
    EXPECT_FALSE(info.contains("CreationDate")) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Encrypted:\\s+no"))) << info.toStdString();
    const coretest::StructureReport r = coretest::readStructure(path);
    EXPECT_TRUE(r.checked);
    EXPECT_TRUE(r.json);
    EXPECT_EQ(r.title, "Structured");
    EXPECT_EQ(r.formLine, "AcroForm");
    EXPECT_EQ(r.fieldValues.value("name"), "Alice");
    EXPECT_EQ(r.links, (QList<QPair<int, int>>{{1, 3}, {2, 4}, {3, 1}}));
    EXPECT_EQ(r.outline.size(), 3);
    // The open document still knows when it was made.
    EXPECT_FALSE(document.pdf()->attribute(pdf::DocumentAttribute::CreationDate).isEmpty());

    // A save that keeps the encryption keeps the date.
    const QString kept = coretest::encryptWithQpdf(dir, "kept.pdf", coretest::makeStructuredPdf(), "pw");
    VMKDocument other;
    ASSERT_FALSE(other.openFile(kept).has_value());
    ASSERT_TRUE(other.pdf()->unlock("pw"));
    other.setUnlockPassword(QString("pw"));
    ASSERT_FALSE(other.save().has_value());
    EXPECT_TRUE(QString::fromUtf8(test::runCommand("pdfinfo", {"-upw", "pw", kept}).out).contains("CreationDate"));
}
