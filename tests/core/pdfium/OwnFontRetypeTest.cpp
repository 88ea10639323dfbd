// Retyping in the page's own font, on pages set the way real producers set them: a word changed into
// another of the same letters keeps the font of every kind, a TeX-style font without a space keeps its
// face and its word spaces, the lines not edited stay where they were, and a character the font lacks still
// brings a named stand-in.

#include "EditFixtures.h"

#include "core/pdfium/FontCodes.h"
#include "core/pdfium/LineEdit.h"
#include "support/FidelityPages.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using namespace vmk::editest;

namespace {

const QStringList kParagraph{
    QStringLiteral("Lorem ipsum dolor sit amet consetetur sadipscing elitr sed diam"),
    QStringLiteral("nonumy eirmod tempor invidunt labore dolore magna aliquyam erat"),
    QStringLiteral("voluptua vero eos accusam justo duo dolores rebum clita kasd"),
};

QString popplerText(const QByteArray& pdf, bool layout = false)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("t.pdf"), pdf);
    QStringList args{path, QStringLiteral("-")};
    if (layout)
        args.prepend(QStringLiteral("-layout"));
    return QString::fromUtf8(test::runCommand(QStringLiteral("pdftotext"), args).out);
}

QString pdffontsTable(const QByteArray& pdf)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("f.pdf"), pdf);
    const test::CommandResult r = test::runCommand(QStringLiteral("pdffonts"), {path});
    return QString::fromUtf8(r.out) + QString::fromUtf8(r.err);
}

// The band of the line at a baseline, across the page.
QRectF lineBand(qreal baseline, qreal size = 11) { return QRectF(0, baseline - 0.4 * size, 612, 1.5 * size); }

// Types `to` over `from` in the first block of the page that holds it.
PDFiumResult<TextEditResult> retypeWord(PDFEditSession& session, const QString& from, const QString& to)
{
    const QList<EditableTextBlock> blocks = session.model(0)->blocks;
    const auto block = std::find_if(blocks.begin(), blocks.end(),
                                    [&](const EditableTextBlock& b) { return b.text.contains(from); });
    if (block == blocks.end())
        return PDFiumError::notEditable(QStringLiteral("no block holds ") + from);
    QString typed = block->text;
    typed.replace(from, to);
    return session.replaceText(*block, typed, 0);
}

} // namespace

TEST(OwnFontRetype, ASameLetterEditKeepsTheFontOfEveryKindAndEveryOtherLine)
{
    for (FontKind kind : {FontKind::type1, FontKind::cff, FontKind::trueType}) {
        SCOPED_TRACE(int(kind));
        const QByteArray original = makeTypesetPdf(kind, kParagraph);
        if (original.isEmpty())
            GTEST_SKIP() << "Nimbus Roman or Liberation Serif is not installed";
        VMK_OPEN_SESSION_OR_SKIP(session, original);
        const auto model = session->model(0);
        ASSERT_TRUE(model && model->blocks.size() == 1);
        const EditableTextBlock block = model->blocks.first();
        ASSERT_EQ(block.lineCount, 3);
        QString typed = block.text;
        typed.replace(QStringLiteral("tempor"), QStringLiteral("temrop"));
        const auto result = session->replaceText(block, typed, 0);
        ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
        EXPECT_TRUE(result->reusedOriginalFont);
        EXPECT_FALSE(result->embeddedFontName);
        const QByteArray saved = session->save().value();
        // The same one font, and the new word between its neighbours with their spaces.
        const QString fonts = pdffontsTable(saved);
        EXPECT_EQ(fonts.count(QStringLiteral("yes")), original.isEmpty() ? 0 : pdffontsTable(original).count(QStringLiteral("yes")))
            << fonts.toStdString();
        EXPECT_TRUE(popplerText(saved).simplified().contains(QStringLiteral("nonumy eirmod temrop invidunt labore")))
            << popplerText(saved).toStdString();
        // Only the edited line changed.
        EXPECT_EQ(test::pixelsChangedOutside(original, saved, {lineBand(687)}), 0);
        EXPECT_TRUE(qpdfAccepts(saved));
    }
}

