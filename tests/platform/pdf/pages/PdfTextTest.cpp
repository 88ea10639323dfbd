// Characters, selections and find.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/PdfFixtures.h"
#include "platform/pdf/pages/TextFinder.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace vmk::pdf;
namespace fixtures = vmk::test::pdf;

namespace {

DocumentPtr open(const QByteArray& data) { return vmk::test::pdf::openPdf(data); }

QList<Selection> runFind(const DocumentPtr& doc, const QString& needle)
{
    TextFinder finder;
    QList<Selection> found;
    QObject::connect(&finder, &TextFinder::matchesFound, [&](const QList<Selection>& batch) { found += batch; });
    QSignalSpy finished(&finder, &TextFinder::finished);
    finder.start(doc, needle);
    EXPECT_TRUE(finder.isRunning());
    EXPECT_TRUE(found.isEmpty()); // nothing happens until the event loop turns
    EXPECT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finder.isRunning());
    return found;
}

} // namespace

TEST(PdfText, FoldingMatchesIgnoreCaseAndDiacritics)
{
    using M = QList<QPair<int, int>>;
    EXPECT_EQ(TextFinder::matchesIn(QStringLiteral("My Résumé, résumé and RESUME"), QStringLiteral("resume")),
              (M{{3, 6}, {11, 6}, {22, 6}}));
    EXPECT_EQ(TextFinder::matchesIn(QStringLiteral("Cafe\u0301 au lait"), QStringLiteral("CAFÉ")), (M{{0, 5}}));
    EXPECT_EQ(TextFinder::matchesIn(QStringLiteral("\uFB01nd"), QStringLiteral("find")), (M{{0, 3}}));
    EXPECT_EQ(TextFinder::matchesIn(QStringLiteral("line\nbreak"), QStringLiteral("line break")), (M{{0, 10}}));
    EXPECT_EQ(TextFinder::matchesIn(QStringLiteral("aaaa"), QStringLiteral("aa")), (M{{0, 2}, {2, 2}}));
    EXPECT_TRUE(TextFinder::matchesIn(QStringLiteral("text"), QStringLiteral("  ")).isEmpty());
}

TEST(PdfText, FindDeliversSelectionsPerPageAndCanBeCancelled)
{
    DocumentPtr doc = open(fixtures::textPdf({"My Résumé is short", "Nothing here", "RESUME again and resume"}));
    const QList<Selection> found = runFind(doc, QStringLiteral("resume"));
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found[0].pages().value(0), doc->page(0));
    EXPECT_EQ(found[0].string(), QStringLiteral("Résumé"));
    EXPECT_EQ(found[1].pages().value(0), doc->page(2));
    EXPECT_EQ(found[1].string(), QStringLiteral("RESUME"));
    EXPECT_FALSE(found[0].bounds(doc->page(0)).isEmpty());
    EXPECT_TRUE(found[0].bounds(doc->page(1)).isNull());

    EXPECT_TRUE(runFind(doc, QStringLiteral("absent")).isEmpty());

    TextFinder finder;
    int batches = 0;
    QObject::connect(&finder, &TextFinder::matchesFound, [&](const QList<Selection>&) {
        ++batches;
        finder.cancel();
    });
    QSignalSpy finished(&finder, &TextFinder::finished);
    finder.start(doc, QStringLiteral("resume"));
    EXPECT_FALSE(finished.wait(300));
    EXPECT_EQ(batches, 1);
    EXPECT_FALSE(finder.isRunning());

    // A locked document is searched not at all.
    DocumentPtr locked = open(*doc->dataRepresentation(WriteOptions::protect("pw")));
    EXPECT_TRUE(runFind(locked, QStringLiteral("resume")).isEmpty());
}

TEST(PdfText, SelectionsFromPointsRectsAndLines)
{
    DocumentPtr doc = open(fixtures::textPdf({"First line of text\nSecond line here"}));
    PagePtr page = doc->page(0);
    const TextLayout& chars = page->textLayout();
    ASSERT_FALSE(chars.isEmpty());
    EXPECT_EQ(page->text().size(), chars.size());
    EXPECT_TRUE(page->text().startsWith(QStringLiteral("First line of text\nSecond line here")));

    // Text drawn at the top left: y up means the first line is near the top of the page.
    const QRectF f = chars.bounds(0);
    EXPECT_GT(f.top(), 792 - 110);
    EXPECT_LT(f.left(), 80);
    EXPECT_EQ(page->characterIndexAt(f.center()), 0);
    EXPECT_EQ(page->characterIndexAt(QPointF(5, 5)), -1);

    const Selection second = page->lineSelection(chars.bounds(20).center());
    EXPECT_EQ(second.string(), QStringLiteral("Second line here"));
    const Selection drag = page->selection(chars.bounds(6).center(), chars.bounds(24).center());
    EXPECT_EQ(drag.string(), QStringLiteral("line of text\nSecond"));
    const QList<Selection> lines = drag.selectionsByLine();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].string(), QStringLiteral("line of text"));
    EXPECT_EQ(lines[1].string(), QStringLiteral("Second"));
    EXPECT_GT(lines[0].bounds(page).top(), lines[1].bounds(page).top());

    const Selection boxed = page->selection(second.bounds(page));
    EXPECT_EQ(boxed.string(), QStringLiteral("Second line here"));

    Selection grown = page->selection(6, 4); // "line"
    EXPECT_EQ(grown.string(), QStringLiteral("line"));
    grown.extendAtStart(6);
    grown.extendAtEnd(3);
    EXPECT_EQ(grown.string(), QStringLiteral("First line of"));
    grown.extendAtStart(100);
    EXPECT_EQ(grown.ranges()[0].start, 0);
    EXPECT_TRUE(page->selection(1000, 5).isEmpty());
}
