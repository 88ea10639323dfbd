// Some writers encrypt the document's XMP metadata although the encryption says it is kept in clear
// (/EncryptMetadata false). Such a file is read through the decryption, and saved with the packet in clear
// as its encryption says. The saved files are judged by qpdf and poppler.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/scrub/RedactionScrub.h"
#include "platform/pdf/document/ClearMetadata.h"
#include "platform/pdf/document/State.h"
#include "support/ClearMetadataFixtures.h"

#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vmk::pdf;
using namespace vmk::test;

namespace {

// `locked` written by the engine alone, its document metadata replaced in memory by the clear packet: the
// engine's writer encrypts every stream, that one too.
QByteArray encryptedAllTheSame(const QByteArray& locked)
{
    const DocumentPtr doc = unlocked(locked);
    fz_context* c = detail::ctx();
    pdf_document* pdf = doc->state().doc;
    fz_buffer* packet = nullptr;
    fz_buffer* buffer = nullptr;
    fz_output* out = nullptr;
    QByteArray bytes;
    const bool ok = detail::guarded(c, [&] {
        pdf_obj* ref = pdf_dict_getp(c, pdf_trailer(c, pdf), "Root/Metadata");
        packet = detail::loadStreamAsStored(c, pdf, ref);
        pdf_update_stream(c, pdf, ref, packet, 0);
        pdf_write_options opts = pdf_default_write_options;
        opts.do_encrypt = PDF_ENCRYPT_KEEP;
        buffer = fz_new_buffer(c, 64 * 1024);
        out = fz_new_output_with_buffer(c, buffer);
        pdf_write_document(c, pdf, out, &opts);
        fz_close_output(c, out);
        unsigned char* data = nullptr;
        const size_t length = fz_buffer_storage(c, buffer, &data);
        bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(length));
    });
    EXPECT_TRUE(ok);
    fz_drop_output(c, out);
    fz_drop_buffer(c, buffer);
    fz_drop_buffer(c, packet);
    return bytes;
}

} // namespace

TEST(ClearMetadataEncryptedAllTheSame, IsReadThroughItsDecryptionAndSavedInClear)
{
    static const QByteArray locked =
        encryptWithClearMetadata(clearMetadataPdf(XmpPacking::stored), {QStringLiteral("128"), QStringLiteral("--use-aes=n")});
    const QByteArray file = encryptedAllTheSame(locked);
    ASSERT_FALSE(file.contains(kClearXmpTitle));

    const DocumentPtr doc = unlocked(file);
    const Result<QByteArray> kept = doc->dataRepresentation();
    const Result<QByteArray> plain = doc->dataRepresentation(WriteOptions::withoutEncryption());
    ASSERT_TRUE(kept.ok() && plain.ok());
    // Redaction reads the packet through the decryption: it takes the word out and keeps the rest.
    ScrubCounts counts;
    const auto edits = prepareRedactionScrub(*doc, {QString::fromLatin1(kClearXmpSecret)}, {}, {}, &counts);
    EXPECT_EQ(counts.metadata, 1);
    edits->exchange();
    const Result<QByteArray> redacted = doc->dataRepresentation();
    ASSERT_TRUE(redacted.ok());
    EXPECT_TRUE(kept->contains(kClearXmpTitle));
    EXPECT_TRUE(redacted->contains(kClearXmpTitle));
    EXPECT_FALSE(redacted->contains(kClearXmpSecret));
    if (!kCommandsAfterThreads)
        return;

    QTemporaryDir dir;
    const QString password = QStringLiteral("--password=u");
    const QByteArray title = QByteArray(kClearXmpTitle) + "</rdf:li>";
    const auto qpdfReads = [&](const QString& path, const QStringList& extra) {
        return runCommand(QStringLiteral("qpdf"), QStringList{QStringLiteral("--qdf")} + extra + QStringList{path, QStringLiteral("-")})
            .out.contains(title);
    };
    const auto popplerReads = [&](const QString& path) {
        return runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), QStringLiteral("-upw"), QStringLiteral("u"), path}).out.contains(title);
    };
    // The file as such a writer leaves it: qpdf takes the metadata for clear and reads noise.
    const QString filePath = writeFile(dir, QStringLiteral("file.pdf"), file);
    EXPECT_FALSE(qpdfReads(filePath, {password}));
    for (const QString& name : {QStringLiteral("kept.pdf"), QStringLiteral("redacted.pdf")}) {
        const QString path = writeFile(dir, name, name == QStringLiteral("kept.pdf") ? *kept : *redacted);
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), password, path}).exitCode, 0);
        EXPECT_TRUE(qpdfReads(path, {password}));
        EXPECT_TRUE(popplerReads(path));
    }
    EXPECT_TRUE(qpdfReads(writeFile(dir, QStringLiteral("plain.pdf"), *plain), {}));
}
