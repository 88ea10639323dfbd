// Inserted pages bring their outline entries into the open document's outline, where the pages went,
// leaving the entries it had as the file had them; the entries can be taken out and put back (undo, redo).

#include "CoreFixtures.h"
#include "StructureFixtures.h"

#include "core/PDFOps.h"
#include "platform/pdf/structure/OutlineSplice.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

using Entries = QList<QPair<QString, int>>;

coretest::StructureReport written(const QTemporaryDir& dir, const pdf::Document& document)
{
    return coretest::readStructure(test::writeFile(dir, "inserted.pdf", document.dataRepresentation().value()));
}

} // namespace

TEST(InsertOutline, EntriesJoinWhereThePagesWentAndCanBeTakenOutAndPutBack)
{
    QTemporaryDir dir;
    auto target = PDFOps::openChecked(coretest::makeLinkedPdf(), "t.pdf").value();
    auto source = PDFOps::openChecked(coretest::makeStructuredPdf(), "s.pdf").value();
    QList<pdf::OutlineItem> outline;
    const int at = PDFOps::outlineInsertionPoint(*target, 1);
    EXPECT_EQ(at, 0); // "Chapter Two" leads to page 2, after the insertion point
    ASSERT_EQ(PDFOps::insertPages(*target, *source, 1, &outline).size(), 4u);
    ASSERT_EQ(outline.size(), 3);
    auto splice = pdf::OutlineSplice::insert(*target, outline, at);
    ASSERT_TRUE(splice);

    const coretest::StructureReport r = written(dir, *target);
    EXPECT_TRUE(r.checked);
    EXPECT_TRUE(r.json);
    // "Three" went through a named destination in its file; it leads to the same page here.
    const Entries all{{"One", 2}, {"Three", 4}, {"Four", 5}, {"Chapter Two", 6}};
    EXPECT_EQ(r.outline, all);
    EXPECT_EQ(r.namedDestinations.value("second"), 6);

    splice->exchange();
    const coretest::StructureReport out = written(dir, *target);
    EXPECT_TRUE(out.checked);
    EXPECT_EQ(out.outline, (Entries{{"Chapter Two", 6}}));
    splice->exchange();
    EXPECT_EQ(written(dir, *target).outline, all);
}

TEST(InsertOutline, ADocumentWithoutOutlineGetsOneAndLosesItAgain)
{
    QTemporaryDir dir;
    auto target = PDFOps::openChecked(coretest::makePdf(3), "plain.pdf").value();
    auto source = PDFOps::openChecked(coretest::makeStructuredPdf(), "s.pdf").value();
    ASSERT_FALSE(target->outline());
    QList<pdf::OutlineItem> outline;
    PDFOps::insertPages(*target, *source, 3, &outline);
    auto splice = pdf::OutlineSplice::insert(*target, outline, PDFOps::outlineInsertionPoint(*target, 3));
    ASSERT_TRUE(splice);
    const coretest::StructureReport r = written(dir, *target);
    EXPECT_TRUE(r.checked);
    EXPECT_EQ(r.outline, (Entries{{"One", 4}, {"Three", 6}, {"Four", 7}}));
    splice->exchange();
    EXPECT_FALSE(target->outline());
    const QByteArray bytes = target->dataRepresentation().value();
    EXPECT_FALSE(bytes.contains("/Outlines"));
    EXPECT_TRUE(written(dir, *target).outline.isEmpty());
    // Nothing to add, nothing made.
    EXPECT_FALSE(pdf::OutlineSplice::insert(*target, {}, 0));
}
