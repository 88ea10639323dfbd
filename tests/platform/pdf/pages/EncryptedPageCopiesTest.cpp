// Page copies of encrypted documents: a worker reads and decrypts the streams itself, so taking a copy on
// the document's thread costs the same however many bytes the page draws with, and what the copy draws
// and reads is exactly what the unencrypted file gives.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageRebuild.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/document/TextLayout.h"
#include "support/FidelityPages.h"
#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/Slowdown.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <malloc.h>

#include <thread>

using namespace vmk::pdf;
using vmk::test::kCommandsAfterThreads;
using vmk::test::PdfBuilder;
using vmk::test::ref;
using vmk::test::runCommand;

namespace {

// Files open without a password (only the owner's is set), so that opening needs no wait on another
// thread: under the thread checker, a test may start another program only while it has no threads yet.
const QString kOwnerPassword = QStringLiteral("owner secret");

struct Scheme {
    const char* name;
    QStringList qpdfArgs; // after "--encrypt user owner"
};

const QList<Scheme>& schemes()
{
    static const QList<Scheme> all{
        {"RC4 40", {"40", "--"}},
        {"RC4 128", {"128", "--use-aes=n", "--"}},
        {"AES-128", {"128", "--use-aes=y", "--cleartext-metadata", "--"}},
        {"AES-256", {"256", "--"}},
    };
    return all;
}

QByteArray flate(const QByteArray& data) { return qCompress(data).mid(4); }

// The file encrypted by qpdf with the scheme, streams left as they are.
QByteArray encrypt(const QByteArray& plain, const Scheme& scheme)
{
    QTemporaryDir dir;
    const QString in = vmk::test::writeFile(dir, QStringLiteral("plain.pdf"), plain);
    const QString out = dir.filePath(QStringLiteral("locked.pdf"));
    QStringList args{QStringLiteral("--stream-data=preserve"), QStringLiteral("--object-streams=disable"),
                     QStringLiteral("--allow-weak-crypto"), QStringLiteral("--encrypt"), QString(), kOwnerPassword};
    args << scheme.qpdfArgs << in << out;
    const auto result = runCommand(QStringLiteral("qpdf"), args);
    EXPECT_EQ(result.exitCode, 0) << scheme.name << result.err.constData();
    return vmk::test::readFile(out);
}

DocumentPtr openEncrypted(const QByteArray& data)
{
    Result<DocumentPtr> doc = Document::fromData(data);
    EXPECT_TRUE(doc.ok());
    if (!doc.ok())
        return Document::createEmpty();
    EXPECT_FALSE((*doc)->isLocked());
    return *doc;
}

// Replaces objects in an incremental update: the same numbers, new bodies, with the file's trailer.
QByteArray withUpdate(const QByteArray& file, const QList<QPair<int, QByteArray>>& objects)
{
    const qsizetype trailerAt = file.lastIndexOf("trailer");
    const qsizetype startAt = file.lastIndexOf("startxref");
    const QByteArray trailer = file.mid(trailerAt + 7, startAt - trailerAt - 7).trimmed();
    const QByteArray previous = file.mid(startAt + 9).trimmed().split('\n').first().trimmed();
    QByteArray out = file;
    if (!out.endsWith('\n'))
        out += '\n';
    QByteArray xref = "xref\n";
    for (const auto& [num, body] : objects) {
        xref += QByteArray::number(num) + " 1\n" + QByteArray::number(out.size()).rightJustified(10, '0') + " 00000 n \n";
        out += QByteArray::number(num) + " 0 obj\n" + body + "\nendobj\n";
    }
    const qsizetype xrefAt = out.size();
    out += xref + "trailer\n" + trailer.left(trailer.lastIndexOf(">>")) + " /Prev " + previous + " >>\nstartxref\n"
        + QByteArray::number(xrefAt) + "\n%%EOF\n";
    return out;
}

// A stream's data as the file holds it (encrypted), for a stream with a direct /Length.
QByteArray storedData(const QByteArray& file, int num)
{
    const qsizetype at = file.indexOf("\n" + QByteArray::number(num) + " 0 obj");
    const QRegularExpression length(QStringLiteral("/Length (\\d+)"));
    const qsizetype streamAt = file.indexOf("stream", at);
    const auto found = length.match(QString::fromLatin1(file.mid(at, streamAt - at)));
    if (at < 0 || streamAt < 0 || !found.hasMatch())
        return {};
    qsizetype data = streamAt + 6;
    data += file.at(data) == '\r' ? 2 : 1;
    return file.mid(data, found.captured(1).toInt());
}

// The object numbers of the first page's content streams, in order.
QList<int> contentNumbers(const QByteArray& file)
{
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, QStringLiteral("f.pdf"), file);
    const auto shown = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--show-pages"), path});
    QList<int> numbers;
    const QRegularExpression line(QStringLiteral("^\\s+(\\d+) 0 R$"), QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(QString::fromLatin1(shown.out)); it.hasNext();)
        numbers << it.next().captured(1).toInt();
    return numbers;
}

