// Retyping checked with second engines: spaces survive (pdftotext), a stand-in font is an embeddable
// TrueType subset of the right kind (pdffonts, file growth), a failed retype changes nothing, and
// replacement pictures keep their colours under transparency.

#include "EditFixtures.h"

#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/FontMatching.h"
#include "core/pdfium/SavedNumbers.h"
#include "platform/fonts/FontService.h"
#include "platform/fonts/FontSubset.h"
#include "platform/pdf/pages/ContentSplit.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "support/FidelityPages.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using namespace vmk::editest;

namespace {

std::optional<EditableTextBlock> blockAt(PDFEditSession& session, QPointF point)
{
    const auto model = session.model(0);
    if (!model)
        return std::nullopt;
    for (const EditableTextBlock& b : model->blocks)
        if (b.bounds.adjusted(-2, -2, 2, 2).contains(point))
            return b;
    return std::nullopt;
}

struct FontsReport {
    QString table;
    QString warnings;
};

FontsReport pdffonts(const QByteArray& pdf)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("f.pdf"), pdf);
    const test::CommandResult r = test::runCommand(QStringLiteral("pdffonts"), {path});
    return {QString::fromUtf8(r.out), QString::fromUtf8(r.err).trimmed()};
}

QString pdftotextRaw(const QByteArray& pdf)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, QStringLiteral("t.pdf"), pdf);
    return QString::fromUtf8(test::runCommand(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}).out);
}

} // namespace

TEST(RetypeFidelity, TexTextKeepsItsSpacesWithAnEmbeddedTrueTypeSubset)
{
    const QByteArray original = test::texLikePdf();
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const auto block = blockAt(*session, QPointF(90, 704));
    ASSERT_TRUE(block);
    const QString typed = QStringLiteral("Here is to the round pegs in the square holes.");
    const auto result = session->replaceText(*block, typed, 0);
    ASSERT_TRUE(result.ok()) << result.error().message().toStdString();
    // The page's font has no space: it is not reused, whatever reading the text back would say.
    EXPECT_FALSE(result->reusedOriginalFont);
    ASSERT_TRUE(result->embeddedFontName);
    EXPECT_TRUE(result->embeddedFontName->startsWith(QStringLiteral("LiberationSerif"))) << result->embeddedFontName->toStdString();
    const QByteArray saved = session->save().value();

    // The text may wrap where the block wraps: compare with line breaks read as spaces, spaces required.
    EXPECT_TRUE(pdftotextRaw(saved).simplified().contains(typed)) << pdftotextRaw(saved).toStdString();
    EXPECT_TRUE(pdftotextRaw(saved).contains(QStringLiteral("Another paragraph far below.")));
    const FontsReport fonts = pdffonts(saved);
    EXPECT_EQ(fonts.warnings, QString());
    EXPECT_TRUE(fonts.table.contains(QStringLiteral("CID TrueType"))) << fonts.table.toStdString();
    EXPECT_FALSE(fonts.table.contains(QStringLiteral("OpenType")));
    EXPECT_TRUE(qpdfAccepts(saved));
    // A one-line edit embeds kilobytes, not the face.
    EXPECT_LT(saved.size() - original.size(), 60 * 1024) << saved.size() << " vs " << original.size();
}

TEST(RetypeFidelity, AFontWithAUsableSpaceIsReusedAndSpacesReadBack)
{
    const QByteArray original = makeHelveticaPdf({{QStringLiteral("Quarterly report"), {72, 700}, 18}});
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const auto block = blockAt(*session, QPointF(80, 704));
    ASSERT_TRUE(block);
    const auto result = session->replaceText(*block, QStringLiteral("Annual report for 2026"), 0);
    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(result->reusedOriginalFont);
    EXPECT_TRUE(pdftotextRaw(session->save().value()).contains(QStringLiteral("Annual report for 2026")));
}

