// The edit session on the real engine: opening, page scans, refusals and retyping text.

#include "EditFixtures.h"

#include "core/pdfium/EditTextRules.h"

#include "platform/fonts/FontService.h"
#include "platform/pdf/document/Document.h"

#include "support/ClearMetadataFixtures.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;
using namespace vmk::editest;

namespace {

// A copy of the first block whose text starts like start (whitespace aside).
std::optional<EditableTextBlock> findBlock(const PageEditModel& model, const QString& start)
{
    for (const EditableTextBlock& b : model.blocks)
        if (editrules::removingWhitespace(b.text).startsWith(editrules::removingWhitespace(start)))
            return b;
    return std::nullopt;
}

QString squeezed(const QString& s) { return editrules::removingWhitespace(s); }

} // namespace

TEST(EditSessionTest, OpeningRefusesWhatIsNotAPdfAndPagesThatAreNotThere)
{
    VMK_OPEN_SESSION_OR_SKIP(session, makeHelveticaPdf({{"Only page", {72, 700}}}));
    const auto broken = PDFEditSession::open(QByteArray("this is not a PDF at all"));
    ASSERT_FALSE(broken.ok());
    EXPECT_EQ(broken.error().kind, PDFiumError::Kind::loadFailed);
    EXPECT_EQ(broken.error().message(),
              QStringLiteral("This PDF couldn\u2019t be opened for editing (error %1).").arg(broken.error().code));
    EXPECT_FALSE(PDFEditSession::open(QByteArray()).ok());

    const auto missing = session->model(3);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(), PDFiumError::pageFailed(3));
    EXPECT_EQ(missing.error().message(), QStringLiteral("Page 4 couldn\u2019t be opened for editing."));
    EXPECT_FALSE(session->page(-1).ok());
    EXPECT_TRUE(session->page(0).ok());
}

TEST(EditSessionTest, ScanFindsParagraphsOnceUntilThePageChanges)
{
    VMK_OPEN_SESSION_OR_SKIP(session, makeHelveticaPdf({{"A title", {72, 740}, 18},
                                                        {"The first line of the body text,", {72, 700}},
                                                        {"and its second line.", {72, 685.6}}}));
    const auto scanned = session->model(0);
    ASSERT_TRUE(scanned.ok());
    const PageEditModel& model = scanned.value();
    ASSERT_EQ(model.blocks.size(), 2);
    EXPECT_FALSE(model.looksScanned);
    const EditableTextBlock& title = model.blocks[0];
    EXPECT_EQ(title.text, QStringLiteral("A title"));
    EXPECT_EQ(title.fontSize, 18);
    const EditableTextBlock& body = model.blocks[1];
    EXPECT_EQ(body.text, QStringLiteral("The first line of the body text, and its second line."));
    EXPECT_EQ(body.baseFontName, QStringLiteral("Helvetica"));
    EXPECT_FALSE(body.isEmbeddedFont);
    EXPECT_TRUE(body.isEditable);
    EXPECT_EQ(body.lineCount, 2);
    EXPECT_NEAR(body.lineHeight, 14.4, 1e-3);
    EXPECT_EQ(body.firstBaseline, 700);
    EXPECT_EQ(body.objects.size(), 2);
    EXPECT_NE(body.font, nullptr);
    EXPECT_EQ(body.color, QColor(Qt::black));

    // A second request is the cached scan; an edit elsewhere on the page brings new ids.
    EXPECT_EQ(session->model(0).value(), model);
    ASSERT_FALSE(session->deleteBlock(title, 0).has_value());
    EXPECT_FALSE(session->hasCachedModel(0));
    const PageEditModel after = session->model(0).value();
    ASSERT_EQ(after.blocks.size(), 1);
    EXPECT_EQ(after.blocks[0].text, body.text);
    EXPECT_GT(after.blocks[0].id, body.id);
}

