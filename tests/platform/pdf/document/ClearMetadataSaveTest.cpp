// Saving a file whose encryption keeps the document's XMP metadata in clear (/EncryptMetadata false) keeps
// it so: other readers find the packet without decrypting it, and everything else stays encrypted. The
// saved files are judged by qpdf and poppler.

#include "platform/pdf/pages/ContentSplit.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/structure/PageTransfer.h"
#include "platform/pdf/scrub/RedactionScrub.h"
#include "platform/pdf/document/ClearMetadataWrite.h"
#include "platform/pdf/document/State.h"
#include "support/ClearMetadataFixtures.h"

#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vmk::pdf;
using namespace vmk::test;

namespace {

const QByteArray kSecret = vmk::test::kClearXmpSecret;

struct Locked {
    const char* name;
    QByteArray file;
};

// Every file is encrypted before any document is opened (see kCommandsAfterThreads).
const QList<Locked>& lockedFiles()
{
    static const QList<Locked> all = [] {
        const QStringList rc4{QStringLiteral("128"), QStringLiteral("--use-aes=n")};
        const QStringList aes128{QStringLiteral("128"), QStringLiteral("--use-aes=y")};
        const QStringList aes256{QStringLiteral("256")};
        return QList<Locked>{
            {"RC4-128", encryptWithClearMetadata(clearMetadataPdf(XmpPacking::stored), rc4)},
            {"AES-128", encryptWithClearMetadata(clearMetadataPdf(XmpPacking::flate), aes128)},
            {"AES-256", encryptWithClearMetadata(clearMetadataPdf(XmpPacking::flate), aes256)},
            {"AES-128, whole blocks", encryptWithClearMetadata(clearMetadataPdf(XmpPacking::storedBlocks), aes128)},
            {"AES-256, whole blocks", encryptWithClearMetadata(clearMetadataPdf(XmpPacking::storedBlocks), aes256)},
        };
    }();
    return all;
}

} // namespace

TEST(ClearMetadataSave, KeptEncryptionWritesTheDocumentMetadataInClearAndTheRestEncrypted)
{
    for (const Locked& locked : lockedFiles()) {
        SCOPED_TRACE(locked.name);
        const DocumentPtr doc = unlocked(locked.file);
        const Result<QByteArray> saved = doc->dataRepresentation();
        ASSERT_TRUE(saved.ok()) << qPrintable(saved.error());
        // A second save of the saved file (the metadata names its /Identity filter now) stays the same.
        const DocumentPtr reopened = unlocked(*saved);
        const Result<QByteArray> again = reopened->dataRepresentation();
        ASSERT_TRUE(again.ok()) << qPrintable(again.error());
        if (!kCommandsAfterThreads)
            continue;
        expectClearMetadataAndTheRestEncrypted(locked.file, *saved, true);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("again.pdf"), *again);
        EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), QStringLiteral("--password=u"), path}).exitCode, 0);
        const QByteArray xmp = runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), QStringLiteral("-upw"), QStringLiteral("u"), path}).out;
        EXPECT_TRUE(xmp.contains(QByteArray(kClearXmpTitle) + "</rdf:li>"));
        EXPECT_EQ(again->count("/Crypt"), saved->count("/Crypt"));
    }
}

TEST(ClearMetadataSave, RedactedMetadataIsSavedScrubbedAndInClear)
{
    for (const Locked& locked : lockedFiles()) {
        SCOPED_TRACE(locked.name);
        const DocumentPtr doc = unlocked(locked.file);
        ScrubCounts counts;
        const auto edits = prepareRedactionScrub(*doc, {QString::fromLatin1(kSecret)}, {}, {}, &counts);
        EXPECT_EQ(counts.metadata, 1);
        edits->exchange();
        const Result<QByteArray> saved = doc->dataRepresentation();
        ASSERT_TRUE(saved.ok()) << qPrintable(saved.error());
        EXPECT_FALSE(saved->contains(kSecret));
        if (!kCommandsAfterThreads)
            continue;
        expectClearMetadataAndTheRestEncrypted(locked.file, *saved, false);
    }
}