TEST(RetypeFidelity, AFailedRetypeLeavesThePageAndItsModelAsTheyWere)
{
    const QByteArray original = test::texLikePdf();
    VMK_OPEN_SESSION_OR_SKIP(session, original);
    const auto block = blockAt(*session, QPointF(90, 704));
    ASSERT_TRUE(block);
    const QByteArray untouched = session->save().value();
    // An Egyptian hieroglyph: no installed face draws it, so no font can be embedded for it.
    const auto result = session->replaceText(*block, QStringLiteral("Here is \U00013000"), 0);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, PDFiumError::Kind::fontFailed);
    // The block is still there, with the same objects, and the page saves as before.
    const auto again = blockAt(*session, QPointF(90, 704));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->id, block->id);
    EXPECT_EQ(again->objects, block->objects);
    const QByteArray after = session->save().value();
    EXPECT_EQ(test::pixelsChangedOutside(untouched, after, {}), 0);
    EXPECT_EQ(pdftotextRaw(after), pdftotextRaw(untouched));
    // A later edit of another block keeps the first paragraph.
    const auto below = blockAt(*session, QPointF(90, 603));
    ASSERT_TRUE(below);
    ASSERT_TRUE(session->replaceText(*below, QStringLiteral("Another paragraph"), 0).ok());
    EXPECT_TRUE(pdftotextRaw(session->save().value()).contains(QStringLiteral("crazy")));
}

TEST(RetypeFidelity, StandInsAreEmbeddableTrueTypeFacesOfTheSameKindWeightAndSlant)
{
    struct Case {
        const char* pdfName;
        bool bold, italic;
        int flags;
        const char* family;
    };
    const QList<Case> cases{
        {"Times-Bold", true, false, 2, "Liberation Serif"},
        {"ABCDEF+NimbusRomNo9L-Medi", true, false, 2, "Liberation Serif"},
        {"NimbusSans-Regular", false, false, 0, "Liberation Sans"},
        {"Helvetica-Oblique", false, true, 64, "Liberation Sans"},
        {"Courier", false, false, 1, "Liberation Mono"},
        {"QXJSTA+CMR10", false, false, 34, "Liberation Serif"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pdfName);
        const platform::Font f = fontmatching::matchSystemFont(QString::fromLatin1(c.pdfName), 12, c.bold, c.italic, c.flags);
        ASSERT_TRUE(f.isValid());
        EXPECT_TRUE(fontmatching::hasTrueTypeOutlines(f)) << f.postScriptName().toStdString();
        EXPECT_EQ(f.familyName(), QString::fromLatin1(c.family));
        EXPECT_EQ(f.isBold(), c.bold);
        EXPECT_EQ(f.isItalic(), c.italic);
    }
    // A face with CFF outlines (as the URW faces have) is never what gets embedded.
    const platform::Font cff = platform::FontService::fontNamed(QStringLiteral("NimbusSans-Regular"));
    if (cff.isValid()) {
        EXPECT_FALSE(fontmatching::hasTrueTypeOutlines(cff));
    }
    const platform::Font serif = platform::FontService::fontForFamily(QStringLiteral("Liberation Serif"), false, false);
    ASSERT_TRUE(serif.isValid());
    const auto subset = platform::subsetTrueType(serif.fileData(), QStringLiteral("Hello"));
    ASSERT_TRUE(subset);
    EXPECT_LT(subset->size(), 12 * 1024);
    EXPECT_FALSE(platform::subsetTrueType(QByteArray("not a font"), QStringLiteral("x")));
}

TEST(RetypeFidelity, ContentIsCutBetweenTextObjectsPicturesAndGroupsOnly)
{
    const QByteArray content = "0 0 1 rg 10 10 m 20 20 l S 5 w\n"      // graphics
                               "BT /F1 12 Tf (a) Tj ET\n"              // text
                               "q 1 0 0 1 5 5 cm /Im1 Do Q\n"          // picture group
                               "BI /W 1 /H 1 /CS /G /BPC 8 ID \x7f EI\n" // inline picture
                               "q (BT) pop Q 0 g 1 1 2 2 re f\n"        // graphics group, then graphics
                               "/Sh1 sh\n";
    const QList<qsizetype> cuts = pdf::contentCutPoints(content);
    QList<QByteArray> pieces;
    qsizetype from = 0;
    for (qsizetype at : cuts) {
        pieces << content.mid(from, at - from).trimmed();
        from = at;
    }
    pieces << content.mid(from).trimmed();
    ASSERT_EQ(pieces.size(), 6) << content.toStdString();
    EXPECT_EQ(pieces[0], "0 0 1 rg 10 10 m 20 20 l S 5 w");
    EXPECT_EQ(pieces[1], "BT /F1 12 Tf (a) Tj ET");
    EXPECT_EQ(pieces[2], "q 1 0 0 1 5 5 cm /Im1 Do Q");
    EXPECT_TRUE(pieces[3].startsWith("BI") && pieces[3].endsWith("EI"));
    EXPECT_EQ(pieces[4], "q (BT) pop Q");
    EXPECT_EQ(pieces[5], "0 g 1 1 2 2 re f\n/Sh1 sh"); // a shading painted at the top level is a picture
    // Unbalanced content is never cut; a restore with nothing saved, which readers pass over, is no bar.
    EXPECT_TRUE(pdf::contentCutPoints("q BT (x) Tj ET").isEmpty());
    EXPECT_TRUE(pdf::contentCutPoints("BT (x) Tj ET Q BT").isEmpty());
    EXPECT_EQ(pdf::contentCutPoints("BT (x) Tj ET Q 0 0 m 1 1 l S"), QList<qsizetype>{12});
    EXPECT_TRUE(pdf::contentCutPoints("0 0 m 1 1 l S").isEmpty());
}