TEST(EditSessionTest, RotatedAndInvisibleTextIsRefusedWithItsReason)
{
    const QByteArray content = "BT /F1 12 Tf 0 1 -1 0 300 300 Tm (Sideways) Tj ET\n"
                               "q BT 3 Tr /F1 12 Tf 72 100 Td (Recognised words) Tj ET Q\n"
                               "BT 1 0 0 rg /F1 12 Tf 72 700 Td (Red words) Tj ET\n";
    VMK_OPEN_SESSION_OR_SKIP(session, makeHelveticaContentPdf(content));
    const PageEditModel model = session->model(0).value();
    const auto sideways = findBlock(model, QStringLiteral("Sideways"));
    const auto invisible = findBlock(model, QStringLiteral("Recognised"));
    const auto red = findBlock(model, QStringLiteral("Red"));
    ASSERT_TRUE(sideways && invisible && red);
    EXPECT_EQ(sideways->reason, EditRefusal::geometry());
    EXPECT_EQ(invisible->reason, EditRefusal::recognizedText());
    EXPECT_TRUE(red->isEditable);
    EXPECT_EQ(red->color, QColor(Qt::red));

    const auto refused = session->replaceText(*sideways, QStringLiteral("x"), 0);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), PDFiumError::notEditable(EditRefusal::geometry()));
    EditableTextBlock unexplained = *red;
    unexplained.isEditable = false;
    EXPECT_EQ(session->replaceText(unexplained, QStringLiteral("x"), 0).error().message(),
              QStringLiteral("This text can\u2019t be edited."));
}

TEST(EditSessionTest, StandardFontIsKeptForWinAnsiTextAndReplacedForGreek)
{
    VMK_OPEN_SESSION_OR_SKIP(session, makeHelveticaContentPdf("BT 0 0 1 rg /F1 12 Tf 72 700 Td (Price list) Tj ET\n"
                                                              "BT /F1 12 Tf 72 600 Td (Second item) Tj ET\n"));
    PageEditModel model = session->model(0).value();
    ASSERT_EQ(model.blocks.size(), 2);
    auto kept = session->replaceText(model.blocks[0], QStringLiteral("Price: 5 \u20AC"), 0);
    ASSERT_TRUE(kept.ok()) << kept.error().message().toStdString();
    EXPECT_EQ(kept.value().lineCount, 1);
    EXPECT_FALSE(kept.value().overlapsNextBlock);
    if (kept.value().reusedOriginalFont)
        EXPECT_FALSE(kept.value().embeddedFontName.has_value());
    else
        EXPECT_TRUE(kept.value().embeddedFontName.has_value());

    model = session->model(0).value();
    const auto second = findBlock(model, QStringLiteral("Second"));
    ASSERT_TRUE(second);
    auto greek = session->replaceText(*second, QStringLiteral("\u03A9mega item"), 0);
    ASSERT_TRUE(greek.ok()) << greek.error().message().toStdString();
    EXPECT_FALSE(greek.value().reusedOriginalFont);
    ASSERT_TRUE(greek.value().embeddedFontName.has_value());
    EXPECT_FALSE(greek.value().embeddedFontName->isEmpty());
    EXPECT_TRUE(greek.value().newBounds.contains(QPointF(80, 603)));

    // The retyped text keeps its colour and reads back from the saved file.
    model = session->model(0).value();
    const auto price = findBlock(model, QStringLiteral("Price"));
    ASSERT_TRUE(price);
    EXPECT_EQ(price->color, QColor(Qt::blue));
    const auto saved = session->save();
    ASSERT_TRUE(saved.ok());
    EXPECT_TRUE(qpdfAccepts(saved.value()));
    const QString text = extractText(saved.value());
    EXPECT_TRUE(text.contains(QStringLiteral("Price: 5 \u20AC"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\u03A9mega item"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Second")));
}

