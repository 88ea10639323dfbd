#include "support/ClearMetadataFixtures.h"

#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vmk::test {

namespace {

const QByteArray kTitle = kClearXmpTitle;
const QByteArray kSecret = kClearXmpSecret;

// An XMP packet with a title and a description naming kSecret, padded with white space to `size` bytes
// when that is larger.
QByteArray xmp(int size = 0)
{
    QByteArray packet = "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
                        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                        "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                        "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">"
                        + kTitle
                        + "</rdf:li></rdf:Alt></dc:title>"
                          "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">Prepared for "
                        + kSecret + " alone</rdf:li></rdf:Alt></dc:description></rdf:Description></rdf:RDF></x:xmpmeta>\n";
    const QByteArray end = "<?xpacket end=\"w\"?>";
    if (packet.size() + end.size() < size)
        packet += QByteArray(size - packet.size() - end.size(), ' ');
    return packet + end;
}

} // namespace

QByteArray clearMetadataPdf(XmpPacking packing, bool photo)
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    const int page1 = pdf.reserve();
    const int page2 = pdf.reserve();
    QByteArray pixels;
    if (photo) {
        pixels.reserve(400 * 400 * 3);
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x)
                pixels.append(char(x * 255 / 399)).append(char(y * 255 / 399)).append(char((x * y) % 251));
    }
    const int image = photo ? pdf.addStream("/Type /XObject /Subtype /Image /Width 400 /Height 400 /ColorSpace /DeviceRGB "
                                            "/BitsPerComponent 8",
                                            pixels)
                            : 0;
    const QByteArray drawImage = photo ? "q 200 0 0 200 300 400 cm /Im0 Do Q\n" : "";
    const QByteArray images = photo ? " /XObject << /Im0 " + ref(image) + " >>" : "";
    const int text1 = pdf.addStream({}, drawImage + "BT /F1 14 Tf 20 700 Td (Harbour figures for March) Tj ET\n");
    const QByteArray caption = QByteArray("<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
                                          "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/"
                                          "02/22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/"
                                          "dc/elements/1.1/\"><dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">")
                               + kClearImageCaption
                               + "</rdf:li></rdf:Alt></dc:title></rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end=\"r\"?>";
    const int captionXmp = pdf.addStream("/Type /Metadata /Subtype /XML /Filter /FlateDecode", qCompress(caption).mid(4));
    const int mark = pdf.addStream("/Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceGray "
                                   "/BitsPerComponent 8 /Metadata "
                                       + ref(captionXmp),
                                   QByteArray("\x00\xff\xff\x00", 4));
    const int text2 = pdf.addStream({}, "q 40 0 0 40 20 600 cm /Mark Do Q BT /F1 14 Tf 20 700 Td (Second page totals) Tj ET\n");
    const int fieldAp = pdf.addStream("/Type /XObject /Subtype /Form /BBox [0 0 200 24] /Resources << /Font << /F1 "
                                          + ref(font) + " >> >>",
                                      "/Tx BMC BT /F1 12 Tf 2 6 Td (Ada) Tj ET EMC");
    const int field = pdf.add("<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Ada) /Rect [72 600 272 624] /P "
                              + ref(page1) + " /F 4 /DA (/F1 12 Tf 0 g) /AP << /N " + ref(fieldAp) + " >> >>");
    pdf.set(page1, "<< /Type /Page /Parent " + ref(pages) + " /Resources << /Font << /F1 " + ref(font) + " >>" + images
                       + " >> /Contents " + ref(text1) + " /Annots [" + ref(field) + "] >>");
    pdf.set(page2, "<< /Type /Page /Parent " + ref(pages) + " /Rotate 90 /Resources << /Font << /F1 " + ref(font)
                       + " >> /XObject << /Mark " + ref(mark) + " >> >> /Contents " + ref(text2) + " >>");
    const int outlines = pdf.reserve();
    const int start = pdf.add("<< /Title (Start) /Parent " + ref(outlines) + " /Dest [" + ref(page1) + " /Fit] >>");
    pdf.set(outlines, "<< /Type /Outlines /First " + ref(start) + " /Last " + ref(start) + " /Count 1 >>");
    const QByteArray type = "/Type /Metadata /Subtype /XML";
    const int metadata = packing == XmpPacking::flate ? pdf.addStream(type + " /Filter /FlateDecode", qCompress(xmp()).mid(4))
                         : packing == XmpPacking::stored ? pdf.addStream(type, xmp())
                                                      : pdf.addStream(type, xmp(1024));
    const int info = pdf.add("<< /Title (Harbour Ledger info) /Author (Port office) >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + ref(page1) + " " + ref(page2) + "] /Count 2 /MediaBox [0 0 612 792] >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " /Outlines " + ref(outlines) + " /Metadata "
                         + ref(metadata) + " /AcroForm << /Fields [" + ref(field) + "] /DA (/F1 12 Tf 0 g) >> >>");
    return pdf.write(catalog, "/Info " + ref(info));
}