struct Read {
    RecordOutcome drawn = RecordOutcome::failed;
    QImage image;
    RecordOutcome read = RecordOutcome::failed;
    QString text;
};

// Draws and reads the page through a copy taken here, on a worker, as views and recognition do.
Read throughCopy(const Page& page)
{
    const std::shared_ptr<PageCapture> capture = PageCapture::take(page, true);
    Read out;
    if (!capture)
        return out;
    std::thread([&] {
        RecordResult recorded = capture->record(RecordBudget{});
        out.drawn = recorded.outcome;
        if (recorded.snapshot)
            out.image = recorded.snapshot->render(1.0).convertToFormat(QImage::Format_RGB32);
        TextResult read = capture->readText(RecordBudget{});
        out.read = read.outcome;
        if (read.text)
            out.text = read.text->text();
    }).join();
    return out;
}

int pixelsDiffering(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height() + 1;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* left = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* right = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            differing += left[x] != right[x];
    }
    return differing;
}

// A page with text in a standard font, a compressed main content and two more content streams (which the
// tests below may replace), an image with metadata of its own, a note drawn from its appearance and a
// link; the catalog has document metadata.
QByteArray annotatedPage()
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    const int imageXmp = pdf.addStream("/Type /Metadata /Subtype /XML", "<x:xmpmeta>image-xmp-marker</x:xmpmeta>");
    QByteArray pixels;
    for (int i = 0; i < 16 * 16; ++i)
        pixels += char(i) + QByteArray(1, char(255 - i)) + QByteArray(1, char((i * 7) & 255));
    const int image = pdf.addStream("/Filter /FlateDecode /Type /XObject /Subtype /Image /Width 16 /Height 16 "
                                    "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Metadata " + ref(imageXmp),
                                    flate(pixels));
    const QByteArray main = "0.2 0.4 0.8 rg 40 500 200 120 re f\n"
                            "q 120 0 0 120 300 500 cm /Im1 Do Q\n"
                            "BT /F1 18 Tf 40 700 Td (Encrypted pages copy well) Tj ET\n"
                            "BT /F1 12 Tf 40 660 Td (Second line, with commas and spaces) Tj ET\n";
    const int content = pdf.addStream("/Filter /FlateDecode", flate(main));
    const int second = pdf.addStream({}, "BT /F1 14 Tf 40 420 Td (Words in the second stream) Tj ET\n");
    const int third = pdf.addStream({}, "0 0.6 0 rg 40 300 80 60 re f\n");
    const int appearance = pdf.addStream("/Type /XObject /Subtype /Form /BBox [0 0 100 40] /Resources << /Font << "
                                         "/F1 " + ref(font) + " >> >>",
                                         "1 0.9 0.2 rg 0 0 100 40 re f BT /F1 10 Tf 5 15 Td (Note text) Tj ET");
    const int note = pdf.add("<< /Type /Annot /Subtype /Square /Rect [400 300 500 340] /Contents (A note) "
                             "/AP << /N " + ref(appearance) + " >> >>");
    const int link = pdf.add("<< /Type /Annot /Subtype /Link /Rect [40 690 300 720] /Border [0 0 0] "
                             "/A << /S /URI /URI (https://example.org/) >> >>");
    const int page = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 612 792] /Resources << /Font "
                             "<< /F1 " + ref(font) + " >> /XObject << /Im1 " + ref(image) + " >> >> /Contents ["
                             + ref(content) + ' ' + ref(second) + ' ' + ref(third) + "] /Annots [" + ref(note) + ' '
                             + ref(link) + "] >>");
    const int xmp = pdf.addStream("/Type /Metadata /Subtype /XML", "<x:xmpmeta>document-xmp-marker</x:xmpmeta>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + ref(page) + "] /Count 1 >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " /Metadata " + ref(xmp) + " >>");
    return pdf.write(catalog);
}