TEST(OwnFontRetype, AWordReadBackOverTheOldOneKeepsTheFont)
{
    // The new word is read back before the old one leaves: letters both draw in the same place count.
    const QByteArray original = makeHelveticaContentPdf("BT /F1 72 Tf 72 700 Td (Page ) Tj ET\n"
                                                        "BT /F1 72 Tf 250 700 Td (2) Tj ET\n"
                                                        "BT /F1 72 Tf 290 700 Td ( ) Tj ET\n");
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const EditableTextBlock block = session->model(0)->blocks.first();
    const auto result = session->replaceText(block, QStringLiteral("Pgae 2"), 0);
    ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
    EXPECT_TRUE(result->reusedOriginalFont);
    const QByteArray saved = session->save().value();
    EXPECT_EQ(extractText(saved), QStringLiteral("Pgae 2"));
    // The word alone was written again: the figure after it stays where it was.
    EXPECT_EQ(test::pixelsChangedOutside(original, saved, {QRectF(60, 670, 185, 100)}), 0);
}

TEST(OwnFontRetype, GlyphsPlacedOneByOneAreWrittenOneByOneAtTheLinesOwnSpacing)
{
    // Every letter placed 8 points after the last, where the font's widths say an em (12 points): the new
    // word is set as the line was, not by the widths.
    auto placed = [](const QByteArray& letters) {
        QByteArray content, widths;
        for (int i = 0; i < letters.size(); ++i)
            content += "BT /F1 12 Tf " + QByteArray::number(72 + 8 * i) + " 700 Td (" + letters[i] + ") Tj ET\n";
        for (int code = 32; code <= 126; ++code)
            widths += " 1000";
        return test::assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
                                  " /Resources << /Font << /F1 5 0 R >> >> >>",
                                  test::pdfStream({}, content),
                                  "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding"
                                  " /FirstChar 32 /LastChar 126 /Widths [" + widths + "] >>"});
    };
    const QByteArray original = placed("WORDS");
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const EditableTextBlock block = session->model(0)->blocks.first();
    const auto result = session->replaceText(block, QStringLiteral("WRODS"), 0);
    ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
    EXPECT_TRUE(result->reusedOriginalFont);
    EXPECT_EQ(test::pixelsChangedOutside(placed("WRODS"), session->save().value(), {}), 0);
}

TEST(OwnFontRetype, AnEditedLineStaysOnAPageWithAPictureUnderALastingTransformation)
{
    QByteArray content = "BT /F1 10 Tf 72 740 Td";
    for (int i = 0; i < 6; ++i)
        content += " (" + QByteArray(i == 4 ? "the implementation of it" : "filler words") + ") Tj 0 -12 Td";
    content += " ET\n1 0 0 1 300 500 cm q 50 0 0 50 0 0 cm /X1 Do Q 1 0 0 1 -300 -500 cm\n";
    const QList<QByteArray> pictures{
        test::pdfStream("/Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8",
                        QByteArray("\x00\xff", 2)),
        test::pdfStream("/Type /XObject /Subtype /Form /BBox [0 0 1 1]", "0 0 1 1 re f")};
    for (const QByteArray& picture : pictures) {
        const QByteArray original = test::assemblePdf(
            {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
             " /Resources << /Font << /F1 5 0 R >> /XObject << /X1 6 0 R >> >> >>",
             test::pdfStream({}, content), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
             picture});
        VMK_OPEN_SESSION_OR_SKIP(session, original);
        const EditableTextBlock block = session->model(0)->blocks.first();
        QString typed = block.text;
        typed.replace(QStringLiteral("implementation"), QStringLiteral("ipmlementation"));
        ASSERT_TRUE(session->replaceText(block, typed, 0).ok());
        const QByteArray saved = session->save().value();
        EXPECT_TRUE(extractText(saved).contains(QStringLiteral("the ipmlementation of it"))) << extractText(saved).toStdString();
        EXPECT_EQ(test::pixelsChangedOutside(original, saved, {QRectF(60, 685, 200, 16)}), 0);
    }
}