QByteArray encryptWithClearMetadata(const QByteArray& plain, const QStringList& schemeArgs)
{
    QTemporaryDir dir;
    const QString in = writeFile(dir, QStringLiteral("plain.pdf"), plain);
    const QString out = dir.filePath(QStringLiteral("locked.pdf"));
    QStringList args{QStringLiteral("--stream-data=preserve"), QStringLiteral("--object-streams=disable"),
                     QStringLiteral("--allow-weak-crypto"), QStringLiteral("--encrypt"), QStringLiteral("u"),
                     QStringLiteral("o")};
    args << schemeArgs << QStringLiteral("--cleartext-metadata") << QStringLiteral("--") << in << out;
    const auto result = runCommand(QStringLiteral("qpdf"), args);
    EXPECT_EQ(result.exitCode, 0) << result.err.constData();
    return readFile(out);
}

namespace {

// One page showing kIdentityText whose content stream names the crypt filter `name` of its own; with
// /Identity its data is put in clear.
QByteArray ownCryptFilterPdf(bool encrypted, const QByteArray& name)
{
    const QByteArray content = "BT /F1 14 Tf 20 700 Td (" + QByteArray(kIdentityText) + ") Tj ET\n";
    const QByteArray identity = "/Filter /Crypt /DecodeParms << /Type /CryptFilterDecodeParms /Name /" + name + " >>";
    // qpdf would encrypt the stream: it goes in as a placeholder name as long, and RC4 keeps the length of
    // the data, so both are put in place without moving anything.
    const QByteArray placeholder = "/Pad /" + QByteArray(identity.size() - 6, 'X');
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const int text = pdf.addStream(encrypted ? placeholder : identity, content);
    const int page = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /Resources << /Font << /F1 " + ref(font)
                             + " >> >> /Contents " + ref(text) + " >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + ref(page) + "] /Count 1 /MediaBox [0 0 612 792] >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " >>");
    const QByteArray plain = pdf.write(catalog);
    if (!encrypted)
        return plain;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("locked.pdf"));
    const auto result = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--stream-data=preserve"), QStringLiteral("--object-streams=disable"),
                                                            QStringLiteral("--allow-weak-crypto"), QStringLiteral("--encrypt"),
                                                            QStringLiteral("u"), QStringLiteral("o"), QStringLiteral("128"),
                                                            QStringLiteral("--use-aes=n"), QStringLiteral("--force-V4"),
                                                            QStringLiteral("--"), writeFile(dir, QStringLiteral("plain.pdf"), plain), out});
    EXPECT_EQ(result.exitCode, 0) << result.err.constData();
    QByteArray locked = readFile(out);
    const qsizetype at = locked.indexOf(placeholder);
    const qsizetype data = locked.indexOf("stream\n", at) + 7;
    EXPECT_TRUE(at > 0 && data > at);
    if (at <= 0 || data <= at)
        return {};
    locked.replace(at, placeholder.size(), identity);
    if (name == "Identity")
        locked.replace(data, content.size(), content);
    return locked;
}

} // namespace

QByteArray identityContentPdf(bool encrypted) { return ownCryptFilterPdf(encrypted, "Identity"); }

QByteArray namedCryptFilterPdf() { return ownCryptFilterPdf(true, "StdCF"); }

