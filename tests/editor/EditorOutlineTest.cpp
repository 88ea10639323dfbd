#include "EditorTestSupport.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

pdf::OutlineItem entry(const QString& label, const pdf::PagePtr& page)
{
    pdf::OutlineItem item;
    item.label = label;
    if (page)
        item.destination = pdf::Destination{page, QPointF(0, 700)};
    return item;
}

// A chain of entries nested `depth` levels below the root, each on the first page.
pdf::OutlineItem nested(int depth, const pdf::PagePtr& page)
{
    pdf::OutlineItem root;
    pdf::OutlineItem* parent = &root;
    for (int level = 1; level <= depth; ++level) {
        parent->children.append(entry(QStringLiteral("Level %1").arg(level), page));
        parent = &parent->children.last();
    }
    return root;
}

} // namespace

TEST(EditorOutline, BuildsItemsWithPagesAndAbsentEntries)
{
    EditorFixture f(blankDocument(4));
    pdf::OutlineItem root;
    root.children = {entry(QStringLiteral("Intro"), f.page(0)), entry(QStringLiteral("Gone"), f.page(3)),
                     entry(QStringLiteral("Nowhere"), nullptr)};
    root.children[0].children = {entry(QStringLiteral("Detail"), f.page(1))};
    f.pdf()->setOutline(root);
    // The page the second entry points at leaves the document.
    f.pdf()->removePage(3);

    f.editor->loadOutline();
    ASSERT_TRUE(f.editor->outline().has_value());
    const QList<OutlineItemPtr>& items = *f.editor->outline();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->title, QStringLiteral("Intro"));
    EXPECT_EQ(items[0]->pageIndex, 0);
    ASSERT_TRUE(items[0]->children.has_value());
    ASSERT_EQ(items[0]->children->size(), 1);
    EXPECT_EQ(items[0]->children->at(0)->pageIndex, 1);
    EXPECT_FALSE(items[0]->children->at(0)->children.has_value());
    EXPECT_EQ(items[1]->title, QStringLiteral("Gone"));
    EXPECT_FALSE(items[1]->pageIndex.has_value());
    EXPECT_FALSE(items[2]->pageIndex.has_value());
    EXPECT_FALSE(items[2]->destination.has_value());
}

TEST(EditorOutline, StopsAtTheNinthLevel)
{
    EditorFixture f(blankDocument(1));
    f.pdf()->setOutline(nested(12, f.page(0)));
    f.editor->loadOutline();
    ASSERT_TRUE(f.editor->outline().has_value());
    OutlineItemPtr item = f.editor->outline()->first();
    int levels = 1;
    while (item->children) {
        ASSERT_EQ(item->children->size(), 1);
        item = item->children->first();
        ++levels;
    }
    EXPECT_EQ(levels, 9);
    EXPECT_EQ(item->title, QStringLiteral("Level 9"));
}

TEST(EditorOutline, AnEmptyTitleStaysEmptyAndAMissingOneIsUntitled)
{
    const QByteArray bytes =
        "%PDF-1.4\n"
        "1 0 obj << /Type /Catalog /Pages 2 0 R /Outlines 4 0 R >> endobj\n"
        "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
        "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >> endobj\n"
        "4 0 obj << /Type /Outlines /First 5 0 R /Last 6 0 R /Count 2 >> endobj\n"
        "5 0 obj << /Title () /Parent 4 0 R /Next 6 0 R /Dest [3 0 R /XYZ 0 200 0] >> endobj\n"
        "6 0 obj << /Parent 4 0 R /Prev 5 0 R /Dest [3 0 R /XYZ 0 100 0] >> endobj\n"
        "trailer << /Root 1 0 R >>\n%%EOF\n";
    EditorFixture f(pdf::Document::fromData(bytes).value());
    f.editor->loadOutline();
    ASSERT_TRUE(f.editor->outline().has_value());
    ASSERT_EQ(f.editor->outline()->size(), 2);
    EXPECT_EQ(f.editor->outline()->at(0)->title, QString());
    EXPECT_EQ(f.editor->outline()->at(1)->title, QStringLiteral("Untitled"));
    EXPECT_EQ(f.editor->outline()->at(1)->pageIndex, 0);
}

TEST(EditorOutline, NoOutlineGivesNoneAndShowingAgainRebuildsWithNewIds)
{
    EditorFixture f(blankDocument(2));
    f.editor->loadOutline();
    EXPECT_FALSE(f.editor->outline().has_value());

    f.pdf()->setOutline(nested(1, f.page(1)));
    f.editor->loadOutline();
    ASSERT_TRUE(f.editor->outline().has_value());
    const QUuid first = f.editor->outline()->first()->id;

    f.editor->setOutlineLoaded(true);
    f.editor->showDocument(false);
    EXPECT_FALSE(f.editor->outline().has_value());
    EXPECT_FALSE(f.editor->outlineLoaded());
    f.editor->loadOutline();
    ASSERT_TRUE(f.editor->outline().has_value());
    EXPECT_NE(f.editor->outline()->first()->id, first);
    EXPECT_EQ(f.editor->outline()->first()->pageIndex, 1);
}
