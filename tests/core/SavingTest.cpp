#include "CoreFixtures.h"
#include "FakeHost.h"
#include "RebuildFixtures.h"

#include "core/PDFOps.h"
#include "core/SystemAnnotations.h"
#include "core/VMKDocument.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Scheduler.h"

#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

using namespace vmk;
using namespace vmk::core;
using platform::SaveOperation;

namespace {

// Reopens a written file with our layer, unlocking with password when needed.
pdf::DocumentPtr reopen(const QString& path, const QString& password = QString())
{
    auto opened = pdf::Document::fromFile(path);
    if (!opened)
        return nullptr;
    if (opened.value()->isLocked() && !opened.value()->unlock(password))
        return nullptr;
    return opened.value();
}

int annotationCount(const pdf::Document& document)
{
    int n = 0;
    for (const auto& page : PDFOps::pages(document))
        n += int(page->annotations().size());
    return n;
}

void annotate(const pdf::Document& document)
{
    auto square = pdf::Annotation::create("Square", QRectF(100, 100, 80, 40));
    square->setColor(Qt::red);
    document.page(0)->addAnnotation(square);
    auto ink = pdf::Annotation::create("Ink", QRectF(200, 200, 100, 100));
    QPainterPath stroke;
    stroke.moveTo(0, 0);
    stroke.cubicTo(30, 80, 60, 20, 100, 100);
    ink->setPaths({stroke});
    document.page(1)->addAnnotation(ink);
}

// A document read from a file in dir, annotated.
std::unique_ptr<VMKDocument> openAnnotated(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    auto document = std::make_unique<VMKDocument>();
    EXPECT_FALSE(document->openFile(test::writeFile(dir, name, bytes)).has_value());
    return document;
}

// Replaces the process scheduler for one test so queued steps run when the test says.
struct ScopedManualScheduler {
    platform::ManualScheduler scheduler;
    ScopedManualScheduler() { platform::Scheduler::setShared(&scheduler); }
    ~ScopedManualScheduler() { platform::Scheduler::setShared(nullptr); }
};

} // namespace

TEST(Saving, SaveSaveAsAndAutosaveKeepPagesAndAnnotations)
{
    QTemporaryDir dir;
    auto document = openAnnotated(dir, "doc.pdf", coretest::makePdf(3));
    annotate(*document->pdf());

    ASSERT_FALSE(document->save(SaveOperation::Save).has_value());
    const QString path = dir.filePath("doc.pdf");
    auto saved = reopen(path);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->pageCount(), 3);
    EXPECT_EQ(annotationCount(*saved), 2);
    EXPECT_TRUE(coretest::qpdfAccepts(path));
    EXPECT_EQ(document->fileSize(), QFileInfo(path).size());

    const QString other = dir.filePath("copy.pdf");
    ASSERT_FALSE(document->saveToPath(other, SaveOperation::SaveAs).has_value());
    EXPECT_EQ(document->filePath(), QFileInfo(other).absoluteFilePath());
    ASSERT_TRUE(reopen(other));
    EXPECT_EQ(annotationCount(*reopen(other)), 2);
    EXPECT_TRUE(coretest::qpdfAccepts(other));

    // An edit through the undo manager marks the document edited; autosave writes it in place.
    document->pdf()->page(2)->addAnnotation(pdf::Annotation::create("Circle", QRectF(50, 50, 30, 30)));
    document->undoManager()->registerUndo(document.get(), [] {});
    EXPECT_TRUE(document->isEdited());
    ASSERT_FALSE(document->autosave().has_value());
    EXPECT_FALSE(document->isEdited());
    EXPECT_EQ(annotationCount(*reopen(other)), 3);
    EXPECT_TRUE(coretest::qpdfAccepts(other));
}