TEST(OwnFontRetype, AWordEditInAWholeColumnObjectOrAPageWideGroupTouchesOnlyItsLine)
{
    // Justified lines keep their own word spacing, the edited line's neighbours included.
    for (Laying laying : {Laying::oneObject, Laying::groupedPerLine, Laying::groupedOneObject, Laying::justified}) {
        SCOPED_TRACE(int(laying));
        const FontKind kind = laying == Laying::justified ? FontKind::trueType : FontKind::type1;
        const QByteArray original = makeTypesetPdf(kind, kParagraph, 11, 13, laying);
        if (original.isEmpty())
            GTEST_SKIP() << "Nimbus Roman is not installed";
        VMK_OPEN_SESSION_OR_SKIP(session, original);
        const auto result = retypeWord(*session, QStringLiteral("tempor"), QStringLiteral("temrop"));
        ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
        EXPECT_TRUE(result->reusedOriginalFont);
        const QByteArray saved = session->save().value();
        EXPECT_EQ(test::pixelsChangedOutside(original, saved, {lineBand(687)}), 0);
        EXPECT_TRUE(qpdfAccepts(saved));
        const QStringList lines = popplerText(saved).split(QLatin1Char('\n'));
        EXPECT_TRUE(lines.contains(kParagraph[0]) && lines.contains(kParagraph[2])) << lines.join('|').toStdString();
        EXPECT_TRUE(popplerText(saved).simplified().contains(QStringLiteral("nonumy eirmod temrop invidunt labore")));
    }
}

TEST(OwnFontRetype, AFontWithoutASpaceKeepsItsFaceAndWordSpacesWhenTheParagraphReflows)
{
    const QByteArray original = makeTypesetPdf(FontKind::type1, kParagraph);
    if (original.isEmpty())
        GTEST_SKIP() << "Nimbus Roman is not installed";
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const EditableTextBlock block = session->model(0)->blocks.first();
    // Words moved across lines: the whole paragraph is set again, in its own font, spaces as positions.
    const QString typed = QStringLiteral("Lorem ipsum dolor sit amet sadipscing consetetur elitr sed diam nonumy eirmod "
                                         "tempor invidunt labore dolore magna aliquyam erat voluptua vero eos accusam "
                                         "justo duo dolores rebum clita kasd");
    const auto result = session->replaceText(block, typed, 0);
    ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
    EXPECT_TRUE(result->reusedOriginalFont);
    const QByteArray saved = session->save().value();
    EXPECT_TRUE(popplerText(saved).simplified().contains(QStringLiteral("sit amet sadipscing consetetur elitr")))
        << popplerText(saved).toStdString();
    EXPECT_FALSE(pdffontsTable(saved).contains(QStringLiteral("TrueType")));
    // A Greek letter the font lacks brings an installed face, named.
    const EditableTextBlock again = session->model(0)->blocks.first();
    const auto greek = session->replaceText(again, again.text + QStringLiteral(" \u03b1"), 0);
    ASSERT_TRUE(greek.ok()) << greek.error().message().toStdString();
    EXPECT_FALSE(greek->reusedOriginalFont);
    ASSERT_TRUE(greek->embeddedFontName);
    EXPECT_FALSE(greek->embeddedFontName->isEmpty());
}

TEST(OwnFontRetype, AListOfShortLinesKeepsItsLines)
{
    const QStringList contents{QStringLiteral("1 Introduction"), QStringLiteral("2 Related work"),
                               QStringLiteral("3 Method"), QStringLiteral("4 Experiments and results"),
                               QStringLiteral("5 Conclusion")};
    const QByteArray original = makeTypesetPdf(FontKind::cff, contents);
    if (original.isEmpty())
        GTEST_SKIP() << "Nimbus Roman is not installed";
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const EditableTextBlock block = session->model(0)->blocks.first();
    EXPECT_EQ(block.text.count(QLatin1Char('\n')), 4) << block.text.toStdString();
    // An edit across two entries sets the block again: its lines stay lines.
    QString typed = block.text;
    typed.replace(QStringLiteral("Related work\n3 Method"), QStringLiteral("Related kwor\n3 Mehtod"));
    const auto result = session->replaceText(block, typed, 0);
    ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
    EXPECT_TRUE(result->reusedOriginalFont);
    EXPECT_EQ(result->lineCount, 5);
    const QStringList lines = popplerText(session->save().value(), true).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[2].simplified(), QStringLiteral("3 Mehtod"));
}