// Also from a file saved here before, whose packets name the /Identity filter: the copies must not.
TEST(ClearMetadataSave, DecryptedAndNewlyProtectedCopiesHoldThePacketItself)
{
    for (const Locked& locked : lockedFiles()) {
        const Result<QByteArray> keptBefore = unlocked(locked.file)->dataRepresentation();
        ASSERT_TRUE(keptBefore.ok());
        for (const QByteArray& file : {locked.file, *keptBefore}) {
            SCOPED_TRACE(std::string(locked.name) + (file == locked.file ? "" : ", saved here before"));
            const DocumentPtr doc = unlocked(file);
            const Result<QByteArray> plain = doc->dataRepresentation(WriteOptions::withoutEncryption());
            ASSERT_TRUE(plain.ok()) << qPrintable(plain.error());
            const Result<QByteArray> protectedCopy = doc->dataRepresentation(WriteOptions::protect(QStringLiteral("x")));
            ASSERT_TRUE(protectedCopy.ok()) << qPrintable(protectedCopy.error());
            EXPECT_FALSE(plain->contains("/Crypt"));
            // The new encryption covers the packets too.
            EXPECT_FALSE(protectedCopy->contains(kClearXmpTitle));
            EXPECT_FALSE(protectedCopy->contains("/Identity"));
            if (!kCommandsAfterThreads)
                continue;
            QTemporaryDir dir;
            const QString plainPath = writeFile(dir, QStringLiteral("plain.pdf"), *plain);
            const QString protectedPath = writeFile(dir, QStringLiteral("protected.pdf"), *protectedCopy);
            const QString password = QStringLiteral("--password=x");
            EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), plainPath}).exitCode, 0);
            EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), password, protectedPath}).exitCode, 0);
            const QByteArray title = QByteArray(kClearXmpTitle) + "</rdf:li>";
            EXPECT_TRUE(runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), plainPath}).out.contains(title));
            EXPECT_TRUE(runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), QStringLiteral("-upw"), QStringLiteral("x"), protectedPath})
                            .out.contains(title));
            const QByteArray caption = QByteArray(kClearImageCaption) + "</rdf:li>";
            const QString qdf = QStringLiteral("--qdf");
            EXPECT_TRUE(runCommand(QStringLiteral("qpdf"), {qdf, plainPath, QStringLiteral("-")}).out.contains(caption));
            EXPECT_TRUE(runCommand(QStringLiteral("qpdf"), {qdf, password, protectedPath, QStringLiteral("-")}).out.contains(caption));
        }
    }
}

// The writer leaves out the image of a removed page and the XMP it carried in clear; the document's own
// stays in clear all the same.
TEST(ClearMetadataSave, RemovingThePageOfAnImageWithClearXmpKeepsTheDocumentMetadataClear)
{
    for (const Locked& locked : lockedFiles()) {
        SCOPED_TRACE(locked.name);
        const DocumentPtr doc = unlocked(locked.file);
        ASSERT_TRUE(doc->removePage(1));
        const Result<QByteArray> saved = doc->dataRepresentation();
        ASSERT_TRUE(saved.ok()) << qPrintable(saved.error());
        EXPECT_FALSE(saved->contains(kClearImageCaption));
        EXPECT_TRUE(saved->contains(kClearXmpTitle));
        if (!kCommandsAfterThreads)
            continue;
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("saved.pdf"), *saved);
        const QString password = QStringLiteral("--password=u");
        EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), password, path}).exitCode, 0);
        const QByteArray title = QByteArray(kClearXmpTitle) + "</rdf:li>";
        EXPECT_TRUE(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), password, path, QStringLiteral("-")}).out.contains(title));
        EXPECT_TRUE(runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), QStringLiteral("-upw"), QStringLiteral("u"), path})
                        .out.contains(title));
    }
}