TEST(Saving, ProtectionAndRemovingThePassword)
{
    QTemporaryDir dir;
    auto document = openAnnotated(dir, "p.pdf", coretest::makePdf(2));
    annotate(*document->pdf());
    const QString path = dir.filePath("p.pdf");

    // User password only: it opens the file and serves as owner password too.
    document->setProtection(Protection{"user1", std::nullopt});
    ASSERT_FALSE(document->save().has_value());
    EXPECT_FALSE(reopen(path, "wrong"));
    ASSERT_TRUE(reopen(path, "user1"));
    EXPECT_EQ(reopen(path, "user1")->pageCount(), 2);
    EXPECT_EQ(annotationCount(*reopen(path, "user1")), 2);
    EXPECT_TRUE(coretest::qpdfAccepts(path, "user1"));

    // User and owner passwords: either unlocks.
    document->setProtection(Protection{"user2", QString("owner2")});
    ASSERT_FALSE(document->save().has_value());
    EXPECT_TRUE(reopen(path, "user2"));
    EXPECT_TRUE(reopen(path, "owner2"));
    EXPECT_EQ(annotationCount(*reopen(path, "owner2")), 2);
    EXPECT_TRUE(coretest::qpdfAccepts(path, "user2"));

    // The protection stays for later saves, so an autosave still writes it.
    ASSERT_FALSE(document->autosave().has_value());
    ASSERT_FALSE(document->save().has_value());
    EXPECT_FALSE(reopen(path, ""));

    // Reopen the protected file as the user would, unlock, then remove the password.
    VMKDocument again;
    ASSERT_FALSE(again.openFile(path).has_value());
    ASSERT_TRUE(again.pdf()->isLocked());
    const auto refused = again.save();
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->code, 513);
    EXPECT_EQ(refused->message, "Unlock the document before saving it.");

    ASSERT_TRUE(again.pdf()->unlock("user2"));
    again.setUnlockPassword(QString("user2"));
    // A plain save keeps the encryption.
    ASSERT_FALSE(again.save().has_value());
    EXPECT_FALSE(reopen(path, ""));
    EXPECT_TRUE(reopen(path, "user2"));

    again.setRemovesEncryption(true);
    ASSERT_FALSE(again.save().has_value());
    auto plain = reopen(path);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->isEncrypted());
    EXPECT_EQ(plain->pageCount(), 2);
    EXPECT_EQ(annotationCount(*plain), 2);
    EXPECT_TRUE(coretest::qpdfAccepts(path));

    // Once closed, the document holds no password; the strings it was given stay as they were.
    const QString typed = QString("user") + "3";
    again.setUnlockPassword(typed);
    again.setProtection(Protection{typed, typed});
    again.closeDiscardingChanges();
    EXPECT_FALSE(again.unlockPassword());
    EXPECT_FALSE(again.protection());
    EXPECT_EQ(typed, "user3");
}

TEST(Saving, RemovingThePasswordKeepsLinksDestinationsFieldsAndOutline)
{
    QTemporaryDir dir;
    const QString path = coretest::encryptWithQpdf(dir, "linked.pdf", coretest::makeLinkedPdf(), "pw");
    VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    ASSERT_TRUE(document.pdf()->unlock("pw"));
    document.setUnlockPassword(QString("pw"));
    document.setRemovesEncryption(true);
    ASSERT_FALSE(document.save().has_value());

    auto copy = reopen(path);
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->isEncrypted());
    ASSERT_EQ(copy->pageCount(), 2);
    bool link = false;
    bool field = false;
    for (const auto& a : copy->page(0)->annotations()) {
        if (a->type() == "Link") {
            auto destination = a->linkDestination();
            link = destination && copy->indexOf(destination->page) == 1;
        }
        field = field || a->isWidget();
    }
    EXPECT_TRUE(link);
    EXPECT_TRUE(field);
    auto outline = copy->outline();
    ASSERT_TRUE(outline.has_value());
    ASSERT_EQ(outline->children.size(), 1);
    EXPECT_EQ(outline->children[0].label, "Chapter Two");
    ASSERT_TRUE(outline->children[0].destination.has_value());
    EXPECT_EQ(copy->indexOf(outline->children[0].destination->page), 1);

    const auto dump = test::runCommand("qpdf", {"--qdf", "--object-streams=disable", path, "-"});
    EXPECT_TRUE(dump.out.contains("/Dests")) << "named destinations lost";
    EXPECT_TRUE(dump.out.contains("/AcroForm"));
    EXPECT_TRUE(coretest::qpdfAccepts(path));

    // Removing the password of a document that has none writes it unchanged.
    VMKDocument plainDocument;
    ASSERT_FALSE(plainDocument.openFile(test::writeFile(dir, "plain.pdf", coretest::makePdf(1))).has_value());
    plainDocument.setRemovesEncryption(true);
    EXPECT_FALSE(plainDocument.save().has_value());
}

namespace {

class FailingVerification : public VMKDocument {
protected:
    bool verifySavedFile(const QString&, const std::vector<PDFOps::PageFacts>&, const std::optional<QString>&,
                         QByteArray) override
    {
        return false;
    }
};

} // namespace