// One page whose content stream holds about `bytes` bytes, stored uncompressed: a line of text, then
// comments (cheap to interpret, so that reading the page costs about what decrypting it does).
QByteArray heavyPage(int bytes)
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    QByteArray content = "BT /F1 14 Tf 20 100 Td (Heavy words here) Tj ET\n";
    content.reserve(bytes + 64);
    while (content.size() < bytes)
        content += "% padding padding padding padding padding padding padding padding padding\n";
    const int stream = pdf.addStream({}, content);
    const int page = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 200] /Resources << /Font "
                             "<< /F1 " + ref(font) + " >> >> /Contents " + ref(stream) + " >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + ref(page) + "] /Count 1 >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " >>");
    return pdf.write(catalog);
}

qint64 allocatedBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

} // namespace

TEST(EncryptedPageCopies, DrawAndReadAsTheUnencryptedFileInEveryScheme)
{
    // Two pages in every scheme; the others (embedded Type 1 and CFF fonts, a turned page, a cropped
    // one, an inline image, a TeX-like page) each in one, in turn.
    QList<QPair<QString, QByteArray>> pages{{QStringLiteral("annotated"), annotatedPage()}};
    const QStringList others{QStringLiteral("everything, Type 1"), QStringLiteral("everything, CFF"),
                             QStringLiteral("rotated page"), QStringLiteral("cropped page"),
                             QStringLiteral("inline image"), QStringLiteral("TeX-like")};
    for (const vmk::test::FidelityPage& page : vmk::test::fidelityPages())
        if (page.name == QLatin1String("everything, TrueType") || others.contains(page.name))
            pages.append({page.name, page.pdf});
    ASSERT_EQ(pages.size(), 8);
    // Every file is encrypted before any thread starts.
    QList<QList<QPair<const Scheme*, QByteArray>>> encrypted;
    int turn = 0;
    for (const auto& [name, plain] : pages) {
        encrypted.append(QList<QPair<const Scheme*, QByteArray>>());
        for (const Scheme& scheme : schemes())
            if (!others.contains(name) || &scheme == &schemes()[turn % schemes().size()])
                encrypted.back().append({&scheme, encrypt(plain, scheme)});
        turn += others.contains(name) ? 1 : 0;
    }
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const auto& [name, plain] = pages[i];
        const DocumentPtr original = openEncrypted(plain);
        const Read expected = throughCopy(*original->page(0));
        ASSERT_EQ(expected.drawn, RecordOutcome::recorded) << qPrintable(name);
        ASSERT_FALSE(expected.text.isEmpty()) << qPrintable(name);
        for (const auto& [scheme, bytes] : encrypted[i]) {
            SCOPED_TRACE(std::string(scheme->name) + ", " + name.toStdString());
            const DocumentPtr locked = openEncrypted(bytes);
            ASSERT_TRUE(locked->isEncrypted());
            const Read got = throughCopy(*locked->page(0));
            ASSERT_EQ(got.drawn, RecordOutcome::recorded);
            EXPECT_EQ(pixelsDiffering(got.image, expected.image), 0);
            EXPECT_EQ(got.read, RecordOutcome::recorded);
            EXPECT_EQ(got.text, expected.text);
            // A second copy of the page shares the first one's objects in the same copy document.
            EXPECT_EQ(throughCopy(*locked->page(0)).text, expected.text);
        }
    }
}

