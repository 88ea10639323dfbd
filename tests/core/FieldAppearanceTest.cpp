// Files that ask readers to draw their fields (/NeedAppearances with empty appearances) show the values in
// our view and in what we write, as in a second reader.

#include "CoreFixtures.h"
#include "StructureFixtures.h"

#include "core/PDFOps.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

bool dark(const QColor& c) { return c.lightness() < 128; }

// The "name" field's box on page 1 at 72 dpi (image pixels).
const QRect kNameField(74, 164, 224, 26);

} // namespace

TEST(FieldAppearances, ValuesAreDrawnWhenTheFileAsksAsPopplerDrawsThem)
{
    QTemporaryDir dir;
    const QString original = test::writeFile(dir, "form.pdf", coretest::makeStructuredPdf());
    // The reference reader draws the value.
    EXPECT_GT(coretest::countPixels(coretest::renderWithPoppler(original, 1), kNameField, dark), 20);

    auto document = PDFOps::openChecked(test::readFile(original), "form.pdf").value();
    const QImage view = document->page(0)->render(1.0);
    EXPECT_GT(coretest::countPixels(view, kNameField, dark), 20);

    // A flattened copy carries the values as page text.
    auto flat = PDFOps::flatten(*document);
    ASSERT_TRUE(flat);
    const QString flatPath = test::writeFile(dir, "flat.pdf", flat->dataRepresentation().value());
    const QString text = QString::fromUtf8(test::runCommand("pdftotext", {flatPath, "-"}).out);
    EXPECT_TRUE(text.contains("Alice")) << text.toStdString();
    EXPECT_TRUE(text.contains("Bob")) << text.toStdString();
    EXPECT_TRUE(coretest::qpdfAccepts(flatPath));

    // A plain save keeps the values visible without the reader's help.
    const QString saved = test::writeFile(dir, "saved.pdf", document->dataRepresentation().value());
    const QByteArray dump = test::runCommand("qpdf", {"--qdf", "--object-streams=disable", saved, "-"}).out;
    EXPECT_TRUE(dump.contains("(Alice) Tj")) << "no drawn value in the saved appearance";
}
