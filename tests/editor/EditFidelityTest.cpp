// Edit mode on pages that are easy to damage: every committed edit either leaves the rest of the page as it
// was (checked with a second renderer) or is refused with the document untouched; failures change nothing;
// changes made around the session survive its next commit; protected documents stay protected.

#include "EditorTestSupport.h"

#include "core/pdfium/PDFEditSession.h"
#include "support/EditPdf.h"
#include "support/FidelityPages.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

bool engineInBuild() { return QFileInfo::exists(core::PDFEditSession::pdfiumLibraryPath()); }

#define SKIP_WITHOUT_ENGINE()                                                                                        \
    if (!engineInBuild())                                                                                            \
    GTEST_SKIP() << "PDFium is not in this build"

QByteArray bytesOf(const pdf::DocumentPtr& doc) { return doc->dataRepresentation().value(); }

QString pdftotext(const QByteArray& pdf, bool layout = false)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("t.pdf"), pdf);
    QStringList args{path, QStringLiteral("-")};
    if (layout)
        args.prepend(QStringLiteral("-layout"));
    // Line breaks where the block wraps read as spaces; spaces themselves must be there.
    return QString::fromUtf8(runCommand(QStringLiteral("pdftotext"), args).out).simplified();
}

QString pdffontsErrors(const QByteArray& pdf)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("f.pdf"), pdf);
    const CommandResult r = runCommand(QStringLiteral("pdffonts"), {path});
    return QString::fromUtf8(r.err).trimmed();
}

} // namespace

// Every page of the varied set, retyped through the Editor: applied with the rest of the page intact, or
// refused with the document exactly as it was. In two halves, to keep each test short.
void retypeEveryPage(qsizetype from, qsizetype to)
{
    int refused = 0;
    for (const FidelityPage& sample : fidelityPages().mid(from, to - from)) {
        SCOPED_TRACE(sample.name.toStdString());
        EditorFixture f(pdf::Document::fromData(sample.pdf).value());
        f.editor->setMode(EditorMode::edit);
        ASSERT_NE(f.editor->editSession(), nullptr);
        const auto target = f.editor->editTargetAt(0, sample.blockPoint);
        ASSERT_TRUE(target && target->isText());
        const pdf::DocumentPtr before = f.pdf();
        const QByteArray beforeBytes = bytesOf(before);
        const QString typed = sample.blockText + QStringLiteral(" 2026");
        f.editor->commitTextEdit(target->block, 0, typed);
        if (f.pdf() == before) {
            ++refused;
            ASSERT_TRUE(f.editor->toast().has_value());
            EXPECT_TRUE(f.editor->toast()->text.contains(QStringLiteral("other parts of the page")));
            EXPECT_EQ(bytesOf(f.pdf()), beforeBytes);
            EXPECT_FALSE(f.undo().canUndo());
            continue;
        }
        const QByteArray after = bytesOf(f.pdf());
        const core::EditableTextBlock& block = target->block;
        const QRectF region = block.bounds.adjusted(-8, -8, 8 + 80, 8);
        const pdf::PagePtr page = before->page(0);
        EXPECT_EQ(pixelsChangedOutside(beforeBytes, after, {region}, page->rotation(), page->cropBox()), 0);
        EXPECT_TRUE(pdftotext(after).contains(typed));
        EXPECT_EQ(pdffontsErrors(after), QString());
    }
    EXPECT_EQ(refused, 0);
}

TEST(EditFidelity, EveryEditKeepsTheRestOfThePageOrIsRefused)
{
    SKIP_WITHOUT_ENGINE();
    retypeEveryPage(0, fidelityPages().size() / 2);
}

TEST(EditFidelity, EveryEditKeepsTheRestOfThePageOrIsRefusedOnTheOtherPages)
{
    SKIP_WITHOUT_ENGINE();
    retypeEveryPage(fidelityPages().size() / 2, fidelityPages().size());
}

