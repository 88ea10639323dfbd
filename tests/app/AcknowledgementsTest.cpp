#include "app/Acknowledgements.h"
#include "app/AppDelegate.h"

#include "platform/icons/SymbolIcons.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vmk::app;

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QString kHeading = QStringLiteral("Vellumark uses PDFium for editing existing text and images.\nPDFium build chromium/8057 from ");

} // namespace

TEST(Acknowledgements, HeadingAloneWithoutLicences)
{
    QTemporaryDir dir;
    const QString text = acknowledgementsText(dir.path());
    EXPECT_TRUE(text.startsWith(kHeading));
    EXPECT_TRUE(text.endsWith(QStringLiteral(".\n\n")));
    EXPECT_EQ(text.count(QLatin1Char('\n')), 3);
}

TEST(Acknowledgements, LicencesInCodePointOrderSkippingUnreadableOnes)
{
    QTemporaryDir dir;
    write(dir.filePath("LICENSE"), "BSD terms");
    QDir(dir.path()).mkdir("licenses");
    write(dir.filePath("licenses/alpha.txt"), "alpha terms");
    write(dir.filePath("licenses/Zeta.txt"), "zeta terms");
    write(dir.filePath("licenses/broken.txt"), QByteArray("bad \xff\xfe bytes"));
    const QString text = acknowledgementsText(dir.path());
    const QString dashes = QString::fromUtf8("\u2014\u2014\u2014\u2014");
    EXPECT_TRUE(text.contains(QStringLiteral(".\n\nPDFium\n\nBSD terms\n\n")));
    const qsizetype zeta = text.indexOf(dashes + QStringLiteral(" Zeta ") + dashes + QStringLiteral("\n\nzeta terms\n\n"));
    const qsizetype alpha = text.indexOf(dashes + QStringLiteral(" alpha ") + dashes + QStringLiteral("\n\nalpha terms\n\n"));
    EXPECT_GT(zeta, 0);
    EXPECT_GT(alpha, zeta); // capitals first
    EXPECT_FALSE(text.contains(QStringLiteral("broken")));
    EXPECT_FALSE(text.contains(QStringLiteral("bad ")));
}

TEST(Acknowledgements, ShippedDataListsEveryLicenceFile)
{
    // The build copies resources/ into the data folder the application reads.
    const QString data = QStringLiteral(VMK_BUILD_DIR "/share/vellumark");
    const QString text = acknowledgementsText(data);
    EXPECT_TRUE(text.contains(QStringLiteral("PDFium\n\n")));
    const QStringList files = QDir(data + QStringLiteral("/licenses")).entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files)
        EXPECT_TRUE(text.contains(QStringLiteral(" %1 ").arg(QFileInfo(name).completeBaseName()))) << name.toStdString();
}

TEST(Acknowledgements, OneWindowKeptAcrossRequests)
{
    qputenv("VMK_DATA_DIR", QByteArray(VMK_BUILD_DIR "/share/vellumark"));
    AppDelegate delegate(nullptr);
    EXPECT_EQ(delegate.acknowledgementsWindow(), nullptr);
    delegate.showAcknowledgements();
    QWidget* window = delegate.acknowledgementsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Acknowledgements"));
    auto* view = window->findChild<QPlainTextEdit*>();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_TRUE(view->toPlainText().startsWith(kHeading));
    window->close();
    delegate.showAcknowledgements();
    EXPECT_EQ(delegate.acknowledgementsWindow(), window);
    EXPECT_TRUE(window->isVisible());
    qunsetenv("VMK_DATA_DIR");
}