TEST(OwnFontRetype, CodesAreTheFontsOwnAndWordsAreSetApartWithoutASpace)
{
    fontcodes::FontCodes codes;
    codes.codeOf = {{QStringLiteral("a"), 33}, {QStringLiteral("b"), 34}, {QStringLiteral("fi"), 35}};
    codes.advance = {{33, 0.5}, {34, 0.6}, {35, 0.55}};
    struct Case {
        QString text;
        std::optional<std::vector<uint32_t>> codes;
    };
    for (const Case& c : QList<Case>{{QStringLiteral("ab"), std::vector<uint32_t>{33, 34}},
                                     {QStringLiteral("fia"), std::vector<uint32_t>{35, 33}},
                                     {QStringLiteral("a b"), std::nullopt}, // no space code
                                     {QStringLiteral("ac"), std::nullopt}}) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(fontcodes::encode(c.text, codes), c.codes);
    }
    EditableTextBlock block;
    block.bounds = QRectF(72, 690, 30, 12);
    block.fontSize = 10;
    block.firstBaseline = 700;
    block.lineHeight = 12;
    block.lineCount = 2;
    const auto laid = fontcodes::layOut(QStringLiteral("ab ab ab\nba"), codes, block, 594);
    ASSERT_TRUE(laid);
    // A frame 31.6 points wide: two words a line at most, each a piece of its own, a third of an em apart.
    ASSERT_EQ(laid->lineCount, 3);
    ASSERT_EQ(laid->pieces.size(), 4);
    EXPECT_DOUBLE_EQ(laid->pieces[1].origin.x(), 72 + 11 + 3.33);
    EXPECT_DOUBLE_EQ(laid->pieces[3].origin.y(), 700 - 24);
}

TEST(OwnFontRetype, ALinePlanRewritesOnlyTheObjectsHoldingChangedOrMovedWords)
{
    // "one two" in object 0, "three" in object 1; every letter 5 points wide, words 5 points apart.
    QList<lineedit::LineChar> chars;
    qreal x = 0;
    for (const auto& [word, source] : QList<std::pair<QString, int>>{{"one", 0}, {"two", 0}, {"three", 1}}) {
        for (QChar c : word) {
            chars.append({QString(c), x, source});
            x += 5;
        }
        chars.append({QStringLiteral(" "), x, source});
        x += 5;
    }
    lineedit::LineMetrics metrics;
    metrics.width = [](int, const QString& t) { return std::optional<qreal>(5.0 * t.size()); };
    metrics.space = [](int) { return 5.0; };
    metrics.sourceRight = [](int s) { return s == 0 ? 35.0 : 65.0; };
    metrics.rightLimit = 70;
    const auto same = lineedit::planLineEdit(chars, QStringLiteral("one two three"), QStringLiteral("one tow three"), metrics);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->removed, QSet<int>{0});
    ASSERT_EQ(same->pieces.size(), 2);
    EXPECT_EQ(same->pieces[0].text, QStringLiteral("tow"));
    EXPECT_EQ(same->pieces[0].x, 20);
    EXPECT_EQ(same->pieces[1].text, QStringLiteral("one"));
    EXPECT_EQ(same->pieces[1].x, 0);
    // A longer word moves the words after it; one that no longer fits is refused.
    const auto longer = lineedit::planLineEdit(chars, QStringLiteral("one two three"), QStringLiteral("one twos three"), metrics);
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->removed, (QSet<int>{0, 1}));
    EXPECT_FALSE(lineedit::planLineEdit(chars, QStringLiteral("one two three"), QStringLiteral("one twoooo three"), metrics));
    // A line already past the limit (to the page's edge) may reach as far again, not further.
    metrics.rightLimit = 40;
    EXPECT_TRUE(lineedit::planLineEdit(chars, QStringLiteral("one two three"), QStringLiteral("one tow three"), metrics));
    EXPECT_FALSE(lineedit::planLineEdit(chars, QStringLiteral("one two three"), QStringLiteral("one twos three"), metrics));
    metrics.rightLimit = 70;
    // A word that only shares a rewritten object keeps its part in the other object: "three" drawn as "th"
    // in object 0 and "ree" in object 1 (a copy of object 1 over itself would read as a duplicate).
    QList<lineedit::LineChar> split = chars;
    split[8].source = split[9].source = 0;
    const auto shared = lineedit::planLineEdit(split, QStringLiteral("one two three"), QStringLiteral("one tow three"), metrics);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->removed, QSet<int>{0});
    ASSERT_EQ(shared->pieces.size(), 3);
    EXPECT_EQ(shared->pieces[2].text, QStringLiteral("th"));
    EXPECT_EQ(shared->pieces[2].x, 40);
    // A glyph set off by kerning keeps its place: "one" with "ne" a point further right is written in two.
    QList<lineedit::LineChar> kerned = chars;
    kerned[1].x += 1;
    kerned[2].x += 1;
    const auto kept = lineedit::planLineEdit(kerned, QStringLiteral("one two three"), QStringLiteral("one tow three"), metrics);
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->pieces.size(), 3);
    EXPECT_EQ(kept->pieces[1].text + kept->pieces[2].text, QStringLiteral("one"));
    EXPECT_EQ(kept->pieces[2].x, 6);
    // A word drawn by two objects (its ligature in a font of its own) is rewritten only where it changed.
    QList<lineedit::LineChar> ligature;
    for (const auto& [c, source] : QList<std::pair<QString, int>>{{"b", 0}, {"a", 0}, {"f", 1}, {"i", 1}, {"t", 2}})
        ligature.append({c, 5.0 * ligature.size(), source});
    const auto part = lineedit::planLineEdit(ligature, QStringLiteral("bafit"), QStringLiteral("abfit"), metrics);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->removed, QSet<int>{0});
    ASSERT_EQ(part->pieces.size(), 1);
    EXPECT_EQ(part->pieces[0].text, QStringLiteral("ab"));
    // Written whole, a word drawn by two objects goes with the one rewritten.
    metrics.wholeWords = true;
    const auto whole = lineedit::planLineEdit(split, QStringLiteral("one two three"), QStringLiteral("one tow three"), metrics);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->removed, (QSet<int>{0, 1}));
    metrics.wholeWords = false;
    // Characters that do not read as the line's text are not trusted.
    EXPECT_FALSE(lineedit::planLineEdit(chars, QStringLiteral("one too three"), QStringLiteral("one tow three"), metrics));
}