namespace {

// What the second engines make of a saved file.
struct Judged {
    int checkExit = -1;          // qpdf --check with the password
    int checkWithoutPassword = -1;
    QByteArray encryption;       // qpdf's encryption parameters
    QByteArray encryptDict;      // the encryption dictionary as qpdf shows it
    QByteArray xmpByPoppler;     // pdfinfo -meta
    QByteArray dump;             // qpdf --qdf, streams decoded
    QByteArray text;             // pdftotext with the password
    QByteArray info;             // pdfinfo of both pages
};

QByteArray encryptionParameters(const QString& path)
{
    const QByteArray json = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--json"), QStringLiteral("--json-key=encrypt"),
                                                                QStringLiteral("--password=u"), path})
                                .out;
    const qsizetype at = json.indexOf("\"parameters\": {", json.indexOf("\"encrypt\""));
    return at < 0 ? QByteArray() : json.mid(at, json.indexOf('}', at) - at);
}

Judged judge(const QByteArray& file)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("saved.pdf"), file);
    const QString password = QStringLiteral("--password=u");
    Judged judged;
    judged.checkExit = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), password, path}).exitCode;
    judged.checkWithoutPassword = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), path}).exitCode;
    judged.encryption = encryptionParameters(path);
    const QByteArray trailer =
        runCommand(QStringLiteral("qpdf"), {QStringLiteral("--show-object=trailer"), password, path}).out;
    const QRegularExpression encryptRef(QStringLiteral("/Encrypt (\\d+) 0 R"));
    if (const auto match = encryptRef.match(QString::fromLatin1(trailer)); match.hasMatch())
        judged.encryptDict = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--show-object=") + match.captured(1), password, path}).out;
    judged.xmpByPoppler = runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), QStringLiteral("-upw"), QStringLiteral("u"), path}).out;
    judged.dump = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"),
                                                      password, path, QStringLiteral("-")})
                      .out;
    judged.text = runCommand(QStringLiteral("pdftotext"), {QStringLiteral("-upw"), QStringLiteral("u"), path, QStringLiteral("-")}).out;
    judged.info = runCommand(QStringLiteral("pdfinfo"), {QStringLiteral("-upw"), QStringLiteral("u"), QStringLiteral("-f"),
                                                         QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("2"), path})
                      .out;
    return judged;
}

} // namespace

void expectClearMetadataAndTheRestEncrypted(const QByteArray& original, const QByteArray& saved, bool secretKept)
{
    const Judged judged = judge(saved);
    EXPECT_EQ(judged.checkExit, 0);
    EXPECT_NE(judged.checkWithoutPassword, 0); // a user password still guards the file
    QTemporaryDir dir;
    EXPECT_EQ(judged.encryption, encryptionParameters(writeFile(dir, QStringLiteral("o.pdf"), original)));
    EXPECT_FALSE(judged.encryption.isEmpty());
    EXPECT_TRUE(judged.encryptDict.contains("/EncryptMetadata false")) << judged.encryptDict.constData();

    EXPECT_TRUE(judged.xmpByPoppler.contains("<rdf:li xml:lang=\"x-default\">" + kTitle + "</rdf:li>"))
        << judged.xmpByPoppler.left(200).toHex().constData();
    EXPECT_EQ(judged.xmpByPoppler.contains(kSecret), secretKept);
    EXPECT_TRUE(judged.dump.contains(kTitle + "</rdf:li>"));
    EXPECT_TRUE(judged.dump.contains(QByteArray(kClearImageCaption) + "</rdf:li>"));
    EXPECT_EQ(judged.dump.contains(kSecret), secretKept);

    // Everything else reads right only through its decryption.
    EXPECT_TRUE(judged.text.contains("Harbour figures for March")) << judged.text.constData();
    EXPECT_TRUE(judged.text.contains("Second page totals"));
    EXPECT_TRUE(judged.dump.contains("/Title (Start)"));
    EXPECT_TRUE(judged.dump.contains("/V (Ada)"));
    EXPECT_TRUE(judged.dump.contains("/Title (Harbour Ledger info)"));
    EXPECT_TRUE(judged.info.contains("Page    2 rot:   90")) << judged.info.constData();
    EXPECT_FALSE(saved.contains("Harbour Ledger info"));
    EXPECT_FALSE(saved.contains("(Ada)"));
}

pdf::DocumentPtr unlocked(const QByteArray& file)
{
    pdf::Result<pdf::DocumentPtr> doc = pdf::Document::fromData(file);
    EXPECT_TRUE(doc.ok());
    if (!doc.ok())
        return pdf::Document::createEmpty();
    EXPECT_TRUE((*doc)->isLocked());
    EXPECT_TRUE((*doc)->unlock(QStringLiteral("u")).has_value());
    return *doc;
}

} // namespace vmk::test