TEST(Saving, FailedVerificationLeavesTheOriginalUntouched)
{
    QTemporaryDir dir;
    const QByteArray original = coretest::makePdf(2);
    const QString path = test::writeFile(dir, "keep.pdf", original);
    FailingVerification document;
    ASSERT_FALSE(document.openFile(path).has_value());
    const auto sizeBefore = document.fileSize();
    annotate(*document.pdf());

    const auto error = document.save();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, 512);
    EXPECT_EQ(error->message, QString::fromUtf8("The saved copy didn’t check out, so the original was left untouched."));
    EXPECT_EQ(error->recoverySuggestion, "Try Save As to a different location.");
    EXPECT_EQ(test::readFile(path), original);
    EXPECT_EQ(document.fileSize(), sizeBefore);
    // No temporary file is left beside the original.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.pdf"});
}

TEST(Saving, VerificationChecksPasswordAndPageCount)
{
    QTemporaryDir dir;
    const QString plain = test::writeFile(dir, "v.pdf", coretest::makePdf(3));
    EXPECT_TRUE(PDFOps::verifySavedFile(plain, 3, std::nullopt));
    EXPECT_FALSE(PDFOps::verifySavedFile(plain, 2, std::nullopt));
    const QString locked = coretest::encryptWithQpdf(dir, "vl.pdf", coretest::makePdf(3), "pw");
    EXPECT_FALSE(PDFOps::verifySavedFile(locked, 3, std::nullopt));
    EXPECT_FALSE(PDFOps::verifySavedFile(locked, 3, QString("nope")));
    EXPECT_TRUE(PDFOps::verifySavedFile(locked, 3, QString("pw")));
    EXPECT_FALSE(PDFOps::verifySavedFile(test::writeFile(dir, "e.pdf", "junk"), 0, std::nullopt));
}

TEST(Saving, WriteFailureReportsItsTexts)
{
    QTemporaryDir dir;
    VMKDocument document;
    ASSERT_FALSE(document.openFile(test::writeFile(dir, "w.pdf", coretest::makePdf(1))).has_value());
    const auto error = document.saveToPath(dir.filePath("missing-folder/w.pdf"), SaveOperation::SaveAs);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, 512);
}

TEST(Saving, HostCommitsTypedTextBeforeWritingAndHearsOfUserSavesOnly)
{
    ScopedManualScheduler manual;
    QTemporaryDir dir;
    auto document = openAnnotated(dir, "h.pdf", coretest::makePdf(1));
    auto host = std::make_unique<coretest::FakeHost>();
    coretest::FakeHost* h = host.get();
    document->addWindowController(std::move(host));
    // The pending text box is committed into the page when the document asks before writing.
    h->onCommit = [&] {
        auto box = pdf::Annotation::create("FreeText", QRectF(72, 500, 200, 40));
        box->setContents("typed just now");
        document->pdf()->page(0)->addAnnotation(box);
        h->onCommit = nullptr;
    };

    ASSERT_FALSE(document->save(SaveOperation::Save).has_value());
    EXPECT_EQ(h->commits, 1);
    auto saved = reopen(dir.filePath("h.pdf"));
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->page(0)->annotations().size(), 1u);
    EXPECT_EQ(saved->page(0)->annotations()[0]->contents(), "typed just now");

    // The toast step comes after the caller has its answer.
    EXPECT_TRUE(h->saves.empty());
    manual.scheduler.runDue();
    EXPECT_EQ(h->saves, std::vector<bool>{true});

    ASSERT_FALSE(document->saveToPath(dir.filePath("to.pdf"), SaveOperation::SaveTo).has_value());
    document->undoManager()->registerUndo(document.get(), [] {});
    ASSERT_FALSE(document->autosave().has_value());
    manual.scheduler.runDue();
    EXPECT_EQ(h->saves, (std::vector<bool>{true, false, false}));

    // A refused save tells the host nothing.
    const QString locked = coretest::encryptWithQpdf(dir, "l.pdf", coretest::makePdf(1), "pw");
    ASSERT_FALSE(document->openFile(locked).has_value());
    EXPECT_TRUE(document->save().has_value());
    manual.scheduler.runDue();
    EXPECT_EQ(h->saves.size(), 3u);
}

TEST(Saving, EncryptedCopyThatCannotBeCheckedIsNotAccepted)
{
    QTemporaryDir dir;
    const QString path = coretest::encryptWithQpdf(dir, "enc.pdf", coretest::makePdf(2), "pw");
    const QByteArray original = test::readFile(path);
    VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    ASSERT_TRUE(document.pdf()->unlock("pw"));
    // Unlocked without telling the document the password: the kept encryption can't be verified.
    const auto error = document.save();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, 512);
    EXPECT_EQ(test::readFile(path), original);

    document.setUnlockPassword(QString("pw"));
    EXPECT_FALSE(document.save().has_value());
}