// The copy cut up for the editing engine keeps the document's XMP in clear; an image's XMP goes encrypted
// like the rest (that engine decrypts it whatever it says) and comes out of a decrypted copy whole.
TEST(ClearMetadataSave, CopiesCutUpForEditingKeepTheMetadataReadable)
{
    for (const Locked& locked : lockedFiles()) {
        SCOPED_TRACE(locked.name);
        const QByteArray split = splitPageContents(locked.file, QStringLiteral("u"), -1);
        ASSERT_NE(split, locked.file);
        const Result<QByteArray> plain = unlocked(split)->dataRepresentation(WriteOptions::withoutEncryption());
        ASSERT_TRUE(plain.ok());
        if (!kCommandsAfterThreads)
            continue;
        QTemporaryDir dir;
        const QString splitPath = writeFile(dir, QStringLiteral("split.pdf"), split);
        const QString plainPath = writeFile(dir, QStringLiteral("plain.pdf"), *plain);
        const QString password = QStringLiteral("--password=u");
        EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), password, splitPath}).exitCode, 0);
        const QByteArray title = QByteArray(kClearXmpTitle) + "</rdf:li>";
        EXPECT_TRUE(runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), QStringLiteral("-upw"), QStringLiteral("u"), splitPath})
                        .out.contains(title));
        EXPECT_TRUE(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), password, splitPath, QStringLiteral("-")}).out.contains(title));
        const QByteArray dump = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), plainPath, QStringLiteral("-")}).out;
        EXPECT_TRUE(dump.contains(title));
        EXPECT_TRUE(dump.contains(QByteArray(kClearImageCaption) + "</rdf:li>"));
    }
}

// A stream of any kind may name the /Identity crypt filter: its data is in clear, which the engine's writer
// would decrypt all the same (and a new encryption would leave under that name). One naming another crypt
// filter the writer would copy still encrypted (and encrypt again). Every copy reads right.
TEST(ClearMetadataSave, StreamsNamingTheirOwnCryptFilterReadRightInEveryCopy)
{
    static const QByteArray files[] = {identityContentPdf(true), namedCryptFilterPdf(), identityContentPdf(false)};
    for (const QByteArray& file : files) {
        const bool encrypted = &file != &files[2];
        SCOPED_TRACE(&file == &files[0] ? "/Identity" : encrypted ? "/StdCF" : "/Identity, not encrypted");
        Result<DocumentPtr> doc = Document::fromData(file);
        ASSERT_TRUE(doc.ok());
        if (encrypted)
            ASSERT_TRUE((*doc)->unlock(QStringLiteral("u")).has_value());
        const Result<QByteArray> kept = (*doc)->dataRepresentation();
        const Result<QByteArray> plain = (*doc)->dataRepresentation(WriteOptions::withoutEncryption());
        const Result<QByteArray> protectedCopy = (*doc)->dataRepresentation(WriteOptions::protect(QStringLiteral("x")));
        ASSERT_TRUE(kept.ok() && plain.ok() && protectedCopy.ok());
        EXPECT_FALSE(plain->contains("/Crypt"));
        EXPECT_FALSE(protectedCopy->contains("/Crypt"));
        EXPECT_FALSE(protectedCopy->contains(kIdentityText));
        if (!kCommandsAfterThreads)
            continue;
        QTemporaryDir dir;
        const struct {
            QString path;
            QString password;
        } copies[] = {{writeFile(dir, QStringLiteral("kept.pdf"), *kept), QStringLiteral("u")},
                      {writeFile(dir, QStringLiteral("plain.pdf"), *plain), QString()},
                      {writeFile(dir, QStringLiteral("protected.pdf"), *protectedCopy), QStringLiteral("x")}};
        for (const auto& copy : copies) {
            SCOPED_TRACE(copy.path.toStdString());
            const QStringList password = copy.password.isEmpty() ? QStringList() : QStringList{QStringLiteral("--password=") + copy.password};
            EXPECT_EQ(runCommand(QStringLiteral("qpdf"), QStringList{QStringLiteral("--check")} + password + QStringList{copy.path}).exitCode, 0);
            const QByteArray dump = runCommand(QStringLiteral("qpdf"), QStringList{QStringLiteral("--qdf")} + password
                                                                           + QStringList{copy.path, QStringLiteral("-")}).out;
            EXPECT_TRUE(dump.contains(kIdentityText));
            const QStringList popplerPassword = copy.password.isEmpty() ? QStringList() : QStringList{QStringLiteral("-upw"), copy.password};
            EXPECT_TRUE(runCommand(QStringLiteral("pdftotext"), popplerPassword + QStringList{copy.path, QStringLiteral("-")})
                            .out.contains(kIdentityText));
        }
    }
}