TEST(RetypeFidelity, LinesAndPageWideGroupsAreSetApartInTheStateTheyHad)
{
    const struct {
        QByteArray content, apart;
        bool spacedRunsApart = false;
    } cases[] = {
        // Runs along a line apart where spacing is in force on either side of a move, asked for.
        {"BT /F1 10 Tf 72 700 Td (a) Tj 9 0 Td (b) Tj 2 Tc 9 0 Td (c) Tj 0 Tc 9 0 Td (d) Tj 9 0 Td (e) Tj ET",
         "BT /F1 10 Tf 72 700 Td (a) Tj 9 0 Td (b) Tj 2 Tc ET BT 72 700 Td 9 0 Td /F1 10 Tf 2 Tc 9 0 Td (c) Tj 0 Tc ET"
         " BT 72 700 Td 9 0 Td 9 0 Td /F1 10 Tf 0 Tc 9 0 Td (d) Tj 9 0 Td (e) Tj ET",
         true},
        // A column in one text object: a new object at each new line, not at a move along the line, set by
        // the same moves (the reader's arithmetic repeated to the last bit).
        {"BT /F1 10 Tf 2 Tc 72 700 Td (a) Tj 0 -12 Td (b) Tj 5 0 Td (c) Tj ET",
         "BT /F1 10 Tf 2 Tc 72 700 Td (a) Tj ET BT 72 700 Td /F1 10 Tf 2 Tc 0 -12 Td (b) Tj 5 0 Td (c) Tj ET"},
        {"BT 14 TL 1 0 0 1 9 90 Tm (a) Tj T* (b) Tj 2 -16 TD (c) Tj T* (d) Tj ET",
         "BT 14 TL 1 0 0 1 9 90 Tm (a) Tj ET BT 1 0 0 1 9 90 Tm 14 TL T* (b) Tj ET BT 1 0 0 1 9 90 Tm 0 -14 Td 14 TL"
         " 2 -16 TD (c) Tj ET BT 1 0 0 1 9 90 Tm 0 -14 Td 2 -16 TD 16 TL T* (d) Tj ET"},
        // A page-wide group closed and opened again between units, with the transformation, colour and clip.
        {"q 2 0 0 2 0 0 cm 0 0 9 9 re W n 1 g BT (a) Tj ET 0 0 m 1 1 l S q /Im1 Do Q Q",
         "q 2 0 0 2 0 0 cm 0 0 9 9 re W n 1 g BT (a) Tj ET Q q 2 0 0 2 0 0 cm 0 0 9 9 re W n 1 g 0 0 m 1 1 l S"
         " Q q 2 0 0 2 0 0 cm 0 0 9 9 re W n 1 g q /Im1 Do Q Q"},
        // Groups nested around the page, as PostScript converters write them: each closed and opened again.
        {"q 0.1 0 0 0.1 0 0 cm q 10 0 0 10 0 0 cm BT (a) Tj 0 -9 Td (b) Tj ET Q Q",
         "q 0.1 0 0 0.1 0 0 cm q 10 0 0 10 0 0 cm BT (a) Tj ET Q Q q 0.1 0 0 0.1 0 0 cm q 10 0 0 10 0 0 cm"
         " BT 0 -9 Td (b) Tj ET Q Q"},
        // Left as they are: a text clip, a line inside marked content, nothing to set apart.
        {"BT 7 Tr (a) Tj 0 -9 Td (b) Tj ET", "BT 7 Tr (a) Tj 0 -9 Td (b) Tj ET"},
        {"BT /P BMC (a) Tj 0 -9 Td (b) Tj EMC ET", "BT /P BMC (a) Tj 0 -9 Td (b) Tj EMC ET"},
        // Marked sequences side by side in one object: apart where one begins a line of its own, whole.
        {"BT /A BMC 9 50 Td (ii) Tj EMC /P <</MCID 0>> BDC 2 Tc 0 600 Td (T) Tj EMC /P BMC (u) Tj EMC ET",
         "BT /A BMC 9 50 Td (ii) Tj EMC ET BT 9 50 Td /P <</MCID 0>> BDC 2 Tc 0 600 Td (T) Tj EMC /P BMC (u) Tj EMC ET"},
        {"q BT (a) Tj ET Q", "q BT (a) Tj ET Q"},
        {"BT (a) Tj 0 -9 Td (b) Tj ET Q", "BT (a) Tj ET BT 0 -9 Td (b) Tj ET Q"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pdf::withLinesApart(c.content, c.spacedRunsApart).simplified(), c.apart) << c.content.toStdString();
}

TEST(RetypeFidelity, EachPieceSetsAgainTheStateTheTopLevelSetBeforeIt)
{
    // A piece the engine rewrites is wrapped in a group of its own: the colour and text state set inside
    // the first text object must be set again by the pieces after it. Groups keep theirs; the font has
    // its own rule.
    const QByteArray content = "BT /F1 12 Tf 2 Tc /CS0 cs 0.5 scn (a) Tj ET q 1 g 5 w Q /G1 gs 3 w 1 0 0 RG "
                               "BT (b) Tj ET BT 0 g 0 -9 TD (c) Tj ET";
    const QList<qsizetype> cuts{content.indexOf("q 1 g"), content.indexOf("BT (b)"), content.indexOf("BT 0 g"),
                                content.size()};
    const QList<QByteArray> states = pdf::statesAtCuts(content, cuts);
    ASSERT_EQ(states.size(), 4);
    EXPECT_EQ(states[0].simplified(), "2 Tc /CS0 cs 0.5 scn");
    EXPECT_EQ(states[1].simplified(), "2 Tc /CS0 cs 0.5 scn /G1 gs 3 w 1 0 0 RG");
    EXPECT_EQ(states[2], states[1]);
    EXPECT_EQ(states[3].simplified(), "2 Tc /G1 gs 3 w 1 0 0 RG 0 g 9 TL");
}

TEST(RetypeFidelity, SplitPagesDrawExactlyAsBefore)
{
    for (const test::FidelityPage& sample : test::fidelityPages()) {
        SCOPED_TRACE(sample.name.toStdString());
        const QByteArray split = pdf::splitPageContents(sample.pdf);
        EXPECT_NE(split, sample.pdf);
        EXPECT_EQ(test::pixelsChangedOutside(sample.pdf, split, {}), 0);
        EXPECT_TRUE(qpdfAccepts(split));
    }
}

TEST(RetypeFidelity, ReplacementPicturesKeepTheirColoursUnderTransparency)
{
    VMK_OPEN_SESSION_OR_SKIP(session, makeImagePdf(QRectF(100, 400, 200, 100)));
    const auto model = session->model(0);
    ASSERT_TRUE(model && model->images.size() == 1);
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(QColor(255, 0, 0, 128)); // half-transparent pure red
    ASSERT_FALSE(session->replaceImage(model->images.first(), picture, 0).has_value());
    auto doc = pdf::Document::fromData(session->save().value()).value();
    const QImage shown = doc->page(0)->render(1.0);
    // Half red over white is a light red; premultiplied pixels stored as straight colour come out darker.
    const QColor middle = shown.pixelColor(200, 792 - 450);
    EXPECT_GT(middle.red(), 240);
    EXPECT_NEAR(middle.green(), 127, 12);
}

TEST(RetypeFidelity, ABareFontChoiceNoTextReliesOnLeavesNoNameOfAMissingFont)
{
    // Some writers leave "BT /F2 12 Tf ET" before their text; once the page is rewritten the engine drops
    // the font it saw no text use, and the bare choice would name a font that is no longer there.
    const struct {
        QByteArray content, other;
    } cases[] = {
        {"BT /F1 12 Tf 72 700 Td (Quarterly report) Tj ET\nBT /F2 12 Tf ET\nBT /F1 12 Tf 72 600 Td (Own) Tj ET\n",
         "Own"},
        {"BT /F1 12 Tf 72 700 Td (Quarterly report) Tj ET\nBT /F2 12 Tf ET\nBT 72 600 Td (Relying) Tj ET\n",
         "Relying"},
        // Inside a page-wide group the choice is carried into the groups reopened around each unit after it.
        {"q BT /F2 12 Tf ET 0 0 m 9 9 l S BT /F1 12 Tf 72 700 Td (Quarterly report) Tj ET\n"
         "q 1 0 0 1 5 5 cm 0 0 m 9 9 l S Q BT /F1 12 Tf 72 600 Td (Grouped) Tj ET Q\n",
         "Grouped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.other.toStdString());
        const QByteArray pdf = test::assemblePdf(
            {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
             " /Resources << /Font << /F1 5 0 R /F2 6 0 R >> >> >>",
             test::pdfStream({}, c.content),
             "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
             "<< /Type /Font /Subtype /Type1 /BaseFont /Courier /Encoding /WinAnsiEncoding >>"});
        VMK_OPEN_SESSION_OR_SKIP(session, pdf);
        const auto block = blockAt(*session, QPointF(80, 704));
        ASSERT_TRUE(block);
        ASSERT_TRUE(session->replaceText(*block, QStringLiteral("Quarterly roper"), 0).ok());
        QTemporaryDir dir;
        const QString path = test::writeFile(dir, QStringLiteral("t.pdf"), session->save().value());
        const test::CommandResult r = test::runCommand(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        EXPECT_EQ(QString::fromUtf8(r.err).trimmed(), QString());
        EXPECT_TRUE(QString::fromUtf8(r.out).contains(QStringLiteral("Quarterly roper")));
        EXPECT_TRUE(QString::fromUtf8(r.out).contains(QString::fromLatin1(c.other)));
        EXPECT_EQ(test::pixelsChangedOutside(pdf, session->save().value(), {QRectF(60, 690, 200, 30)}), 0);
    }
}

TEST(RetypeFidelity, RealsTheEngineWritesBackKeepTheFilesDigitsAndOffsets)
{
    const QByteArray original = "<< /Matrix [.000008 0 0 .000008 186.3267 484.25] /A 7.2 /B 525.599976 /C 1.5 /D 1.50"
                                " /Length 4 0 R >>\nstream\n0.6 endstream 0.6";
    const struct {
        QByteArray saved, out;
    } cases[] = {
        // The engine's digits for a float the file wrote once: the file's, padded; longer ones stay.
        {"1 0 obj\n<< /Matrix [.000008 0 0 .000008 186.32671 484.25] /X -7.1999998 /Y 525.59998 >>\nendobj\n",
         "1 0 obj\n<< /Matrix [.000008 0 0 .000008 186.3267  484.25] /X -7.1999998 /Y 525.59998 >>\nendobj\n"},
        // A float the file wrote two ways, stream data, names and strings are left as they are.
        {"<< /Length 9 /C 1.5000001 /A 7.1999998 >>\nstream\n7.1999998\nendstream (7.1999998) /F7.1999998",
         "<< /Length 9 /C 1.5000001 /A 7.2       >>\nstream\n7.1999998\nendstream (7.1999998) /F7.1999998"},
        // A stream whose length is kept elsewhere cannot be read through: the bytes stay as they are.
        {"<< /Length 4 0 R /A 7.1999998 >>\nstream\n0.6\nendstream\n",
         "<< /Length 4 0 R /A 7.1999998 >>\nstream\n0.6\nendstream\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(withFileDigits(c.saved, original), c.out) << c.saved.toStdString();

    // A pattern the edit never touched keeps its phase: the engine's save writes its matrix as the file did.
    QByteArray pdf = test::assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
         " /Resources << /Font << /F1 5 0 R >> /Pattern << /P1 6 0 R >> >> >>",
         test::pdfStream({}, "/Pattern cs /P1 scn 0 0 300 300 re f 0 g BT /F1 12 Tf 72 700 Td (Quarterly report) Tj ET"),
         "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
         test::pdfStream("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 8 8] /XStep 8 /YStep 8"
                         " /Matrix [1 0 0 1 186.3267 591.3722] /Resources << >>",
                         "0 0 4 4 re f")});
    VMK_OPEN_SESSION_OR_SKIP(session, pdf);
    const auto block = blockAt(*session, QPointF(80, 704));
    ASSERT_TRUE(block);
    ASSERT_TRUE(session->replaceText(*block, QStringLiteral("Quarterly rpeort"), 0));
    const QByteArray saved = session->save().value();
    EXPECT_TRUE(saved.contains("186.3267 ") && saved.contains("591.3722 "));
    EXPECT_TRUE(qpdfAccepts(saved));
}
