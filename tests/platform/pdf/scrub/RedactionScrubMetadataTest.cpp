// Redacted words leave the XMP metadata of encrypted files that keep their metadata in clear: the engine
// would decrypt that stream all the same, so the scrub reads it as the file stores it. Metadata that cannot
// be read as text leaves the document. The saved files are judged by qpdf.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/scrub/RedactionScrub.h"
#include "support/ClearMetadataFixtures.h"
#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vmk::pdf;
using vmk::test::kCommandsAfterThreads;
using vmk::test::PdfBuilder;
using vmk::test::ref;
using vmk::test::runCommand;
using vmk::test::unlocked;

namespace {

const QString kSecret = QStringLiteral("Quixby");

QByteArray xmp()
{
    return "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
           "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
           "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Harbour Ledger</rdf:li></rdf:Alt></dc:title>"
           "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">Prepared for Quixby alone</rdf:li></rdf:Alt>"
           "</dc:description></rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end=\"w\"?>";
}

// One page of text and the XMP packet above, compressed when `flate`, or with `filter` named on it.
QByteArray plainPdf(bool flate, const QByteArray& filter = {})
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const int content = pdf.addStream({}, "BT /F1 14 Tf 20 100 Td (Harbour figures) Tj ET\n");
    const int page = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 200] /Resources << /Font << /F1 "
                             + ref(font) + " >> >> /Contents " + ref(content) + " >>");
    const QByteArray type = "/Type /Metadata /Subtype /XML";
    const int metadata = flate ? pdf.addStream(type + " /Filter /FlateDecode", qCompress(xmp()).mid(4))
                               : pdf.addStream(type + filter, xmp());
    pdf.set(pages, "<< /Type /Pages /Kids [" + ref(page) + "] /Count 1 >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " /Metadata " + ref(metadata) + " >>");
    return pdf.write(catalog);
}

QByteArray encrypt(const QByteArray& plain, const QStringList& scheme)
{
    QTemporaryDir dir;
    const QString in = vmk::test::writeFile(dir, QStringLiteral("plain.pdf"), plain);
    const QString out = dir.filePath(QStringLiteral("locked.pdf"));
    QStringList args{QStringLiteral("--stream-data=preserve"), QStringLiteral("--object-streams=disable"),
                     QStringLiteral("--allow-weak-crypto"), QStringLiteral("--encrypt"), QStringLiteral("u"),
                     QStringLiteral("o")};
    args << scheme << QStringLiteral("--cleartext-metadata") << QStringLiteral("--") << in << out;
    const auto result = runCommand(QStringLiteral("qpdf"), args);
    EXPECT_EQ(result.exitCode, 0) << result.err.constData();
    return vmk::test::readFile(out);
}

struct Locked {
    const char* name;
    QByteArray file;
};

// Every file is encrypted before any document is opened (see kCommandsAfterThreads).
const QList<Locked>& lockedFiles()
{
    static const QList<Locked> all = [] {
        const QByteArray flated = plainPdf(true);
        const QByteArray stored = plainPdf(false);
        return QList<Locked>{
            {"AES-128", encrypt(flated, {QStringLiteral("128"), QStringLiteral("--use-aes=y")})},
            {"AES-256", encrypt(flated, {QStringLiteral("256")})},
            {"RC4-128", encrypt(stored, {QStringLiteral("128"), QStringLiteral("--use-aes=n")})},
            {"AES-128, unknown filter",
             encrypt(plainPdf(false, " /Filter /JBIG2Decode"), {QStringLiteral("128"), QStringLiteral("--use-aes=y")})},
        };
    }();
    return all;
}

struct Judged {
    QByteArray dump; // qpdf's view with the password, streams decoded
    QByteArray raw;
    int checkExit = -1;
};

Judged judge(const QByteArray& file)
{
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, QStringLiteral("saved.pdf"), file);
    const QString password = QStringLiteral("--password=u");
    Judged judged;
    judged.dump = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"),
                                                      password, path, QStringLiteral("-")})
                      .out;
    judged.raw = runCommand(QStringLiteral("strings"), {path}).out;
    judged.checkExit = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), password, path}).exitCode;
    return judged;
}

} // namespace

TEST(RedactionScrubMetadata, WordsLeaveClearMetadataOfEncryptedFilesAndTheRestStays)
{
    const QList<Locked>& files = lockedFiles();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(files[i].name);
        const DocumentPtr doc = unlocked(files[i].file);
        ScrubCounts counts;
        const auto edits = prepareRedactionScrub(*doc, {kSecret}, {}, {}, &counts);
        EXPECT_EQ(counts.metadata, 1);
        edits->exchange();
        const Result<QByteArray> saved = doc->dataRepresentation();
        ASSERT_TRUE(saved.ok()) << qPrintable(saved.error());
        EXPECT_FALSE(saved->contains(kSecret.toLatin1()));

        // The packet keeps the rest of its text.
        const Result<QByteArray> plain = doc->dataRepresentation(WriteOptions::withoutEncryption());
        ASSERT_TRUE(plain.ok());
        EXPECT_FALSE(plain->contains(kSecret.toLatin1()));
        EXPECT_TRUE(plain->contains("Harbour Ledger"));
        EXPECT_TRUE(plain->contains("Prepared for"));

        // Taking the edits back restores the packet as it was.
        edits->exchange();
        const Result<QByteArray> restored = doc->dataRepresentation(WriteOptions::withoutEncryption());
        ASSERT_TRUE(restored.ok());
        EXPECT_TRUE(restored->contains(kSecret.toLatin1()));

        if (!kCommandsAfterThreads)
            continue;
        const Judged judged = judge(*saved);
        EXPECT_EQ(judged.checkExit, 0);
        EXPECT_FALSE(judged.dump.contains(kSecret.toLatin1()));
        EXPECT_FALSE(judged.raw.contains(kSecret.toLatin1()));
        EXPECT_TRUE(judged.dump.contains("Harbour Ledger"));
        EXPECT_TRUE(judged.dump.contains("Prepared for"));
    }
}

TEST(RedactionScrubMetadata, MetadataThatCannotBeReadLeavesTheDocument)
{
    const DocumentPtr doc = unlocked(lockedFiles()[3].file);
    ScrubCounts counts;
    const auto edits = prepareRedactionScrub(*doc, {kSecret}, {}, {}, &counts);
    EXPECT_EQ(counts.metadata, 1);
    edits->exchange();
    const Result<QByteArray> saved = doc->dataRepresentation();
    ASSERT_TRUE(saved.ok());
    if (!kCommandsAfterThreads)
        return;
    const Judged judged = judge(*saved);
    EXPECT_EQ(judged.checkExit, 0);
    EXPECT_FALSE(judged.dump.contains("/Metadata"));
    EXPECT_FALSE(judged.raw.contains(kSecret.toLatin1()));
}
