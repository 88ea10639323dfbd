#include "platform/services/TempFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(TempFiles, NamesAreUniqueVmkUuidPdfInTheTemporaryFolder)
{
    const QString a = vmk::platform::temporaryPdfPath();
    const QString b = vmk::platform::temporaryPdfPath();
    EXPECT_NE(a, b);
    EXPECT_EQ(QFileInfo(a).absolutePath(), QFileInfo(QDir::tempPath() + "/x").absolutePath());
    static const QRegularExpression pattern("^vmk-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.pdf$");
    EXPECT_TRUE(pattern.match(QFileInfo(a).fileName()).hasMatch()) << a.toStdString();
}
