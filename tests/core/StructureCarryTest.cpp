// Pages taken into another document bring their form fields, destinations, links and outline entries,
// checked in the written file with qpdf and poppler.

#include "CoreFixtures.h"
#include "StructureFixtures.h"

#include "core/PDFOps.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using coretest::StructureReport;

namespace {

using Links = QList<QPair<int, int>>;
using Entries = QList<QPair<QString, int>>;

pdf::DocumentPtr structured()
{
    return PDFOps::openChecked(coretest::makeStructuredPdf(), "s.pdf").value();
}

QString save(const QTemporaryDir& dir, const QString& name, const pdf::Document& document)
{
    return test::writeFile(dir, name, document.dataRepresentation().value());
}

void expectSound(const StructureReport& r)
{
    EXPECT_TRUE(r.checked);
    EXPECT_TRUE(r.json);
}

} // namespace

TEST(StructureCarry, ExtractKeepsWhatPointsIntoTheTakenPagesAndSharesResources)
{
    QTemporaryDir dir;
    const QByteArray original = coretest::makeStructuredPdf();
    auto extracted = PDFOps::extractPages({0, 2}, *structured());
    const QString path = save(dir, "part.pdf", *extracted);
    const StructureReport r = coretest::readStructure(path);
    expectSound(r);
    EXPECT_EQ(r.pages, 2);
    EXPECT_EQ(r.formLine, "AcroForm");
    EXPECT_EQ(r.fieldValues, (QMap<QString, QString>{{"name", "Alice"}}));
    EXPECT_EQ(r.namedDestinations, (QMap<QString, int>{{"third", 2}}));
    EXPECT_EQ(r.links, (Links{{1, 2}, {2, 1}}));
    EXPECT_EQ(r.outline, (Entries{{"One", 1}, {"Three", 2}}));
    EXPECT_EQ(r.title, "Structured");
    // The image all pages show is written once.
    EXPECT_LT(test::readFile(path).size(), original.size());

    auto other = PDFOps::extractPages({1, 3}, *structured());
    const StructureReport s = coretest::readStructure(save(dir, "other.pdf", *other));
    expectSound(s);
    EXPECT_EQ(s.fieldValues, (QMap<QString, QString>{{"city", "Bob"}}));
    EXPECT_EQ(s.links, (Links{{1, 2}}));
    EXPECT_EQ(s.namedDestinations, (QMap<QString, int>{{"fourth", 2}}));
    EXPECT_EQ(s.outline, (Entries{{"Four", 2}}));
}

TEST(StructureCarry, ExtractPrunesFieldsToTheTakenWidgets)
{
    QTemporaryDir dir;
    auto extracted = PDFOps::extractPages({1}, *structured());
    const QString path = save(dir, "one.pdf", *extracted);
    const StructureReport r = coretest::readStructure(path);
    expectSound(r);
    EXPECT_EQ(r.fieldPages, (QMap<QString, int>{{"city", 1}}));
    // The link to a page left behind is gone rather than pointing nowhere.
    EXPECT_TRUE(r.links.isEmpty());
    const QByteArray dump = test::runCommand("qpdf", {"--qdf", "--object-streams=disable", path, "-"}).out;
    EXPECT_EQ(dump.count("/Subtype /Widget"), 1);
}

TEST(StructureCarry, CombineMergesFormsRenamingClashesAndKeepsEveryLink)
{
    QTemporaryDir dir;
    const QString file = test::writeFile(dir, "s.pdf", coretest::makeStructuredPdf());
    auto combined = PDFOps::combine({file, file});
    ASSERT_TRUE(combined.ok());
    const StructureReport r = coretest::readStructure(save(dir, "both.pdf", *combined.value()));
    expectSound(r);
    EXPECT_EQ(r.pages, 8);
    EXPECT_EQ(r.formLine, "AcroForm");
    EXPECT_EQ(r.fieldValues, (QMap<QString, QString>{{"name", "Alice"}, {"city", "Bob"}, {"name_2", "Alice"},
                                                      {"city_2", "Bob"}}));
    EXPECT_EQ(r.fieldPages.value("name_2"), 5);
    EXPECT_EQ(r.namedDestinations,
              (QMap<QString, int>{{"third", 3}, {"fourth", 4}, {"third-2", 7}, {"fourth-2", 8}}));
    EXPECT_EQ(r.links, (Links{{1, 3}, {2, 4}, {3, 1}, {5, 7}, {6, 8}, {7, 5}}));
    EXPECT_EQ(r.outline, (Entries{{"One", 1}, {"Three", 3}, {"Four", 4}, {"One", 5}, {"Three", 7}, {"Four", 8}}));
    EXPECT_EQ(r.title, "Structured");
}

TEST(StructureCarry, InsertBringsFieldsAndLinksIntoTheOpenDocument)
{
    QTemporaryDir dir;
    auto target = PDFOps::openChecked(coretest::makeLinkedPdf(), "t.pdf").value();
    auto source = structured();
    const auto copies = PDFOps::insertPages(*target, *source, 1);
    ASSERT_EQ(copies.size(), 4u);
    EXPECT_EQ(target->indexOf(copies[0]), 1);
    EXPECT_EQ(source->pageCount(), 4);
    const StructureReport r = coretest::readStructure(save(dir, "inserted.pdf", *target));
    expectSound(r);
    EXPECT_EQ(r.pages, 6);
    EXPECT_EQ(r.fieldValues.value("name"), "Ada"); // the target's own field keeps its name
    EXPECT_EQ(r.fieldValues.value("name_2"), "Alice");
    EXPECT_EQ(r.fieldValues.value("city"), "Bob");
    EXPECT_EQ(r.namedDestinations.value("second"), 6);
    EXPECT_EQ(r.namedDestinations.value("third"), 4);
    EXPECT_TRUE(r.links.contains(QPair<int, int>(1, 6)));
    EXPECT_TRUE(r.links.contains(QPair<int, int>(2, 4)));
    EXPECT_TRUE(r.links.contains(QPair<int, int>(3, 5)));
}