TEST(EncryptedPageCopies, StreamsWithTheirOwnCryptFilterAndClearMetadataReadRight)
{
    // Crypt filters of the streams' own: Identity as the only filter and first of a list, the document's
    // own filter by name; the document's metadata, and the image's, stay in clear text.
    const QByteArray plain = annotatedPage();
    const QByteArray locked = encrypt(plain, schemes()[2]);
    const QList<int> contents = contentNumbers(locked);
    ASSERT_EQ(contents.size(), 3);
    const QByteArray second = "BT /F1 14 Tf 40 420 Td (Words in the second stream) Tj ET\n";
    const QByteArray third = flate("0 0.6 0 rg 40 300 80 60 re f\n");
    // The main content keeps its data as encrypted, under a crypt filter of its own naming the document's.
    const QByteArray mainData = storedData(locked, contents[0]);
    ASSERT_FALSE(mainData.isEmpty());
    const QByteArray updated = withUpdate(
        locked, {{contents[0], "<< /Length " + QByteArray::number(mainData.size())
                                   + " /Filter [/Crypt /FlateDecode] /DecodeParms [<< /Name /StdCF >> null] >>\nstream\n"
                                   + mainData + "\nendstream"},
                 {contents[1], "<< /Length " + QByteArray::number(second.size())
                                   + " /Filter /Crypt /DecodeParms << /Name /Identity >> >>\nstream\n" + second
                                   + "\nendstream"},
                 {contents[2], "<< /Length " + QByteArray::number(third.size())
                                   + " /Filter [/Crypt /FlateDecode] /DecodeParms [<< /Type /CryptFilterDecodeParms "
                                     "/Name /Identity >> null] >>\nstream\n"
                                   + third + "\nendstream"}});
    const DocumentPtr original = openEncrypted(plain);
    const Read expected = throughCopy(*original->page(0));
    ASSERT_TRUE(expected.text.contains(QLatin1String("Words in the second stream")));
    const DocumentPtr doc = openEncrypted(updated);
    const Read got = throughCopy(*doc->page(0));
    ASSERT_EQ(got.drawn, RecordOutcome::recorded);
    EXPECT_EQ(pixelsDiffering(got.image, expected.image), 0);
    EXPECT_EQ(got.text, expected.text);

    // Rebuilt from the copy and written out plain: the image's metadata comes through as written.
    const std::shared_ptr<PageCapture> capture = PageCapture::take(*doc->page(0), false);
    ASSERT_TRUE(capture);
    Result<PagePtr> rebuilt = Result<PagePtr>::failure(QString());
    std::thread([&] { rebuilt = capture->rebuild(RebuildBase::vector(), {}); }).join();
    ASSERT_TRUE(rebuilt.ok()) << qPrintable(rebuilt.error());
    ASSERT_TRUE(doc->page(0)->exchangeDrawing(**rebuilt));
    const Result<QByteArray> written = doc->dataRepresentation(WriteOptions::withoutEncryption());
    ASSERT_TRUE(written.ok());
    EXPECT_TRUE(written->contains("image-xmp-marker"));
    if (!kCommandsAfterThreads)
        return;
    QTemporaryDir dir;
    const QString path = vmk::test::writeFile(dir, QStringLiteral("plain.pdf"), *written);
    const auto dump = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"),
                                                          path, QStringLiteral("-")});
    EXPECT_TRUE(dump.out.contains("image-xmp-marker"));
    const auto text = runCommand(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    EXPECT_TRUE(text.out.contains("Words in the second stream")) << text.out.constData();
}

