// Damaged files that still open and show: what the user adds to them must save, and the copy must hold it.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/PdfBuilder.h"
#include "support/TestFiles.h"

using namespace vmk::pdf;
using vmk::test::assemblePdf;
using vmk::test::pdfStream;

namespace {

const QByteArray kPage = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << "
                         "/Helvetica << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>";
const QByteArray kText = "BT /Helvetica 24 Tf 72 700 Td (Still here) Tj ET";

DocumentPtr open(const QByteArray& data, const QString& password = QString())
{
    Result<DocumentPtr> doc = Document::fromData(data);
    EXPECT_TRUE(doc.ok()) << qPrintable(doc.error());
    if (!doc.ok())
        return nullptr;
    if ((*doc)->isLocked()) {
        EXPECT_TRUE((*doc)->unlock(password));
    }
    return *doc;
}

// The file with the offset after its last startxref pointing into the header, so that readers must
// rebuild the cross-reference table from the objects they find.
QByteArray withBrokenXrefOffset(QByteArray data)
{
    static const QRegularExpression startxref(QStringLiteral("startxref\\s+(\\d+)"));
    QRegularExpressionMatch last;
    for (auto it = startxref.globalMatch(QString::fromLatin1(data)); it.hasNext();)
        last = it.next();
    EXPECT_TRUE(last.hasMatch());
    return data.replace(last.capturedStart(1), last.capturedLength(1), "5");
}

// The file with its encryption dictionary, written straight into the trailer, moved into an object of its own
// as most writers place it.
QByteArray withEncryptionInAnObject(QByteArray data)
{
    static const QRegularExpression key(QStringLiteral("/Encrypt\\s*<<"));
    const qsizetype start = data.indexOf("<<", QString::fromLatin1(data).lastIndexOf(key));
    qsizetype end = start;
    for (int depth = 0; end < data.size();) {
        const QByteArray pair = data.mid(end, 2);
        if (pair[0] == '<' && pair != "<<") { // a hex string, passed whole
            end = data.indexOf('>', end) + 1;
            continue;
        }
        end += pair == "<<" || pair == ">>" ? 2 : 1;
        depth += pair == "<<" ? 1 : pair == ">>" ? -1 : 0;
        if (depth == 0)
            break;
    }
    EXPECT_GT(start, 0);
    const QByteArray dict = data.mid(start, end - start);
    data.replace(start, dict.size(), " 99 0 R");
    data.insert(data.lastIndexOf("\nxref") + 1, "99 0 obj\n" + dict + "\nendobj\n");
    return data;
}

// Catalog 1, pages 2, page 3 with text 4, then an object stream 5 holding the document information 6 and
// the outline 7, whose dictionary the file cuts short. Cross-references in an (unfiltered) stream 8.
QByteArray objectStreamWithADamagedObject()
{
    const QList<QByteArray> plain{"<< /Type /Catalog /Pages 2 0 R /Outlines 7 0 R >>",
                                  "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", kPage, pdfStream({}, kText)};
    const QList<QByteArray> packed{"<< /Title (Kept title) /Author (Someone) >>",
                                   "<< /Type /Outlines /First 9 0 R /Count 1 /Bad ]"};
    QByteArray header, body;
    for (int i = 0; i < packed.size(); ++i) {
        header += QByteArray::number(6 + i) + " " + QByteArray::number(body.size()) + " ";
        body += packed[i] + "\n";
    }
    QByteArray pdf = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < plain.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + plain[i] + "\nendobj\n";
    }
    offsets.append(pdf.size());
    pdf += "5 0 obj\n" + pdfStream("/Type /ObjStm /N 2 /First " + QByteArray::number(header.size()), header + body)
           + "\nendobj\n";
    const qsizetype xrefOffset = pdf.size();
    QByteArray table;
    auto entry = [&table](int type, quint32 field, int second) {
        table += char(type);
        for (int shift = 24; shift >= 0; shift -= 8)
            table += char((field >> shift) & 0xff);
        table += char(second);
    };
    entry(0, 0, 0);
    for (qsizetype offset : offsets)
        entry(1, quint32(offset), 0);
    entry(2, 5, 0);
    entry(2, 5, 1);
    entry(1, quint32(xrefOffset), 0);
    pdf += "8 0 obj\n" + pdfStream("/Type /XRef /Size 9 /W [1 4 1] /Root 1 0 R /Info 6 0 R", table) + "\nendobj\n";
    return pdf + "startxref\n" + QByteArray::number(xrefOffset) + "\n%%EOF\n";
}

// Adds a square with a note to the first page.
void annotate(Document& doc, const QString& note)
{
    AnnotationPtr square = Annotation::create(QStringLiteral("Square"), QRectF(100, 100, 80, 40));
    square->setColor(Qt::red);
    square->setContents(note);
    doc.page(0)->addAnnotation(square);
}

