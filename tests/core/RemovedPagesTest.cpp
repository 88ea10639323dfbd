// A written file holds nothing that leads to pages the document no longer has: fields of their widgets,
// named destinations, outline entries, links, the open action. The document itself keeps them, so that
// pages put back bring everything back. Checked in the written file with qpdf and poppler.

#include "StructureFixtures.h"

#include "core/PDFOps.h"

#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>

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

StructureReport written(const QTemporaryDir& dir, const pdf::Document& document, QByteArray* dump = nullptr)
{
    const QString path = test::writeFile(dir, "written.pdf", document.dataRepresentation().value());
    if (dump)
        *dump = test::runCommand("qpdf", {"--qdf", "--object-streams=disable", path, "-"}).out;
    return coretest::readStructure(path);
}

} // namespace

TEST(RemovedPages, TheFileLosesWhatLedToThemAndGetsItBackWithThePages)
{
    QTemporaryDir dir;
    auto document = structured();
    const pdf::PagePtr third = document->removePage(2);
    const pdf::PagePtr fourth = document->removePage(2);
    ASSERT_TRUE(third && fourth);

    QByteArray dump;
    const StructureReport r = written(dir, *document, &dump);
    EXPECT_TRUE(r.checked);
    EXPECT_TRUE(r.json);
    EXPECT_EQ(r.pages, 2);
    EXPECT_EQ(r.formLine, "AcroForm");
    // "city" keeps its widget on page 2 and loses the one on page 4.
    EXPECT_EQ(r.fieldPages, (QMap<QString, int>{{"name", 1}, {"city", 2}}));
    EXPECT_EQ(r.fieldValues, (QMap<QString, QString>{{"name", "Alice"}, {"city", "Bob"}}));
    EXPECT_EQ(dump.count("/Subtype /Widget"), 2);
    EXPECT_TRUE(r.namedDestinations.isEmpty());
    // The links stay on their pages (page 1 → "third", page 2 → page 4) but lead nowhere.
    EXPECT_EQ(r.links, (Links{{1, 0}, {2, 0}}));
    EXPECT_EQ(r.outline, (Entries{{"One", 1}}));
    // Nothing holds the removed pages any more, so their content is not written.
    EXPECT_FALSE(dump.contains("Page three"));
    EXPECT_FALSE(dump.contains("Page four"));

    // Back in, as undo puts them: the document kept everything.
    ASSERT_TRUE(document->insertPage(third, 2));
    ASSERT_TRUE(document->insertPage(fourth, 3));
    const StructureReport back = written(dir, *document);
    EXPECT_TRUE(back.checked);
    EXPECT_EQ(back.fieldPages, (QMap<QString, int>{{"name", 1}, {"city", 2}}));
    EXPECT_EQ(back.namedDestinations, (QMap<QString, int>{{"third", 3}, {"fourth", 4}}));
    EXPECT_EQ(back.links, (Links{{1, 3}, {2, 4}, {3, 1}}));
    EXPECT_EQ(back.outline, (Entries{{"One", 1}, {"Three", 3}, {"Four", 4}}));
}

TEST(RemovedPages, FieldsWithoutAnyWidgetLeftGo)
{
    QTemporaryDir dir;
    auto document = structured();
    document->removePage(3); // city's second widget
    document->removePage(1); // city's first widget
    document->removePage(0); // name
    QByteArray dump;
    const StructureReport r = written(dir, *document, &dump);
    EXPECT_TRUE(r.checked);
    EXPECT_TRUE(r.json);
    EXPECT_EQ(r.pages, 1);
    EXPECT_TRUE(r.fieldValues.isEmpty());
    EXPECT_FALSE(dump.contains("/Subtype /Widget"));
    EXPECT_FALSE(dump.contains("(Bob)"));
    EXPECT_EQ(r.links, (Links{{1, 0}})); // page 3 → page 1
    EXPECT_EQ(r.namedDestinations, (QMap<QString, int>{{"third", 1}}));
    EXPECT_EQ(r.outline, (Entries{{"Three", 1}}));
}

TEST(RemovedPages, AnOutlineEntryWithEntriesBelowStaysWithoutItsDestination)
{
    QTemporaryDir dir;
    auto document = structured();
    pdf::OutlineItem chapter{"Chapter", pdf::Destination{document->page(2), {0, 792}}, true, {}};
    chapter.children.append(pdf::OutlineItem{"Section", pdf::Destination{document->page(0), {0, 792}}, false, {}});
    chapter.children.append(pdf::OutlineItem{"Gone", pdf::Destination{document->page(2), {0, 700}}, false, {}});
    pdf::OutlineItem root;
    root.children = {chapter, pdf::OutlineItem{"End", pdf::Destination{document->page(3), {0, 792}}, false, {}}};
    document->setOutline(root);
    document->removePage(2);

    const QString path = test::writeFile(dir, "o.pdf", document->dataRepresentation().value());
    const StructureReport r = coretest::readStructure(path);
    EXPECT_TRUE(r.checked);
    EXPECT_EQ(r.outline, (Entries{{"Chapter", 0}, {"Section", 1}, {"End", 3}}));
    // The counts follow: the open chapter shows one entry, the outline three.
    const QJsonObject objects =
        QJsonDocument::fromJson(test::runCommand("qpdf", {"--json=2", path}).out).object().value("qpdf").toArray()[1].toObject();
    auto object = [&](const QString& ref) { return objects.value("obj:" + ref).toObject().value("value").toObject(); };
    const QJsonObject outlines = object(object(objects.value("trailer").toObject().value("value").toObject()
                                                   .value("/Root").toString())
                                            .value("/Outlines").toString());
    EXPECT_EQ(outlines.value("/Count").toInt(), 3);
    EXPECT_EQ(object(outlines.value("/First").toString()).value("/Count").toInt(), 1);
}