// An engine that rewrites the whole page loses the shading behind the heading (a changed word sends the
// heading's text object, and with it the page's one content stream, to be written again): the guard
// refuses the edit, says so, and the document stays byte for byte as it was; the session goes on over the
// same document.
TEST(EditFidelity, TheGuardRefusesAnEditThatDamagesThePage)
{
    SKIP_WITHOUT_ENGINE();
    const FidelityPage& sample = fidelityPages().at(1);
    ASSERT_EQ(sample.name, QStringLiteral("axial shading"));
    EditorFixture f(pdf::Document::fromData(sample.pdf).value());
    f.editor->setEditSessionOpener([](const QByteArray& bytes) -> core::PDFiumResult<std::shared_ptr<core::PDFEditSession>> {
        auto opened = core::PDFEditSession::open(core::PDFEditSession::loadEngine(), bytes, QString(),
                                                 core::PDFEditSession::Content::keptWhole);
        if (!opened)
            return opened.error();
        return std::shared_ptr<core::PDFEditSession>(std::move(opened.value()));
    });
    f.editor->setMode(EditorMode::edit);
    const auto target = f.editor->editTargetAt(0, sample.blockPoint);
    ASSERT_TRUE(target && target->isText());
    const pdf::DocumentPtr before = f.pdf();
    const QByteArray beforeBytes = bytesOf(before);
    f.editor->commitTextEdit(target->block, 0, QStringLiteral("Quarterly Report"));
    EXPECT_EQ(f.pdf(), before);
    EXPECT_EQ(bytesOf(f.pdf()), beforeBytes);
    EXPECT_FALSE(f.undo().canUndo());
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("This edit would also have changed other parts of the page, so "
                                                      "it wasn\u2019t made. The page is as it was."));
    EXPECT_NE(f.editor->editSession(), nullptr);
    EXPECT_TRUE(f.editor->editTargetAt(0, sample.blockPoint));
}

namespace {

// Two one-line pages: "Quarterly report" on the first, "Second page" on the second.
QByteArray twoPages()
{
    EditPageSpec first;
    first.lines = {{QStringLiteral("Quarterly report"), {72, 700}, 14}, {QStringLiteral("Figures follow"), {72, 400}, 12}};
    EditPageSpec second;
    second.lines = {{QStringLiteral("Second page"), {72, 700}, 12}};
    return makeEditPdf({first, second});
}

} // namespace

TEST(EditFidelity, AFailedRetypeChangesNothingAndTheNextEditKeepsTheParagraph)
{
    SKIP_WITHOUT_ENGINE();
    EditorFixture f(pdf::Document::fromData(texLikePdf()).value());
    f.editor->setMode(EditorMode::edit);
    const auto target = f.editor->editTargetAt(0, QPointF(90, 704));
    ASSERT_TRUE(target && target->isText());
    const pdf::DocumentPtr before = f.pdf();
    f.editor->commitTextEdit(target->block, 0, QStringLiteral("Here is \U00013000"));
    EXPECT_EQ(f.pdf(), before);
    EXPECT_FALSE(f.undo().canUndo());
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, core::PDFiumError::fontFailed().message());

    const auto below = f.editor->editTargetAt(0, QPointF(90, 603));
    ASSERT_TRUE(below && below->isText());
    f.editor->commitTextEdit(below->block, 0, QStringLiteral("Another paragraph"));
    ASSERT_NE(f.pdf(), before);
    const QString text = pdftotext(bytesOf(f.pdf()));
    EXPECT_TRUE(text.contains(QStringLiteral("Here is to the crazy ones."))) << text.toStdString();
}

TEST(EditFidelity, RetypedTexTextKeepsItsFaceAndSpacesAndAGreekLetterNamesItsStandIn)
{
    SKIP_WITHOUT_ENGINE();
    EditorFixture f(pdf::Document::fromData(texLikePdf()).value());
    f.editor->setMode(EditorMode::edit);
    const auto target = f.editor->editTargetAt(0, QPointF(90, 704));
    ASSERT_TRUE(target && target->isText());
    // Every letter is one the page's font already draws: the font stays, so there is nothing to say.
    const QString typed = QStringLiteral("Here is to the crazy ones. The misfits.");
    f.editor->commitTextEdit(target->block, 0, typed);
    EXPECT_TRUE(pdftotext(bytesOf(f.pdf())).contains(typed));
    EXPECT_FALSE(f.editor->toast().has_value());
    // A word written again keeps its ligature glyph, rather than the letters' own wider glyphs.
    QTemporaryDir dir;
    const QString saved = writeFile(dir, QStringLiteral("s.pdf"), bytesOf(f.pdf()));
    EXPECT_TRUE(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), saved, QStringLiteral("-")})
                    .out.contains("(mis\256ts.)"));
    // The retyped block is selected again, with its new text.
    ASSERT_TRUE(f.editor->editSelection());
    EXPECT_EQ(f.editor->editSelection()->block.text.simplified(), typed);
    // Greek letters the font lacks bring an installed face, named.
    f.editor->commitTextEdit(f.editor->editSelection()->block, 0, typed + QStringLiteral(" \u03b1\u03b2"));
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text,
              QStringLiteral("Some characters weren\u2019t in the original font, so Liberation Serif stepped in."));
}