QString firstNote(const Document& doc)
{
    for (const AnnotationPtr& annotation : doc.page(0)->annotations()) {
        if (annotation->type() == QLatin1String("Square"))
            return annotation->contents();
    }
    return QStringLiteral("(no square)");
}

// qpdf's verdict on the bytes (0 when sound), or 0 when qpdf is missing.
int qpdfCheck(const QByteArray& bytes)
{
    if (!vmk::test::commandExists(QStringLiteral("qpdf")))
        return 0;
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, QStringLiteral("copy.pdf"), bytes);
    const auto check = vmk::test::runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    EXPECT_EQ(check.exitCode, 0) << check.out.constData() << check.err.constData();
    return check.exitCode;
}

// Whether qpdf reads, in the copy, a square annotation carrying the note (true when qpdf is missing).
bool qpdfFindsSquare(const QByteArray& bytes, const QString& note)
{
    if (!vmk::test::commandExists(QStringLiteral("qpdf")))
        return true;
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, QStringLiteral("copy.pdf"), bytes);
    const auto json = vmk::test::runCommand(QStringLiteral("qpdf"), {QStringLiteral("--json=2"), path});
    const QJsonObject objects = QJsonDocument::fromJson(json.out).object().value("qpdf").toArray().at(1).toObject();
    for (const QJsonValue& object : objects) {
        const QJsonObject value = object.toObject().value("value").toObject();
        if (value.value("/Subtype").toString() == QLatin1String("/Square")
            && value.value("/Contents").toString() == QStringLiteral("u:") + note)
            return true;
    }
    return false;
}

// The file with the first stream's /Length (a key/value pair followed by the stream's data; the
// encryption dictionary's key length is left alone) replaced by `length`.
QByteArray withStreamLength(QByteArray data, const QByteArray& length)
{
    static const QRegularExpression key(QStringLiteral("/Length (\\d+)(?=[^>]*>>\\s*stream)"));
    const QRegularExpressionMatch found = key.match(QString::fromLatin1(data));
    EXPECT_TRUE(found.hasMatch());
    return data.replace(found.capturedStart(1), found.capturedLength(1), length);
}

// The file with the /Length of every stream whose data ends in CR (and is followed by the LF the writer puts
// before `endstream`) replaced by `length`; *count says how many.
QByteArray withLengthsOfDataEndingInCarriageReturn(QByteArray data, const QByteArray& length, int* count)
{
    static const QRegularExpression key(QStringLiteral("/Length (\\d+)(?=[^>]*>>\\s*stream\\n)"));
    QList<QRegularExpressionMatch> found;
    for (auto it = key.globalMatch(QString::fromLatin1(data)); it.hasNext();)
        found.append(it.next());
    *count = 0;
    for (qsizetype k = found.size() - 1; k >= 0; --k) {
        const qsizetype start = data.indexOf("stream\n", found[k].capturedEnd(1)) + 7;
        const qsizetype end = start + found[k].captured(1).toLongLong();
        if (end < data.size() && data[end - 1] == '\r' && data.mid(end, 10) == "\nendstream") {
            data.replace(found[k].capturedStart(1), found[k].capturedLength(1), length);
            ++*count;
        }
    }
    return data;
}

// Catalog 1, pages 2, page 3 with text 4, and an object stream 5 whose table also claims object 0, which
// heads the free list and is never an object. The last startxref is broken, so readers scan the file and
// the object streams in it to rebuild the cross-references.
QByteArray objectStreamClaimingObjectZero()
{
    const QByteArray packed = "<< /Title (Kept title) >>\n<< /Claimed true >>\n";
    const QByteArray table = "6 0 0 26 ";
    const QByteArray objectStream = pdfStream("/Type /ObjStm /N 2 /First " + QByteArray::number(table.size()), table + packed);
    return withBrokenXrefOffset(assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                             kPage, pdfStream({}, kText), objectStream},
                                            1, "/Info 6 0 R"));
}

// Adds a note, saves, and checks the copy: it reopens with the note and the page's text, qpdf passes it and
// finds the square with that note. Answers the reopened copy (null when it failed).
DocumentPtr expectSavedWithNote(Document& doc, const QString& note)
{
    annotate(doc, note);
    Result<QByteArray> saved = doc.dataRepresentation();
    EXPECT_TRUE(saved.ok()) << qPrintable(saved.error());
    if (!saved.ok())
        return nullptr;
    DocumentPtr reopened = open(*saved);
    EXPECT_TRUE(reopened);
    if (!reopened)
        return nullptr;
    EXPECT_EQ(firstNote(*reopened), note);
    EXPECT_TRUE(reopened->page(0)->text().contains(QStringLiteral("Still here")));
    EXPECT_EQ(qpdfCheck(*saved), 0);
    EXPECT_TRUE(qpdfFindsSquare(*saved, note));
    return reopened;
}

} // namespace