// Pages copied into another document take the data their file holds in clear as it is: an image's XMP
// comes whole, a content stream naming /Identity comes in plain without that filter, one naming another
// crypt filter of its own decrypted.
TEST(ClearMetadataSave, PagesCopiedIntoAnotherDocumentTakeClearDataAsItIs)
{
    static const QByteArray identity = identityContentPdf(true);
    static const QByteArray named = namedCryptFilterPdf();
    const struct {
        const QByteArray* file;
        int page;
        QByteArray expected;
    } cases[] = {{&lockedFiles()[1].file, 1, QByteArray(kClearImageCaption) + "</rdf:li>"},
                 {&identity, 0, kIdentityText},
                 {&named, 0, kIdentityText}};
    for (const auto& source : cases) {
        SCOPED_TRACE(source.file == &named ? "/StdCF" : source.file == &identity ? "/Identity" : "XMP");
        const DocumentPtr from = unlocked(*source.file);
        const DocumentPtr to = Document::createEmpty();
        ASSERT_TRUE(transferPages(*to, *from, {source.page}, 0).ok());
        const Result<QByteArray> saved = to->dataRepresentation();
        ASSERT_TRUE(saved.ok());
        EXPECT_FALSE(saved->contains("/Crypt"));
        if (!kCommandsAfterThreads)
            continue;
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("copy.pdf"), *saved);
        EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), path}).exitCode, 0);
        EXPECT_TRUE(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), path, QStringLiteral("-")}).out.contains(source.expected));
    }
}

TEST(ClearMetadataSave, BytesLaidOutOtherwiseAreLeftAsTheyAre)
{
    const DocumentPtr doc = unlocked(lockedFiles()[1].file);
    const Result<QByteArray> saved = doc->dataRepresentation();
    ASSERT_TRUE(saved.ok());
    fz_context* c = vmk::pdf::detail::ctx();
    vmk::pdf::detail::ClearMetadataWrite write;
    ASSERT_TRUE(write.prepare(c, doc->state().doc, true));
    write.release(c);
    ASSERT_TRUE(write.rewrites());

    QByteArray same = *saved;
    EXPECT_TRUE(write.rewrite(same));
    EXPECT_EQ(same.size(), saved->size());

    // Cut short, a table missing entries, startxref one byte off, and an appended update's table.
    const qsizetype xref = saved->lastIndexOf("\nxref\n") + 1;
    QByteArray shifted = *saved;
    shifted.insert(xref - 1, ' ');
    const QByteArray incremental = *saved + "xref\n4 1\n" + QByteArray::number(xref).rightJustified(10, '0')
                                   + " 00000 n \ntrailer\n<< /Size 40 /Prev " + QByteArray::number(xref)
                                   + " >>\nstartxref\n" + QByteArray::number(saved->size()) + "\n%%EOF\n";
    const QList<QByteArray> otherwise{saved->left(saved->size() - 40), saved->left(xref + 30) + saved->mid(xref + 50),
                                      shifted, incremental};
    for (const QByteArray& bytes : otherwise) {
        QByteArray copy = bytes;
        EXPECT_FALSE(write.rewrite(copy));
        EXPECT_EQ(copy, bytes);
    }
}