TEST(EditFidelity, MenuChangesMadeInEditModeSurviveTheNextCommit)
{
    SKIP_WITHOUT_ENGINE();
    EditorFixture f(pdf::Document::fromData(twoPages()).value());
    f.editor->setMode(EditorMode::edit);
    const auto second = f.editor->editTargetAt(1, QPointF(80, 703));
    ASSERT_TRUE(second && second->isText());
    // Around the session: the second page turned, a blank page put in front of it.
    f.editor->rotatePages({f.page(1)}, 90);
    f.endGroup();
    f.editor->insertBlankPage(0);
    f.endGroup();
    ASSERT_EQ(f.pdf()->pageCount(), 3);
    const pdf::PagePtr shown = f.page(2);
    ASSERT_EQ(shown->rotation(), 90);

    // The block editor still names page 1, where it was opened: the commit follows the page to index 2.
    f.editor->commitTextEdit(second->block, 1, QStringLiteral("Second page, retyped"));
    ASSERT_EQ(f.pdf()->pageCount(), 3);
    EXPECT_EQ(f.page(2)->rotation(), 90);
    EXPECT_TRUE(f.page(2)->text().contains(QStringLiteral("retyped")));
    EXPECT_FALSE(f.page(1)->text().contains(QStringLiteral("retyped")));
    EXPECT_TRUE(f.page(0)->text().contains(QStringLiteral("Quarterly")));

    // An undone step of another kind is not brought back by the next commit either.
    f.endGroup();
    f.undo().undo(); // the retype
    f.endGroup();
    f.undo().undo(); // the blank page
    ASSERT_EQ(f.pdf()->pageCount(), 2);
    const auto heading = f.editor->editTargetAt(0, QPointF(80, 704));
    ASSERT_TRUE(heading && heading->isText());
    f.editor->commitTextEdit(heading->block, 0, QStringLiteral("Annual report"));
    EXPECT_EQ(f.pdf()->pageCount(), 2);
    EXPECT_EQ(f.page(1)->rotation(), 90);
    EXPECT_TRUE(f.page(0)->text().contains(QStringLiteral("Annual report")));
}

TEST(EditFidelity, AProtectedDocumentIsEditedAfterUnlockingAndStaysProtected)
{
    SKIP_WITHOUT_ENGINE();
    const QByteArray locked = pdf::Document::fromData(twoPages())
                                  .value()
                                  ->dataRepresentation(pdf::WriteOptions::protect(QStringLiteral("secret")))
                                  .value();
    EditorFixture f(pdf::Document::fromData(locked).value());
    ASSERT_TRUE(f.editor->unlock(QStringLiteral("secret")));
    f.editor->setMode(EditorMode::edit);
    ASSERT_NE(f.editor->editSession(), nullptr) << (f.editor->toast() ? f.editor->toast()->text.toStdString() : "");
    const auto target = f.editor->editTargetAt(0, QPointF(80, 704));
    ASSERT_TRUE(target && target->isText());
    f.editor->commitTextEdit(target->block, 0, QStringLiteral("Changed while unlocked"));
    ASSERT_TRUE(f.page(0)->text().contains(QStringLiteral("Changed while unlocked")));
    EXPECT_TRUE(f.pdf()->isEncrypted());
    const QByteArray saved = bytesOf(f.pdf());
    auto reopened = pdf::Document::fromData(saved).value();
    EXPECT_TRUE(reopened->isLocked());
    ASSERT_TRUE(reopened->unlock(QStringLiteral("secret")));
    EXPECT_TRUE(reopened->page(0)->text().contains(QStringLiteral("Changed while unlocked")));
}