TEST(PdfDamagedSave, AnEncryptedFileThatNeededRepairKeepsItsPasswordsAndWhatWasAdded)
{
    DocumentPtr plain = open(assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                          "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", kPage, pdfStream({}, kText)}));
    ASSERT_TRUE(plain);
    // Opens without a password (an empty user password), like most encrypted files users have.
    for (const auto& [user, owner] : {std::pair{QString(), QStringLiteral("owner")},
                                      std::pair{QStringLiteral("user"), QStringLiteral("owner")}}) {
        SCOPED_TRACE(qPrintable(user));
        Result<QByteArray> encrypted = plain->dataRepresentation(WriteOptions::protect(user, owner));
        ASSERT_TRUE(encrypted.ok());
        DocumentPtr damaged = open(withBrokenXrefOffset(withEncryptionInAnObject(*encrypted)), user);
        ASSERT_TRUE(damaged);
        ASSERT_TRUE(damaged->isEncrypted());
        annotate(*damaged, QStringLiteral("A note on a repaired file"));

        Result<QByteArray> saved = damaged->dataRepresentation();
        ASSERT_TRUE(saved.ok()) << qPrintable(saved.error());
        // The copy opens with the same password and reads as plain text, note and page alike.
        DocumentPtr reopened = open(*saved, user);
        ASSERT_TRUE(reopened);
        EXPECT_TRUE(reopened->isEncrypted());
        EXPECT_EQ(firstNote(*reopened), QStringLiteral("A note on a repaired file"));
        EXPECT_TRUE(reopened->page(0)->text().contains(QStringLiteral("Still here")));
        if (user.isEmpty())
            qpdfCheck(*saved);
    }
}

TEST(PdfDamagedSave, AnUnreadableObjectInAnObjectStreamDoesNotStopTheSave)
{
    DocumentPtr doc = open(objectStreamWithADamagedObject());
    ASSERT_TRUE(doc);
    ASSERT_TRUE(doc->page(0)->text().contains(QStringLiteral("Still here")));
    const QString titleShown = doc->attribute(DocumentAttribute::Title);
    annotate(*doc, QStringLiteral("Added to a damaged file"));

    Result<QByteArray> saved = doc->dataRepresentation();
    ASSERT_TRUE(saved.ok()) << qPrintable(saved.error());
    DocumentPtr reopened = open(*saved);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(firstNote(*reopened), QStringLiteral("Added to a damaged file"));
    EXPECT_TRUE(reopened->page(0)->text().contains(QStringLiteral("Still here")));
    // What the document showed of the same object stream is in the copy too.
    EXPECT_EQ(reopened->attribute(DocumentAttribute::Title), titleShown);
    qpdfCheck(*saved);
    // A second save of the same document writes the same.
    Result<QByteArray> again = doc->dataRepresentation();
    ASSERT_TRUE(again.ok()) << qPrintable(again.error());
    EXPECT_EQ(firstNote(*open(*again)), QStringLiteral("Added to a damaged file"));
}

TEST(PdfDamagedSave, ALengthNamingAnotherObjectLeavesThatObjectInTheCopy)
{
    // The page's text gives its length as the catalog; so does a second stream, as the page count.
    DocumentPtr doc = open(assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 5 0 R >>",
                                        kPage, "<< /Length 1 0 R >>\nstream\n" + kText + "\nendstream", "1"}));
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->pageCount(), 1);
    annotate(*doc, QStringLiteral("On a page whose text lies about its length"));
    Result<QByteArray> saved = doc->dataRepresentation();
    ASSERT_TRUE(saved.ok()) << qPrintable(saved.error());
    DocumentPtr reopened = open(*saved);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->pageCount(), 1);
    EXPECT_EQ(firstNote(*reopened), QStringLiteral("On a page whose text lies about its length"));
    EXPECT_TRUE(reopened->page(0)->text().contains(QStringLiteral("Still here")));
    qpdfCheck(*saved);
}

TEST(PdfDamagedSave, ObjectsOfOtherKindsAmongThePagesAreNotPages)
{
    // The catalog, a font and an object stream listed as kids, beside the one real page.
    const QByteArray objectStream = pdfStream("/Type /ObjStm /N 1 /First 4", "9 0 << /Title (x) >>");
    DocumentPtr doc = open(assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                        "<< /Type /Pages /Kids [1 0 R 5 0 R 3 0 R 6 0 R] /Count 4 >>", kPage,
                                        pdfStream({}, kText), "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
                                        objectStream}));
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->pageCount(), 1);
    EXPECT_TRUE(doc->page(0)->text().contains(QStringLiteral("Still here")));
    annotate(*doc, QStringLiteral("On the only page"));
    Result<QByteArray> saved = doc->dataRepresentation();
    ASSERT_TRUE(saved.ok()) << qPrintable(saved.error());
    DocumentPtr reopened = open(*saved);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->pageCount(), 1);
    EXPECT_EQ(firstNote(*reopened), QStringLiteral("On the only page"));
    qpdfCheck(*saved);
}