TEST(OwnFontRetype, CharacterSpacingIsTheAmountMostGlyphsStandPastTheirAdvance)
{
    const struct {
        QList<qreal> past;
        std::optional<qreal> spacing;
    } cases[] = {
        {{-0.27, -0.27, -0.28, -0.27}, -0.2725},
        {{1.5, 1.5, 0.9, 1.5}, 1.5},  // one kerned pair among them
        {{0.02, -0.03, 0.0, 0.01}, {}}, // rounding: no spacing
        {{0.6, -0.4, 0.0, 0.3}, {}},   // kerning: no one amount
        {{-0.27}, -0.27},              // a two-letter object
        {{}, {}},
    };
    for (const auto& c : cases) {
        const auto spacing = lineedit::characterSpacing(c.past, 0.1);
        ASSERT_EQ(spacing.has_value(), c.spacing.has_value());
        if (spacing)
            EXPECT_NEAR(*spacing, *c.spacing, 1e-9);
    }
}

TEST(OwnFontRetype, WordsInTwoFontsOfOneNameKeepTheirGlyphsAndTheirNames)
{
    // Two subsets of one face under one name, their letters at different codes: the engine writing the line
    // again must not draw the second font's words by the first one's codes, and the file keeps both names.
    const QByteArray program = installedFontProgram(FontKind::type1);
    if (program.isEmpty())
        GTEST_SKIP() << "Nimbus Roman is not installed";
    const QString first = QStringLiteral("Lorem ipsum amet"), second = QStringLiteral("dolor sit");
    QString letters;
    for (QChar c : first + second)
        if (c != QLatin1Char(' ') && !letters.contains(c))
            letters += c;
    auto font = [&](const QString& order, int descriptor) {
        QByteArray differences = "33";
        for (QChar c : order)
            differences += " /" + QByteArray(1, char(c.toLatin1()));
        return "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+NimbusRoman-Regular /FontDescriptor "
            + test::ref(descriptor) + " /Encoding << /Type /Encoding /Differences [" + differences + "] >> >>";
    };
    QString reversed = letters;
    std::reverse(reversed.begin(), reversed.end());
    auto shown = [](const QString& text, const QString& order) {
        QByteArray out = "[";
        for (const QString& word : text.split(QLatin1Char(' '))) {
            out += out == "[" ? "<" : "-333<";
            for (QChar c : word)
                out += QByteArray::number(33 + order.indexOf(c), 16);
            out += ">";
        }
        return out + "] TJ";
    };
    // One text object, as producers write a line: the engine writes all of it again.
    const QByteArray content = "BT /F1 11 Tf 72 700 Td " + shown(first, letters) + " [-333] TJ /F2 11 Tf "
        + shown(second, reversed) + " ET\nBT /F1 11 Tf 72 687 Td " + shown(first, letters) + " ET\n";
    const QByteArray descriptor = "<< /Type /FontDescriptor /FontName /ABCDEF+NimbusRoman-Regular /Flags 34"
                                  " /FontBBox [-200 -300 1100 1000] /ItalicAngle 0 /Ascent 900 /Descent -250"
                                  " /CapHeight 700 /StemV 80 /FontFile 8 0 R >>";
    const QByteArray original = test::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
         " /Resources << /Font << /F1 5 0 R /F2 6 0 R >> >> >>",
         test::pdfStream({}, content), font(letters, 7), font(reversed, 7), descriptor, test::pdfStream({}, program)});
    ASSERT_TRUE(extractText(original).contains(QStringLiteral("Lorem ipsum amet dolor sit")));
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const EditableTextBlock block = session->model(0)->blocks.first();
    QString typed = block.text;
    typed.replace(0, 5, QStringLiteral("Lroem"));
    const auto result = session->replaceText(block, typed, 0);
    ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
    EXPECT_TRUE(result->reusedOriginalFont);
    const QByteArray saved = session->save().value();
    EXPECT_TRUE(extractText(saved).contains(QStringLiteral("Lroem ipsum amet dolor sit")));
    // Only the edited word's pixels changed; the names are the file's own.
    EXPECT_EQ(test::pixelsChangedOutside(original, saved, {QRectF(72, 695, 30, 14)}), 0);
    EXPECT_EQ(pdffontsTable(saved).count(QStringLiteral("ABCDEF+NimbusRoman-Regular")), 2) << pdffontsTable(saved).toStdString();
    EXPECT_TRUE(qpdfAccepts(saved));
}

