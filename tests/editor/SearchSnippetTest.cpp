#include "editor/SearchSnippet.h"

#include <gtest/gtest.h>

using namespace vmk;

namespace {
const QString kEllipsis = QString(QChar(0x2026));
}

TEST(SearchSnippet, TrimsOnlySpacesAndTabsFromTheSearchText)
{
    EXPECT_EQ(trimSearchText(QStringLiteral("  word\t ")), QStringLiteral("word"));
    EXPECT_EQ(trimSearchText(QStringLiteral("\nword\n")), QStringLiteral("\nword\n"));
    EXPECT_EQ(trimSearchText(QStringLiteral(" \t ")), QString());
}

TEST(SearchSnippet, ShortEndsGiveWayToEllipsesButLongOnesStay)
{
    // A three-letter fragment and a four-letter tail both go.
    SearchSnippet s = makeSnippetText(QStringLiteral("ent the needle was found in the barn by the farm"),
                                      QStringLiteral("needle"));
    EXPECT_EQ(s.text, kEllipsis + QStringLiteral("the needle was found in the barn by the") + kEllipsis);

    // A snippet that begins with the match keeps its start although a space follows soon.
    s = makeSnippetText(QStringLiteral("needle in a haystack that goes on and on and on incomprehensibly"),
                        QStringLiteral("NEEDLE"));
    EXPECT_TRUE(s.text.startsWith(QStringLiteral("needle in a")));
    EXPECT_TRUE(s.text.endsWith(QStringLiteral("on incomprehensibly")));

    // The first space after 20 characters: the start stays.
    s = makeSnippetText(QStringLiteral("Supercalifragilisticexpialidocious needle and then a fairly long ending"),
                        QStringLiteral("needle"));
    EXPECT_TRUE(s.text.startsWith(QStringLiteral("Supercalifragilistic")));

    // Line feeds read as spaces.
    s = makeSnippetText(QStringLiteral("Supercalifragilisticexpialidocious\nneedle\nlast line incomprehensibly"),
                        QStringLiteral("needle"));
    EXPECT_EQ(s.text, QStringLiteral("Supercalifragilisticexpialidocious needle last line incomprehensibly"));
}

TEST(SearchSnippet, NeverCutsAwayTheMatchItself)
{
    // A match at the very end of the text (nothing after it to extend into) stays in the snippet.
    const SearchSnippet s = makeSnippetText(QStringLiteral("the end of the needle"), QStringLiteral("needle"));
    EXPECT_EQ(s.text, kEllipsis + QStringLiteral("end of the needle"));
    EXPECT_EQ(s.text.mid(s.matchStart, s.matchLength), QStringLiteral("needle"));
}

TEST(SearchSnippet, MarksTheFirstOccurrenceIgnoringCaseAndAccents)
{
    const SearchSnippet s =
        makeSnippetText(QStringLiteral("Supercalifragilistic RÉSUMÉ and another résumé in the long text"),
                        QStringLiteral("resume"));
    EXPECT_EQ(s.matchStart, 21);
    EXPECT_EQ(s.matchLength, 6);

    const SearchSnippet none = makeSnippetText(QStringLiteral("Supercalifragilistic nothing to see"), QStringLiteral("zebra"));
    EXPECT_EQ(none.matchStart, -1);
    EXPECT_EQ(none.matchLength, 0);
}

TEST(SearchSnippet, ContextAtTheStartOrEndOfTheTextKeepsItsWholeEndWords)
{
    // Cut inside the text, a short first and last word may be fragments and give way.
    SearchSnippet s = makeSnippetText(QStringLiteral("See the needle here"), QStringLiteral("needle"));
    EXPECT_EQ(s.text, kEllipsis + QStringLiteral("the needle") + kEllipsis);
    // At the start and the end of the text they are whole words and stay.
    s = makeSnippetText(QStringLiteral("See the needle here"), QStringLiteral("needle"), {true, true});
    EXPECT_EQ(s.text, QStringLiteral("See the needle here"));
    EXPECT_EQ(s.text.mid(s.matchStart, s.matchLength), QStringLiteral("needle"));
    s = makeSnippetText(QStringLiteral("Page 12"), QStringLiteral("page"), {false, true});
    EXPECT_EQ(s.text, QStringLiteral("Page 12"));
    s = makeSnippetText(QStringLiteral("ion the needle and"), QStringLiteral("needle"), {false, true});
    EXPECT_EQ(s.text, kEllipsis + QStringLiteral("the needle and"));
}

TEST(SearchSnippet, MarksTheFoundPlaceNotAnEarlierOccurrenceOfTheSameWords)
{
    // "page 1" twice: the context of the second is given with its place; the first stays plain.
    const QString context = QStringLiteral("f page 1 text\nLine 2 of page 1 text and more of the lines");
    SnippetPlace place;
    place.matchStart = int(context.indexOf(QStringLiteral("page 1"), 5));
    place.matchLength = 6;
    SearchSnippet s = makeSnippetText(context, QStringLiteral("page 1"), place);
    EXPECT_EQ(s.text, kEllipsis + QStringLiteral("page 1 text Line 2 of page 1 text and more of the") + kEllipsis);
    EXPECT_EQ(s.matchStart, int(s.text.indexOf(QStringLiteral("page 1"), 5)));
    EXPECT_EQ(s.matchLength, 6);
    // Leading blanks trimmed away move the place with them.
    place.matchStart += 2;
    s = makeSnippetText(QStringLiteral("  ") + context, QStringLiteral("page 1"), place);
    EXPECT_EQ(s.text.mid(s.matchStart, 6), QStringLiteral("page 1"));
    EXPECT_GT(s.matchStart, 10);
}