TEST(EncryptedPageCopies, TakingACopyMovesNoneOfAHeavyEncryptedPagesBytes)
{
    struct Taken {
        qint64 allocated = 0;
        qint64 nanoseconds = 0;
    };
    constexpr int kHeavy = 20 << 20;
    const QByteArray lightFile = encrypt(heavyPage(kHeavy / 10), schemes()[3]);
    const QByteArray heavyFile = encrypt(heavyPage(kHeavy), schemes()[3]);
    const QByteArray rc4File = encrypt(heavyPage(kHeavy / 2), schemes()[1]);
    auto take = [](const QByteArray& file) {
        const DocumentPtr doc = openEncrypted(file);
        const PagePtr page = doc->page(0);
        EXPECT_TRUE(page);
        Taken taken;
        if (!page)
            return taken;
        const qint64 before = allocatedBytes();
        // This thread's own time: what the system kept it waiting for a processor is not the copy's doing.
        const qint64 waitedBefore = vmk::test::runQueueWaitNs();
        QElapsedTimer timer;
        timer.start();
        const std::shared_ptr<PageCapture> capture = PageCapture::take(*page, false);
        taken.nanoseconds = timer.nsecsElapsed() - (vmk::test::runQueueWaitNs() - waitedBefore);
        taken.allocated = allocatedBytes() - before;
        EXPECT_TRUE(capture);
        // The worker decrypts the whole stream: the words at its start and the end of its last line.
        TextResult read;
        std::thread([&] { read = capture->readText(RecordBudget{}); }).join();
        EXPECT_EQ(read.outcome, RecordOutcome::recorded);
        EXPECT_TRUE(read.text && read.text->text().contains(QLatin1String("Heavy words here")));
        return taken;
    };
    const Taken light = take(lightFile);
    const Taken heavy = take(heavyFile);
    EXPECT_LT(heavy.allocated, kHeavy / 20);
    EXPECT_LT(heavy.nanoseconds, qint64(vmk::test::scaledMs(50)) * 1000000);
    // Ten times the bytes cost the same, up to noise.
    EXPECT_LT(heavy.nanoseconds, 3 * light.nanoseconds + qint64(vmk::test::scaledMs(10)) * 1000000);
    // RC4 too (the stream is another object each time, so nothing is shared between the two).
    EXPECT_LT(take(rc4File).allocated, kHeavy / 20);
}

TEST(EncryptedPageCopies, AStreamThatCannotBeDecryptedFailsItsPageOnTheWorker)
{
    const QByteArray locked = encrypt(annotatedPage(), schemes()[2]);
    const QList<int> contents = contentNumbers(locked);
    ASSERT_EQ(contents.size(), 3);
    // Not a whole number of AES blocks.
    const QByteArray damaged = withUpdate(locked, {{contents[1], "<< /Length 37 >>\nstream\n" + QByteArray(37, 'x')
                                                                      + "\nendstream"}});
    const DocumentPtr doc = openEncrypted(damaged);
    const std::shared_ptr<PageCapture> capture = PageCapture::take(*doc->page(0), true);
    ASSERT_TRUE(capture);
    RecordOutcome drawn = RecordOutcome::recorded, read = RecordOutcome::recorded;
    Result<PagePtr> rebuilt = Result<PagePtr>::failure(QString());
    std::thread([&] {
        drawn = capture->record(RecordBudget{}).outcome;
        read = capture->readText(RecordBudget{}).outcome;
        rebuilt = capture->rebuild(RebuildBase::vector(), {});
    }).join();
    EXPECT_EQ(drawn, RecordOutcome::failed);
    EXPECT_EQ(read, RecordOutcome::failed);
    EXPECT_FALSE(rebuilt.ok());

    // A later copy of the page shares the unreadable stream, and fails the same way.
    EXPECT_EQ(throughCopy(*doc->page(0)).drawn, RecordOutcome::failed);
}