TEST(OwnFontRetype, AWordEditBesideTextSetWithSpacingLeavesItAsDrawn)
{
    // The engine writes text again without character or word spacing: spaced runs of the line must not be
    // written again, nor the spacing of text before the edited line be in force where that line is written.
    const QByteArray cases[] = {
        "BT /F1 12 Tf 0.8 Tc 72 700 Td (alpha) Tj 0 Tc 60 0 Td (bravo charlie) Tj 1.5 Tc 4 Tw 100 0 Td (delta echo) Tj ET\n",
        "BT /F1 12 Tf 1.5 Tc 72 720 Td (delta echo) Tj ET\nBT /F1 12 Tf 0 Tc 132 700 Td (bravo charlie) Tj ET\n",
    };
    for (const QByteArray& content : cases) {
        SCOPED_TRACE(content.toStdString());
        const QByteArray original = makeHelveticaContentPdf(content);
        VMK_OPEN_SESSION_OR_SKIP(session, original);
        const auto result = retypeWord(*session, QStringLiteral("charlie"), QStringLiteral("cahrlie"));
        ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
        const QByteArray saved = session->save().value();
        EXPECT_EQ(test::pixelsChangedOutside(original, saved, {QRectF(165, 695, 45, 16)}), 0);
        EXPECT_TRUE(extractText(saved).contains(QStringLiteral("bravo cahrlie"))) << extractText(saved).toStdString();
    }
}

TEST(OwnFontRetype, APageOfMoreTextObjectsThanStreamsIsRewrittenOnlyNearTheEdit)
{
    // A thousand spaced labels: pieces share streams then, and writing one stream again drops only the
    // spacing of the few it holds.
    QByteArray content;
    for (int i = 0; i < 1000; ++i)
        content += "BT /F1 4 Tf 0.5 Tc " + QByteArray::number(20 + (i % 20) * 28) + ' '
            + QByteArray::number(20 + (i / 20) * 10) + " Td (" + QByteArray::number(i) + ") Tj ET\n";
    content += "BT /F1 12 Tf 0 Tc 72 700 Td (filler words) Tj ET\nBT /F1 12 Tf 0 Tc 72 720 Td (Quarterly report) Tj ET\n";
    const QByteArray original = makeHelveticaContentPdf(content);
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const auto result = retypeWord(*session, QStringLiteral("Quarterly report"), QStringLiteral("Quarterly rpeort"));
    ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
    EXPECT_EQ(test::pixelsChangedOutside(original, session->save().value(), {QRectF(60, 715, 150, 20)}), 0);
}

