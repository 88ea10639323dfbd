// Files that ask readers to draw their fields (/NeedAppearances with empty appearances) show the values in
// our view and in what we write, as in a second reader.

#include "CoreFixtures.h"
#include "StructureFixtures.h"

#include "core/PDFOps.h"
#include "core/VMKDocument.h"

#include "support/CrowdedForm.h"
#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

bool dark(const QColor& c) { return c.lightness() < 128; }

// The "name" field's box on page 1 at 72 dpi (image pixels).
const QRect kNameField(74, 164, 224, 26);

// Per page (1-based): how many annotations of each subtype, and how many markups carry an appearance.
struct PageAnnotations {
    QMap<QString, int> kinds;
    int markupsWithAppearance = 0;
    bool operator==(const PageAnnotations&) const = default;
};

QList<PageAnnotations> annotationsPerPage(const QString& path)
{
    const test::CommandResult json = test::runCommand("qpdf", {"--json=2", path});
    const QJsonObject root = QJsonDocument::fromJson(json.out).object();
    const QJsonArray qpdf = root.value("qpdf").toArray();
    const QJsonObject objects = qpdf.size() > 1 ? qpdf[1].toObject() : QJsonObject();
    auto object = [&](const QJsonValue& ref) {
        return ref.isString() ? objects.value("obj:" + ref.toString()).toObject().value("value") : ref;
    };
    QList<PageAnnotations> result;
    for (const QJsonValue& p : root.value("pages").toArray()) {
        PageAnnotations page;
        const QJsonObject dict = object(p.toObject().value("object")).toObject();
        for (const QJsonValue& a : object(dict.value("/Annots")).toArray()) {
            const QJsonObject annot = object(a).toObject();
            const QString kind = annot.value("/Subtype").toString();
            ++page.kinds[kind];
            if (kind != "/Widget" && kind != "/Link" && annot.contains("/AP"))
                ++page.markupsWithAppearance;
        }
        result.append(page);
    }
    return result;
}

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


// A crowded form (markups without appearances on every page, several fields a page) opens as any form that
// asks for its fields to be drawn: values drawn, buttons as they were, nothing counted as an edit, and a
// saved copy that a second engine reads as the original.
TEST(FieldAppearances, CrowdedFormOpensWithItsValuesDrawnAndItsStructureKept)
{
    QTemporaryDir dir;
    constexpr int kPages = 6;
    const QString original = test::writeFile(dir, "crowded.pdf", test::makeCrowdedFormPdf(kPages));
    VMKDocument document;
    ASSERT_FALSE(document.openFile(original).has_value());
    EXPECT_FALSE(document.isEdited());
    ASSERT_EQ(document.pdf()->pageCount(), kPages);

    // The values show; the checkbox keeps its "on" drawing.
    const QImage view = document.pdf()->page(0)->render(1.0);
    EXPECT_GT(coretest::countPixels(view, test::kCrowdedNameField, dark), 20);
    EXPECT_GT(coretest::countPixels(view, test::kCrowdedColourField, dark), 20);
    EXPECT_GT(coretest::countPixels(view, QRect(75, 277, 12, 12), dark), 100);

    const QString saved = test::writeFile(dir, "saved.pdf", document.pdf()->dataRepresentation().value());
    const coretest::StructureReport after = coretest::readStructure(saved);
    EXPECT_TRUE(after.checked);
    ASSERT_TRUE(after.json);
    EXPECT_EQ(after.pages, kPages);
    EXPECT_EQ(after.fieldValues.value("name"), "Alice");
    EXPECT_EQ(after.fieldValues.value("colour"), "Green");
    EXPECT_EQ(after.fieldValues.value("agree"), "/Yes");
    EXPECT_EQ(after.fieldValues.value("row6_4"), "Entry 6_4");
    EXPECT_EQ(after.fieldValues.size(), 3 + (kPages - 1) * 4);
    QList<QPair<int, int>> links;
    for (int page = 1; page <= kPages; ++page)
        links.append({page, page % kPages + 1});
    EXPECT_EQ(after.links, links);
    EXPECT_EQ(after.outline, (QList<QPair<QString, int>>{{"Start", 1}, {"End", kPages}}));
    EXPECT_EQ(after.title, "Crowded form");

    // Every annotation is still there. The markups, which the file has without appearances, are written as
    // they were: other readers draw their own.
    const QList<PageAnnotations> annotations = annotationsPerPage(saved);
    ASSERT_EQ(annotations.size(), kPages);
    for (int i = 0; i < kPages; ++i) {
        const QMap<QString, int> kinds{{"/Square", 50}, {"/Circle", 50}, {"/Text", 50}, {"/Link", 1}, {"/Widget", i ? 4 : 3}};
        EXPECT_EQ(annotations[i].kinds, kinds) << "page " << i + 1;
        EXPECT_EQ(annotations[i].markupsWithAppearance, 0) << "page " << i + 1;
    }

    // The page text reads the same, words and spaces, and the drawn values are real text.
    const QList<QByteArray> text = test::runCommand("pdftotext", {saved, "-"}).out.split('\f');
    ASSERT_GE(text.size(), kPages);
    for (int page = 1; page <= kPages; ++page)
        EXPECT_TRUE(text[page - 1].contains("Crowded form page " + QByteArray::number(page))) << text[page - 1].constData();
    const QByteArray dump = test::runCommand("qpdf", {"--qdf", "--object-streams=disable", saved, "-"}).out;
    EXPECT_TRUE(dump.contains("(Alice) Tj"));
    EXPECT_TRUE(dump.contains("(Green) Tj"));
    EXPECT_TRUE(dump.contains("(Entry 6_4) Tj"));
}