// Make Searchable and Apply Redactions rebuild pages from copies on workers; the encrypted file they save
// must stay whole, encrypted, and read as rebuilt.
TEST(EncryptedPageCopies, PagesRebuiltFromCopiesSaveEncryptedAndWhole)
{
    const QList<QByteArray> files{encrypt(annotatedPage(), schemes()[1]), encrypt(annotatedPage(), schemes()[3])};
    for (const QByteArray& file : files) {
        SCOPED_TRACE(files.indexOf(file) == 0 ? "RC4 128" : "AES-256");
        const DocumentPtr doc = openEncrypted(file);
        ASSERT_EQ(doc->pageCount(), 1);
        const PagePtr page = doc->page(0);
        const std::shared_ptr<PageCapture> capture = PageCapture::take(*page, false);
        ASSERT_TRUE(capture);
        const InvisibleTextRun layer{QStringLiteral("Layer words here"), QPointF(40, 200), 12, 1, 0};
        Result<PagePtr> searchable = Result<PagePtr>::failure(QString());
        Result<PagePtr> redacted = Result<PagePtr>::failure(QString());
        std::thread([&] {
            searchable = capture->rebuild(RebuildBase::vector(), {layer});
            // Redaction: the page drawn, the second line painted over, drawn back with the rest of its text.
            RecordResult drawn = capture->record(RecordBudget{});
            if (!drawn.snapshot)
                return;
            QImage image = drawn.snapshot->render(1.0).convertToFormat(QImage::Format_RGB32);
            QPainter(&image).fillRect(QRect(30, 115, 400, 25), Qt::black);
            redacted = capture->rebuild(RebuildBase::raster(image), {layer});
        }).join();
        ASSERT_TRUE(searchable.ok()) << qPrintable(searchable.error());
        ASSERT_TRUE(redacted.ok()) << qPrintable(redacted.error());

        QTemporaryDir dir;
        auto check = [&](const QString& name, const QList<QByteArray>& present, const QList<QByteArray>& gone) {
            const Result<QByteArray> written = doc->dataRepresentation();
            ASSERT_TRUE(written.ok());
            const DocumentPtr reread = openEncrypted(*written);
            ASSERT_TRUE(reread->isEncrypted());
            ASSERT_EQ(reread->pageCount(), 1);
            for (const QByteArray& words : present)
                EXPECT_TRUE(reread->page(0)->text().contains(QLatin1String(words))) << words.constData();
            for (const QByteArray& words : gone)
                EXPECT_FALSE(reread->page(0)->text().contains(QLatin1String(words))) << words.constData();
            if (!kCommandsAfterThreads)
                return;
            const QString path = vmk::test::writeFile(dir, name, *written);
            const auto checked = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
            EXPECT_EQ(checked.exitCode, 0) << checked.out.constData() << checked.err.constData();
            const auto json = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--json"), path});
            EXPECT_TRUE(json.out.contains("\"encrypted\": true"));
            EXPECT_EQ(json.out.count("\"/Type\": \"/Page\""), 1);
            const auto text = runCommand(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
            for (const QByteArray& words : present)
                EXPECT_TRUE(text.out.contains(words)) << words.constData() << "\n" << text.out.constData();
            for (const QByteArray& words : gone)
                EXPECT_FALSE(text.out.contains(words)) << words.constData();
        };
        ASSERT_TRUE(page->exchangeDrawing(**searchable));
        check(QStringLiteral("searchable.pdf"),
              {"Encrypted pages copy well", "Second line, with commas and spaces", "Words in the second stream",
               "Layer words here"},
              {});
        ASSERT_TRUE(page->exchangeDrawing(**searchable)); // back
        ASSERT_TRUE(page->exchangeDrawing(**redacted));
        check(QStringLiteral("redacted.pdf"), {"Layer words here"}, {"commas", "Encrypted pages"});
    }
}
