// Compression measured against the bytes it starts from: never larger, protected documents too, and
// photos on pages of text scaled to what their place on the page shows.

#include "CoreFixtures.h"
#include "RebuildFixtures.h"

#include "core/PDFOps.h"

#include "support/TestFiles.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using PDFOps::CompressionPreset;
using vmk::coretest::RawPage;

namespace {

QByteArray textLine(const QByteArray& text) { return "BT 0 0 0 rg /F1 14 Tf 72 72 Td (" + text + ") Tj ET"; }

// A page of text with a photo of `pixels` drawn 2 × 2.4 inches large.
RawPage textPageWithPhoto(QSize pixels = QSize(900, 1100))
{
    RawPage page;
    page.imageSize = pixels;
    page.content = "q 144 0 0 176 72 400 cm /Im0 Do Q " + textLine("A page of running text stays text throughout");
    return page;
}

// Width × height of every image, as pdfimages lists them.
QList<QSize> imageSizes(const QString& path, const QString& password = {})
{
    QStringList args{"-list"};
    if (!password.isEmpty())
        args << "-upw" << password;
    const QString out = QString::fromUtf8(test::runCommand("pdfimages", args << path).out);
    QList<QSize> sizes;
    static const QRegularExpression row(QStringLiteral("^\\s*\\d+\\s+\\d+\\s+image\\s+(\\d+)\\s+(\\d+)"));
    for (const QString& line : out.split('\n'))
        if (const auto m = row.match(line); m.hasMatch())
            sizes.append(QSize(m.captured(1).toInt(), m.captured(2).toInt()));
    return sizes;
}

} // namespace

TEST(CompressionTruth, PhotosOnTextPagesAreScaledToTheirPlaceForScreenPresets)
{
    QTemporaryDir dir;
    const QByteArray source = coretest::makeRawPdf({textPageWithPhoto()});
    const QString light = test::writeFile(dir, "light.pdf", PDFOps::compress(source, CompressionPreset::light));
    const QString balanced = test::writeFile(dir, "balanced.pdf", PDFOps::compress(source, CompressionPreset::balanced));
    const QString tiny = test::writeFile(dir, "tiny.pdf", PDFOps::compress(source, CompressionPreset::tiny));
    // Light keeps every pixel; the screen presets keep what 176 points show at 110 and 80 dpi.
    EXPECT_EQ(imageSizes(light), (QList<QSize>{QSize(900, 1100)}));
    ASSERT_EQ(imageSizes(balanced).size(), 1);
    EXPECT_LE(imageSizes(balanced)[0].height(), 269);
    EXPECT_GE(imageSizes(balanced)[0].height(), 260);
    ASSERT_EQ(imageSizes(tiny).size(), 1);
    EXPECT_LE(imageSizes(tiny)[0].height(), 196);
    EXPECT_LT(test::readFile(tiny).size(), test::readFile(balanced).size());
    for (const QString& path : {light, balanced, tiny}) {
        EXPECT_TRUE(coretest::qpdfAccepts(path));
        EXPECT_TRUE(coretest::popplerText(path).contains("A page of running text stays text throughout"));
    }
}

TEST(CompressionTruth, ProtectedDocumentsShrinkAndStayProtected)
{
    QTemporaryDir dir;
    const QString locked = coretest::encryptWithQpdf(dir, "locked.pdf", coretest::makeRawPdf({textPageWithPhoto()}), "pw");
    const QByteArray source = test::readFile(locked);
    // Without the password nothing can be done, and nothing is claimed.
    EXPECT_EQ(PDFOps::compress(source, CompressionPreset::balanced), source);

    const QByteArray compressed = PDFOps::compress(source, CompressionPreset::balanced, QStringLiteral("pw"));
    EXPECT_LT(compressed.size(), source.size() / 2);
    const QString path = test::writeFile(dir, "small.pdf", compressed);
    EXPECT_TRUE(coretest::open(compressed)->isLocked());
    EXPECT_FALSE(coretest::qpdfAccepts(path, QStringLiteral("wrong")));
    EXPECT_TRUE(coretest::qpdfAccepts(path, QStringLiteral("pw")));
    EXPECT_EQ(imageSizes(path, "pw").size(), 1);
}

TEST(CompressionTruth, ACompactFileNeverGrows)
{
    // Object streams and maximum Flate: a plain rewrite would be larger than the file.
    QTemporaryDir dir;
    QList<RawPage> pages;
    for (int i = 0; i < 12; ++i) {
        RawPage page;
        page.content = textLine("Compact page " + QByteArray::number(i) + " with a line of words to keep");
        pages.append(page);
    }
    const QString plain = test::writeFile(dir, "plain.pdf", coretest::makeRawPdf(pages));
    const QString compact = dir.filePath("compact.pdf");
    ASSERT_EQ(test::runCommand("qpdf", {"--object-streams=generate", "--compression-level=9", "--recompress-flate",
                                        plain, compact}).exitCode, 0);
    const QByteArray source = test::readFile(compact);
    for (CompressionPreset preset : PDFOps::allCompressionPresets()) {
        EXPECT_LE(PDFOps::compress(source, preset).size(), source.size()) << PDFOps::rawValue(preset).toStdString();
        const auto document = coretest::open(source);
        EXPECT_LE(PDFOps::compress(*document, preset, source)->size(), source.size());
    }
}