TEST(PdfDamagedSave, AStreamLengthPastTheEndOfTheFileIsMeasuredAgain)
{
    // Readers look for the stream's end instead; the writer sized its buffer from the number, which
    // overflowed at 2^31 and asked for a terabyte at 2^40. In a plain and in an encrypted file (whose
    // data cannot be measured by decrypting it), the page's text uncompressed or compressed.
    const QByteArray compressedText = qCompress(kText).mid(4); // a zlib stream
    for (const bool compressed : {false, true}) {
        const QByteArray content = compressed ? pdfStream("/Filter /FlateDecode", compressedText) : pdfStream({}, kText);
        const QByteArray file = assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                             kPage, content});
        DocumentPtr plain = open(file);
        ASSERT_TRUE(plain);
        Result<QByteArray> encrypted = plain->dataRepresentation(WriteOptions::protect(QString(), QStringLiteral("owner")));
        ASSERT_TRUE(encrypted.ok());
        for (const QByteArray& length : {QByteArray("2147483648"), QByteArray("1099511627776"), QByteArray("-8")}) {
            for (const auto& [kind, bytes] : {std::pair{"plain", file}, std::pair{"encrypted", *encrypted}}) {
                SCOPED_TRACE(length.constData());
                SCOPED_TRACE(kind);
                SCOPED_TRACE(compressed ? "compressed" : "uncompressed");
                DocumentPtr doc = open(withStreamLength(bytes, length));
                ASSERT_TRUE(doc);
                ASSERT_TRUE(doc->page(0)->text().contains(QStringLiteral("Still here")));
                expectSavedWithNote(*doc, QStringLiteral("Added where a length lies"));
            }
        }
    }
}


TEST(PdfDamagedSave, EncryptedDataEndingLikeAnEndOfLineKeepsItsLastByteWhenItsLengthIsMeasured)
{
    // AES data is random bytes in whole 16-byte blocks, so one stream in 256 ends in CR: before the LF
    // ahead of `endstream` it reads as a CR LF end of line, and cutting it off lost the whole stream. Many
    // small forms, each drawing a mark of its own, make such streams certain in a few copies at most.
    constexpr int kForms = 400;
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", {},
                              {}, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    QByteArray draw = kText + "\n", forms;
    for (int i = 0; i < kForms; ++i) {
        const QByteArray name = "/X" + QByteArray::number(i);
        draw += "q 1 0 0 1 0 " + QByteArray::number(-i) + " cm " + name + " Do Q\n";
        forms += name + " " + QByteArray::number(objects.size() + 1) + " 0 R ";
        objects.append(pdfStream("/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /Font << /F 5 0 R >> >>",
                                 "BT /F 6 Tf 300 600 Td (Mark" + QByteArray::number(i) + "x) Tj ET"));
    }
    objects[2] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << "
                 "/Helvetica 5 0 R >> /XObject << " + forms + ">> >> >>";
    objects[3] = pdfStream({}, draw);
    DocumentPtr plain = open(assemblePdf(objects));
    ASSERT_TRUE(plain);
    QByteArray damaged;
    int count = 0;
    for (int attempt = 0; attempt < 8 && count == 0; ++attempt) {
        Result<QByteArray> encrypted = plain->dataRepresentation(WriteOptions::protect(QString(), QStringLiteral("owner")));
        ASSERT_TRUE(encrypted.ok());
        damaged = withLengthsOfDataEndingInCarriageReturn(*encrypted, "2147483648", &count);
    }
    ASSERT_GT(count, 0);
    DocumentPtr doc = open(damaged);
    ASSERT_TRUE(doc);
    const DocumentPtr reopened = expectSavedWithNote(*doc, QStringLiteral("Added where the data ends in CR"));
    ASSERT_TRUE(reopened);
    const QString text = reopened->page(0)->text();
    for (int i = 0; i < kForms; ++i)
        EXPECT_TRUE(text.contains(QStringLiteral("Mark%1x").arg(i))) << i;
}

TEST(PdfDamagedSave, AnObjectStreamClaimingObjectZeroDoesNotStopTheSave)
{
    DocumentPtr doc = open(objectStreamClaimingObjectZero());
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->pageCount(), 1);
    ASSERT_TRUE(doc->page(0)->text().contains(QStringLiteral("Still here")));
    const QString titleShown = doc->attribute(DocumentAttribute::Title);
    const DocumentPtr reopened = expectSavedWithNote(*doc, QStringLiteral("Added to a file whose repair met object zero"));
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->attribute(DocumentAttribute::Title), titleShown);
}