TEST(OwnFontRetype, AnEditedLineIsDrawnAfterARestoreWithNothingSaved)
{
    // A reader that stops at a restore with nothing saved would not draw what the edit adds after it.
    const QByteArray content = "q 0 0 0 RG q 50 0 0 50 300 500 cm /X1 Do Q\nBT /F1 10 Tf 72 700 Td (the implementation "
                               "of it) Tj ET\nBT /F1 10 Tf 72 688 Td (filler words) Tj ET\nQ\nQ\n";
    const QByteArray original = test::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
         " /Resources << /Font << /F1 5 0 R >> /XObject << /X1 6 0 R >> >> >>",
         test::pdfStream({}, content), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
         test::pdfStream("/Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8",
                         QByteArray("\x00\xff", 2))});
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const EditableTextBlock block = session->model(0)->blocks.first();
    QString typed = block.text;
    typed.replace(QStringLiteral("implementation"), QStringLiteral("ipmlementation"));
    ASSERT_TRUE(session->replaceText(block, typed, 0).ok());
    EXPECT_TRUE(extractText(session->save().value()).contains(QStringLiteral("the ipmlementation of it")));
}

TEST(OwnFontRetype, ALineKeepsItsCharacterWordAndKernedSpacingAroundTheEditedWord)
{
    // Each word of the line set apart its own way in one text object: the new word and every other one must
    // stand where they stood, with the gaps a reader takes for spaces.
    const QByteArray original = makeHelveticaContentPdf(
        "BT /F1 12 Tf 72 700 Td -0.6 Tc (spaced) Tj 0 Tc ( ) Tj -0.6 Tc (letters) Tj 0 Tc ( and ) Tj"
        " [(W)120(A)80(VE)] TJ ( ) Tj 6 Tw (two words) Tj ET\n");
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const auto result = retypeWord(*session, QStringLiteral("letters"), QStringLiteral("lettres"));
    ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
    EXPECT_TRUE(result->reusedOriginalFont);
    const QByteArray saved = session->save().value();
    EXPECT_EQ(extractText(saved), QStringLiteral("spaced lettres and WAVE two words"));
    EXPECT_EQ(test::pixelsChangedOutside(original, saved, {QRectF(109, 695, 32, 18)}), 0);
}

TEST(OwnFontRetype, AnAccentDrawnBeforeItsLetterStaysBeforeItWhenTheLineMovesAfterAPicture)
{
    // "naive" with its diaeresis an object of its own over the "i", drawn between "na" and "ive ...", on a
    // page with a picture (the line's pieces go to the end of the content).
    const QByteArray content = "q 50 0 0 50 300 500 cm /X1 Do Q\n"
                               "BT /F1 10 Tf 72 700 Td (a na) Tj ET\n"
                               "BT /F1 10 Tf 90.9 700.3 Td (\250) Tj ET\n"
                               "BT /F1 10 Tf 91.46 700 Td (ive implementation of it) Tj ET\n"
                               "BT /F1 10 Tf 72 688 Td (filler words) Tj ET\n";
    const QByteArray original = test::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
         " /Resources << /Font << /F1 5 0 R >> /XObject << /X1 6 0 R >> >> >>",
         test::pdfStream({}, content), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
         test::pdfStream("/Type /XObject /Subtype /Image /Width 2 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8",
                         QByteArray("\x00\xff", 2))});
    const QString before = extractText(original);
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const EditableTextBlock block = session->model(0)->blocks.first();
    QString typed = block.text;
    typed.replace(QStringLiteral("implementation"), QStringLiteral("ipmlementation"));
    ASSERT_TRUE(session->replaceText(block, typed, 0).ok());
    EXPECT_EQ(extractText(session->save().value()),
              QString(before).replace(QStringLiteral("implementation"), QStringLiteral("ipmlementation")));
}