namespace {

// Two Letter pages; object 6 is listed in the cross-reference table at a wrong offset, so that the
// engine repairs the file the first time it reads that object.
QByteArray damagedTwoPagePdf()
{
    const QList<QByteArray> objects{
        "<< /Type /Catalog /Pages 2 0 R /Extra 6 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] >>",
        "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>",
        "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>",
        "<< /Length 19 >>\nstream\n72 72 200 200 re f\nendstream",
        "<< /Note (far away) >>"};
    QByteArray out = test::assemblePdf(objects);
    auto entry = [](qsizetype offset) { return QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n"; };
    const qsizetype xref = out.lastIndexOf("\nxref\n");
    const qsizetype listed = out.indexOf(entry(out.indexOf("\n6 0 obj\n") + 1), xref);
    return out.replace(listed, 20, entry(out.indexOf("\n5 0 obj\n") + 1 + 7));
}

} // namespace

TEST(Saving, VerificationComparesEveryPagesAnnotationsAndRotation)
{
    QTemporaryDir dir;
    auto document = coretest::open(coretest::makePdf(2));
    annotate(*document);
    document->page(0)->annotations().front()->setContents(QStringLiteral("A note"));
    document->page(1)->setRotation(90);
    const QString path = dir.filePath("facts.pdf");
    ASSERT_TRUE(document->write(path).ok());

    const std::vector<PDFOps::PageFacts> facts = PDFOps::pageFacts(*document);
    ASSERT_EQ(facts.size(), 2u);
    EXPECT_EQ(facts[0], (PDFOps::PageFacts{0, {"Square"}, {"A note"}, facts[0].content}));
    EXPECT_EQ(facts[1], (PDFOps::PageFacts{90, {"Ink"}, {}, facts[1].content}));
    EXPECT_TRUE(PDFOps::verifySavedFile(path, facts, std::nullopt));

    auto lostAnnotation = facts;
    lostAnnotation[0].annotationKinds.append("Highlight");
    auto otherKind = facts;
    otherKind[1].annotationKinds = {"Line"};
    auto unturned = facts;
    unturned[1].rotation = 0;
    auto extraPage = facts;
    extraPage.push_back({});
    auto garbledNote = facts;
    garbledNote[0].annotationNotes = {QStringLiteral("\u00c1 n\u00f6te")};
    for (const auto& expected : {lostAnnotation, otherKind, unturned, extraPage, garbledNote})
        EXPECT_FALSE(PDFOps::verifySavedFile(path, expected, std::nullopt));
}

TEST(Saving, DamagedFileKeepsWhatWasAddedWhenSaved)
{
    // The engine repairs this file when it first reads object 6; a repair in the middle of a save would
    // rebuild the pages from the file and lose the square and the turn.
    QTemporaryDir dir;
    const QByteArray original = damagedTwoPagePdf();
    const QString path = test::writeFile(dir, "damaged.pdf", original);
    VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    ASSERT_EQ(document.pdf()->pageCount(), 2);
    auto square = pdf::Annotation::create("Square", QRectF(100, 100, 80, 40));
    document.pdf()->page(1)->addAnnotation(square);
    document.pdf()->page(0)->setRotation(270);

    ASSERT_FALSE(document.save(SaveOperation::Save).has_value());
    auto saved = reopen(path);
    ASSERT_TRUE(saved);
    const std::vector<PDFOps::PageFacts> facts = PDFOps::pageFacts(*saved);
    ASSERT_EQ(facts.size(), 2u);
    EXPECT_EQ(facts, (std::vector<PDFOps::PageFacts>{{270, {}, {}, facts[0].content}, {0, {"Square"}, {}, facts[1].content}}));
    EXPECT_TRUE(coretest::qpdfAccepts(path));
}

TEST(Saving, ContentThatCannotBeWrittenNamesTheCause)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir, "c.pdf", coretest::makePdf(1));
    const QByteArray original = test::readFile(path);
    VMKDocument document;
    ASSERT_FALSE(document.openFile(path).has_value());
    // A protection without any password is something the engine refuses to write.
    document.setProtection(Protection{QString(), std::nullopt});
    const auto error = document.save();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, 512);
    EXPECT_EQ(error->message, QString::fromUtf8("The PDF couldn’t be written."));
    EXPECT_TRUE(error->recoverySuggestion.contains("A password is needed to protect the document."))
        << qPrintable(error->recoverySuggestion);
    EXPECT_FALSE(error->recoverySuggestion.contains("different folder"));
    EXPECT_EQ(test::readFile(path), original);

    const auto long_ = VMKDocument::contentWriteFailedError(QString(500, 'x') + "\n\tmore");
    EXPECT_LT(long_.recoverySuggestion.size(), 300);
    EXPECT_FALSE(long_.recoverySuggestion.contains('\n'));
}