TEST(EditSessionTest, EmbeddedSubsetFontIsReusedOnlyForCharactersItAlreadyDraws)
{
    VMK_OPEN_SESSION_OR_SKIP(session, makeQtTextPdf({{"Hello world", {72, 700}}, {"Goodbye moon", {72, 600}}}));
    PageEditModel model = session->model(0).value();
    ASSERT_EQ(model.blocks.size(), 2);
    const auto hello = findBlock(model, QStringLiteral("Hello"));
    ASSERT_TRUE(hello);
    EXPECT_TRUE(hello->isEmbeddedFont);
    EXPECT_EQ(hello->baseFontName, QStringLiteral("DejaVuSans"));
    EXPECT_NEAR(hello->fontSize, 12, 0.01);

    // Every letter of the new word is already drawn in this font on the page: the font is kept.
    const auto goodbye = findBlock(model, QStringLiteral("Goodbye"));
    ASSERT_TRUE(goodbye);
    auto reused = session->replaceText(*goodbye, QStringLiteral("Hellomoon"), 0);
    ASSERT_TRUE(reused.ok());
    EXPECT_TRUE(reused.value().reusedOriginalFont);
    EXPECT_FALSE(reused.value().embeddedFontName.has_value());
    // "M" is drawn nowhere on the page: a matched font is embedded.
    auto substituted = session->replaceText(*findBlock(session->model(0).value(), QStringLiteral("Helloworld")),
                                            QStringLiteral("Mow"), 0);
    ASSERT_TRUE(substituted.ok());
    EXPECT_FALSE(substituted.value().reusedOriginalFont);
    EXPECT_EQ(substituted.value().embeddedFontName, QStringLiteral("DejaVuSans"));
    // The subset has no space glyph (its writer placed words apart instead): the words are placed apart
    // too, in the page's own font.
    auto spaced = session->replaceText(*findBlock(session->model(0).value(), QStringLiteral("Hellomoon")),
                                       QStringLiteral("Hello moon"), 0);
    ASSERT_TRUE(spaced.ok());
    EXPECT_TRUE(spaced.value().reusedOriginalFont);

    const auto saved = session->save();
    ASSERT_TRUE(saved.ok());
    EXPECT_TRUE(qpdfAccepts(saved.value()));
    const QString text = squeezed(extractText(saved.value()));
    EXPECT_TRUE(text.contains(QStringLiteral("Mow"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Hellomoon"))) << text.toStdString();
    EXPECT_TRUE(extractText(saved.value()).contains(QStringLiteral("Hello moon")));
}

TEST(EditSessionTest, WhitespaceDeletesTheBlockAndLongTextReportsOverlap)
{
    VMK_OPEN_SESSION_OR_SKIP(session, makeHelveticaPdf({{"Upper paragraph line one", {72, 700}},
                                                        {"upper paragraph line two", {72, 685.6}},
                                                        {"Lower block", {72, 640}},
                                                        {"Lonely", {72, 300}}}));
    ASSERT_EQ(session->model(0).value().blocks.size(), 3);
    const QString longText = QStringLiteral("Upper paragraph ").repeated(12);

    // Growing with nothing underneath overlaps nothing.
    auto lonely = findBlock(session->model(0).value(), QStringLiteral("Lonely"));
    ASSERT_TRUE(lonely);
    const auto free = session->replaceText(*lonely, longText + longText, 0);
    ASSERT_TRUE(free.ok());
    EXPECT_GT(free.value().lineCount, 1);
    EXPECT_FALSE(free.value().overlapsNextBlock);

    // Whitespace alone deletes the block.
    lonely = findBlock(session->model(0).value(), QStringLiteral("Upper paragraph Upper"));
    ASSERT_TRUE(lonely);
    const auto gone = session->replaceText(*lonely, QStringLiteral(" \n\t"), 0);
    ASSERT_TRUE(gone.ok());
    EXPECT_EQ(gone.value().lineCount, 0);
    EXPECT_FALSE(gone.value().reusedOriginalFont);
    EXPECT_FALSE(gone.value().embeddedFontName.has_value());
    EXPECT_TRUE(gone.value().newBounds.isNull());
    ASSERT_EQ(session->model(0).value().blocks.size(), 2);

    // Many words in the two-line paragraph run down into the block below it.
    const auto upper = findBlock(session->model(0).value(), QStringLiteral("Upper paragraph line"));
    ASSERT_TRUE(upper);
    const auto grown = session->replaceText(*upper, longText, 0);
    ASSERT_TRUE(grown.ok());
    EXPECT_GT(grown.value().lineCount, 4);
    EXPECT_TRUE(grown.value().overlapsNextBlock);

    const auto saved = session->save();
    ASSERT_TRUE(saved.ok());
    EXPECT_TRUE(qpdfAccepts(saved.value()));
    const QString text = extractText(saved.value());
    EXPECT_FALSE(text.contains(QStringLiteral("Lonely")));
    EXPECT_TRUE(text.contains(QStringLiteral("Lower block")));
}

TEST(EditSessionTest, AnInstalledFontIsEmbeddedOncePerSession)
{
    VMK_OPEN_SESSION_OR_SKIP(session, makeHelveticaPdf({{"Text", {72, 700}}}));
    const platform::Font font = platform::FontService::fontNamed(QStringLiteral("DejaVuSans"), 12);
    const auto first = session->loadedFont(font);
    const auto second = session->loadedFont(font.withPointSize(30));
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(first.value().first, second.value().first);
    EXPECT_EQ(first.value().second, QStringLiteral("DejaVuSans"));
    EXPECT_EQ(session->loadedFont(platform::Font()).error(), PDFiumError::fontFailed());
}

TEST(EditSessionTest, AHyphenEndingALineStaysAHyphenAndTheParagraphCanBeRetyped)
{
    // PDFium hands a line-end hyphen back as a control character that no font can draw; read as such,
    // every hyphenated paragraph showed a box in the editor and refused any retyping.
    VMK_OPEN_SESSION_OR_SKIP(session, makeHelveticaPdf({{"Dynamic languages are more difficult to com-", {72, 700}},
                                                        {"pile than statically typed ones. A run-", {72, 685.6}},
                                                        {"time check.", {72, 671.2}}}));
    const auto scanned = session->model(0);
    ASSERT_TRUE(scanned.ok());
    ASSERT_EQ(scanned.value().blocks.size(), 1);
    const EditableTextBlock block = scanned.value().blocks[0];
    EXPECT_EQ(block.text,
              QStringLiteral("Dynamic languages are more difficult to com-pile than statically typed ones. A run-time check."));

    const auto retyped = session->replaceText(block, QStringLiteral("Now ") + block.text, 0);
    ASSERT_TRUE(retyped.ok()) << retyped.error().message().toStdString();
    const auto saved = session->save();
    ASSERT_TRUE(saved.ok());
    EXPECT_TRUE(qpdfAccepts(saved.value()));
    const QString text = extractText(saved.value()).simplified();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Now Dynamic languages"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("run-"))) << text.toStdString();
    for (QChar c : text)
        EXPECT_TRUE(c.unicode() >= 0x20 && c != QChar(0xFFFD)) << int(c.unicode());
}

// Editing a protected file whose XMP is kept in clear: the edited document, saved protected or decrypted,
// still holds the document's XMP and an image's whole.
TEST(EditSessionTest, EditingAFileWithClearMetadataKeepsItsXmpReadable)
{
    if (!QFileInfo::exists(PDFEditSession::pdfiumLibraryPath()))
        GTEST_SKIP() << "PDFium is not in this build";
    const QByteArray locked = test::encryptWithClearMetadata(test::clearMetadataPdf(test::XmpPacking::flate, true),
                                                             {QStringLiteral("128"), QStringLiteral("--use-aes=y")});
    auto opened = PDFEditSession::open(locked, QStringLiteral("u"));
    ASSERT_TRUE(opened.ok()) << opened.error().message().toStdString();
    PDFEditSession& session = *opened.value();
    const auto scanned = session.model(0);
    ASSERT_TRUE(scanned.ok());
    const std::optional<EditableTextBlock> block = findBlock(scanned.value(), QStringLiteral("Harbour figures"));
    ASSERT_TRUE(block.has_value());
    ASSERT_TRUE(session.replaceText(*block, QStringLiteral("Harbour figures for April"), 0).ok());
    const auto edited = session.save();
    ASSERT_TRUE(edited.ok());
    const auto document = pdf::Document::fromData(edited.value());
    ASSERT_TRUE(document.ok());
    ASSERT_TRUE((*document)->unlock(QStringLiteral("u")).has_value());
    const pdf::Result<QByteArray> kept = (*document)->dataRepresentation();
    const pdf::Result<QByteArray> plain = (*document)->dataRepresentation(pdf::WriteOptions::withoutEncryption());
    ASSERT_TRUE(kept.ok() && plain.ok());
    // The editing engine drops the crypt filters but leaves their parameters: none stay in the plain copy.
    EXPECT_FALSE(plain->contains("/Identity"));
    QTemporaryDir dir;
    const QString keptPath = test::writeFile(dir, QStringLiteral("kept.pdf"), *kept);
    const QString plainPath = test::writeFile(dir, QStringLiteral("plain.pdf"), *plain);
    const QString password = QStringLiteral("--password=u");
    const QByteArray title = QByteArray(test::kClearXmpTitle) + "</rdf:li>";
    const QByteArray caption = QByteArray(test::kClearImageCaption) + "</rdf:li>";
    EXPECT_TRUE(test::runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), QStringLiteral("-upw"), QStringLiteral("u"), keptPath})
                    .out.contains(title));
    EXPECT_TRUE(test::runCommand(QStringLiteral("pdftotext"), {QStringLiteral("-upw"), QStringLiteral("u"), keptPath, QStringLiteral("-")})
                    .out.contains("Harbour figures for April"));
    for (const QStringList& file : {QStringList{password, keptPath}, QStringList{plainPath}}) {
        SCOPED_TRACE(file.last().toStdString());
        EXPECT_EQ(test::runCommand(QStringLiteral("qpdf"), QStringList{QStringLiteral("--check")} + file).exitCode, 0);
        const QByteArray dump = test::runCommand(QStringLiteral("qpdf"), QStringList{QStringLiteral("--qdf")} + file + QStringList{QStringLiteral("-")}).out;
        EXPECT_TRUE(dump.contains(title));
        EXPECT_TRUE(dump.contains(caption));
    }
}
