// Page text kept compactly, and read on workers from copies of the unchanged document.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/PdfFixtures.h"
#include "platform/pdf/pages/TextFinder.h"
#include "platform/pdf/pages/TextReader.h"
#include "platform/services/BackgroundPool.h"
#include "platform/services/HeapTrim.h"
#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace vmk::pdf;
namespace fixtures = vmk::test::pdf;

namespace {

DocumentPtr open(const QByteArray& data) { return vmk::test::pdf::openPdf(data); }

struct Read {
    QList<int> order;
    QList<PagePtr> pages;
    QList<QList<QPair<int, int>>> found;
};

Read readAll(const DocumentPtr& doc, TextReader::Visit visit = {})
{
    TextReader reader;
    Read read;
    QObject::connect(&reader, &TextReader::pageRead,
                     [&](int index, const PagePtr& page, const QList<QPair<int, int>>& found) {
                         EXPECT_TRUE(page->hasLoadedText());
                         read.order << index;
                         read.pages << page;
                         read.found << found;
                     });
    QSignalSpy finished(&reader, &TextReader::finished);
    reader.start(doc, std::move(visit));
    EXPECT_TRUE(finished.wait(20000));
    return read;
}

QStringList pageTexts(const DocumentPtr& doc)
{
    QStringList texts;
    for (const PagePtr& page : doc->pages())
        texts << page->text();
    return texts;
}

} // namespace

TEST(PdfTextLayout, OneStringAndOneBoxPerCharacterWithLinesAndWideCharacters)
{
    TextLayout layout;
    layout.append(U'a', QRectF(10, 20, 5, 8));
    layout.append(U'\U0001D400', QRectF(15, 20, 6, 8)); // two string units
    layout.append(U'b', QRectF(21, 20, 5, 8));
    layout.endLine();
    layout.append(U'c', QRectF(10, 5, 5, 8));
    layout.endLine();

    EXPECT_EQ(layout.size(), 6);
    EXPECT_EQ(layout.text(), QStringLiteral("a\U0001D400b\nc\n"));
    EXPECT_EQ(layout.text().size(), 7);
    EXPECT_EQ(layout.bounds(2), QRectF(21, 20, 5, 8));
    EXPECT_TRUE(layout.bounds(3).isEmpty()); // the line break
    EXPECT_EQ(layout.line(0), 0);
    EXPECT_EQ(layout.line(3), 0);
    EXPECT_EQ(layout.line(4), 1);
    EXPECT_EQ(layout.line(99), -1);
    EXPECT_EQ(layout.characterText(1), QStringLiteral("\U0001D400"));
    EXPECT_EQ(layout.mid(1, 2), QStringLiteral("\U0001D400b"));
    EXPECT_EQ(layout.mid(4, 100), QStringLiteral("c\n"));
    // Character and string indices part after the wide character, both ways.
    EXPECT_EQ(layout.textIndex(1), 1);
    EXPECT_EQ(layout.textIndex(2), 3);
    EXPECT_EQ(layout.textIndex(6), 7);
    EXPECT_EQ(layout.characterIndex(1), 1);
    EXPECT_EQ(layout.characterIndex(2), 1); // the second half of the pair
    EXPECT_EQ(layout.characterIndex(3), 2);
    EXPECT_EQ(layout.characterIndex(5), 4);
}

TEST(PdfTextReader, ReadsEveryPageInOrderLikeTheMainThread)
{
    // Long enough that each worker reads a run of its own after the document's start, and that workers
    // which run out take over the rest of others' runs.
    constexpr int kPages = 150;
    QStringList texts;
    for (int i = 0; i < kPages; ++i)
        texts << QStringLiteral("Page %1 holds words\nand a second line %2").arg(i + 1).arg(i * 7);
    const QByteArray bytes = fixtures::textPdf(texts);
    const DocumentPtr doc = open(bytes);
    // Two pages already know their text; the rest are read by workers.
    const QString known = doc->page(3)->text();
    const Read read = readAll(doc, [](const TextLayout& layout) { return QList<QPair<int, int>>{{0, layout.size()}}; });
    ASSERT_EQ(read.order.size(), kPages);
    for (int i = 0; i < kPages; ++i) {
        EXPECT_EQ(read.order[i], i);
        EXPECT_EQ(read.pages[i], doc->page(i));
        EXPECT_EQ(read.found[i], (QList<QPair<int, int>>{{0, doc->page(i)->textLayout().size()}}));
    }
    EXPECT_EQ(doc->page(3)->text(), known);
    // The same text as a document that read every page on this thread.
    EXPECT_EQ(pageTexts(doc), pageTexts(open(bytes)));
    EXPECT_TRUE(doc->page(7)->text().startsWith(QStringLiteral("Page 8 holds words\nand a second line 49")));
}

TEST(PdfTextReader, CopiesCloseWhenReadingEndsAndPageTextGoesWithItsDocument)
{
    // The texts of documents earlier tests let go of go first: they would go during the reading below.
    ASSERT_TRUE(vmk::test::eventually([] { return Document::releasesUnderWay() == 0; }));
    const int textsBefore = TextLayout::liveCount();
    QStringList texts;
    for (int i = 0; i < 40; ++i)
        texts << QStringLiteral("Leaf %1 of the ledger").arg(i);
    {
        const DocumentPtr doc = open(fixtures::textPdf(texts));
        const Read read = readAll(doc);
        ASSERT_EQ(read.order.size(), 40);
        EXPECT_EQ(TextLayout::liveCount(), textsBefore + 40);
        // The workers' copies of the document (each with an engine context of its own) are closed once
        // the read is over, not kept with the pool's threads.
        EXPECT_TRUE(vmk::test::eventually([] { return TextReader::openCopies() == 0; }));
        // Reading again only visits the text the pages have: no copy opens, and no heap trim is asked for
        // (a trim holds the heaps' locks, which the window's thread may be waiting for).
        ASSERT_TRUE(vmk::test::eventually([] { return !vmk::platform::isHeapTrimUnderWay(); }));
        const int trims = vmk::platform::heapTrimsDone();
        EXPECT_EQ(readAll(doc).order.size(), 40);
        vmk::platform::backgroundPool().waitForDone(5000);
        EXPECT_FALSE(vmk::platform::isHeapTrimUnderWay());
        EXPECT_EQ(vmk::platform::heapTrimsDone(), trims);
        // A read cancelled part way closes its copies too.
        const DocumentPtr other = open(fixtures::textPdf(texts));
        TextReader reader;
        QObject::connect(&reader, &TextReader::pageRead, [&](int index, const PagePtr&, const QList<QPair<int, int>>&) {
            if (index == 1)
                reader.cancel();
        });
        reader.start(other);
        EXPECT_TRUE(vmk::test::eventually([&] { return !reader.isRunning(); }));
        EXPECT_TRUE(vmk::test::eventually([] { return TextReader::openCopies() == 0; }));
    }
    // Freed on a worker once the document is let go of.
    EXPECT_TRUE(vmk::test::eventually([&] { return TextLayout::liveCount() == textsBefore; }));
}

TEST(PdfTextReader, ChangedAndAddedPagesAreReadAsTheyAreNow)
{
    const DocumentPtr doc = open(fixtures::textPdf({"Alpha page", "Bravo page", "Charlie page", "Delta page"}));
    // Moved pages, a page from another document, a removed page and a page with a new note.
    ASSERT_TRUE(doc->exchangePages(0, 2).ok());
    const DocumentPtr other = open(fixtures::textPdf({"Echo page"}));
    ASSERT_TRUE(doc->insertPage(other->page(0), 1).ok());
    doc->removePage(4); // "Delta page"
    const AnnotationPtr note = Annotation::create(QStringLiteral("FreeText"), QRectF(50, 50, 200, 40));
    note->setContents(QStringLiteral("Foxtrot words"));
    doc->page(0)->addAnnotation(note);

    TextFinder finder;
    QList<Selection> found;
    QObject::connect(&finder, &TextFinder::matchesFound, [&](const QList<Selection>& batch) { found += batch; });
    QSignalSpy finished(&finder, &TextFinder::finished);
    finder.start(doc, QStringLiteral("page"));
    ASSERT_TRUE(finished.wait(10000));
    QStringList order;
    for (const Selection& s : found) {
        ASSERT_EQ(s.pages().size(), 1);
        order << s.pages().first()->text().section(QLatin1Char(' '), 0, 0);
    }
    EXPECT_EQ(order, (QStringList{"Charlie", "Echo", "Bravo", "Alpha"}));
    // A note's words belong to the note, not to the page's text.
    EXPECT_FALSE(doc->page(0)->text().contains(QStringLiteral("Foxtrot")));

    // Saved and opened again, every page reads the same.
    EXPECT_EQ(pageTexts(doc), pageTexts(open(*doc->dataRepresentation())));
}

TEST(PdfTextReader, ReadsAPasswordProtectedDocumentOnceUnlocked)
{
    const DocumentPtr plain = open(fixtures::textPdf({"Secret minutes", "More secret notes"}));
    const DocumentPtr doc = open(*plain->dataRepresentation(WriteOptions::protect(QStringLiteral("pw"))));
    ASSERT_TRUE(doc->isLocked());
    EXPECT_TRUE(readAll(doc).order.isEmpty());
    ASSERT_TRUE(doc->unlock(QStringLiteral("pw")).has_value());
    const Read read = readAll(doc);
    ASSERT_EQ(read.order, (QList<int>{0, 1}));
    EXPECT_TRUE(doc->page(1)->text().startsWith(QStringLiteral("More secret notes")));
}

TEST(PdfTextReader, CancellingStopsDeliveryAndARestartBeginsAgain)
{
    QStringList texts;
    for (int i = 0; i < 40; ++i)
        texts << QStringLiteral("Sheet %1").arg(i);
    const DocumentPtr doc = open(fixtures::textPdf(texts));
    TextReader reader;
    QList<int> order;
    QObject::connect(&reader, &TextReader::pageRead, [&](int index, const PagePtr&, const QList<QPair<int, int>>&) {
        order << index;
        if (index == 2)
            reader.cancel();
    });
    QSignalSpy finished(&reader, &TextReader::finished);
    reader.start(doc);
    EXPECT_FALSE(finished.wait(500));
    EXPECT_EQ(order, (QList<int>{0, 1, 2}));
    EXPECT_FALSE(reader.isRunning());

    order.clear();
    QObject::disconnect(&reader, nullptr, nullptr, nullptr);
    QObject::connect(&reader, &TextReader::pageRead, [&](int index, const PagePtr&, const QList<QPair<int, int>>&) {
        order << index;
    });
    QSignalSpy again(&reader, &TextReader::finished);
    reader.start(doc);
    ASSERT_TRUE(again.wait(10000));
    EXPECT_EQ(order.size(), 40);
    EXPECT_EQ(order.last(), 39);
}

namespace {

constexpr char kQuitWhileReading[] = "VMK_QUIT_WHILE_READING";

} // namespace

// Run by the test below in a child process: starts reading a document whose page never finishes (the
// visit stands for a decoder that ignores the cancel flag) and a write on the global pool, then ends.
TEST(PdfTextReader, QuittingChild)
{
    const QString marker = qEnvironmentVariable(kQuitWhileReading);
    if (marker.isEmpty())
        GTEST_SKIP() << "runs only as a child of QuittingNeverWaitsForAPageButWaitsForWrites";
    const DocumentPtr doc = open(fixtures::textPdf({QStringLiteral("Endless")}));
    auto started = std::make_shared<std::atomic_bool>(false);
    auto* reader = new TextReader;
    reader->start(doc, [started](const TextLayout&) {
        started->store(true);
        std::this_thread::sleep_for(std::chrono::minutes(5));
        return QList<QPair<int, int>>();
    });
    while (!started->load())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // A write started just before the end is finished before the process goes.
    QThreadPool::globalInstance()->start([marker] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QFile file(marker);
        if (file.open(QIODevice::WriteOnly))
            file.write("written");
    });
    delete reader; // the window closes: the read is cancelled, the page's decoder does not notice
}

TEST(PdfTextReader, QuittingNeverWaitsForAPageButWaitsForWrites)
{
    QTemporaryDir folder;
    const QString marker = folder.filePath(QStringLiteral("written"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kQuitWhileReading, marker);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=PdfTextReader.QuittingChild"});
    // Minutes if the end waited for the page.
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    QFile written(marker);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("written"));
}

namespace {

// Made once per test binary: an ordinary page, then one with a line of text among nearly two million tiny
// squares drawn through forms: small to store, slow to interpret.
const QByteArray& slowTextData()
{
    static const QByteArray data = [] {
        vmk::test::PdfBuilder pdf;
        const int catalog = pdf.add("<< /Type /Catalog /Pages 2 0 R >>");
        const int pages = pdf.reserve();
        const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        const int slow = vmk::test::addSlowForm(pdf, 2000, 30, "0.2 0.2 0.7");
        const QByteArray resources = "/Resources << /Font << /F1 " + vmk::test::ref(font) + " >> /XObject << /Slow "
            + vmk::test::ref(slow) + " >> >>";
        QByteArray kids;
        for (const QByteArray& content : {QByteArray("BT /F1 18 Tf 30 350 Td (Plain words first) Tj ET"),
                                          QByteArray("/Slow Do BT /F1 18 Tf 40 300 Td (Slow words here) Tj ET")}) {
            const int stream = pdf.addStream({}, content);
            kids += vmk::test::ref(pdf.add("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] " + resources
                                           + " /Contents " + vmk::test::ref(stream) + " >>"))
                + ' ';
        }
        pdf.set(pages, "<< /Type /Pages /Kids [" + kids + "] /Count 2 >>");
        return pdf.write(catalog);
    }();
    return data;
}

// What reading the slow page's text costs on this thread now, in milliseconds.
qint64 slowPageTextMs()
{
    const DocumentPtr doc = open(slowTextData());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(doc->page(1)->text().contains(QLatin1String("Slow words here")));
    return timer.elapsed();
}

} // namespace

TEST(PdfTextReader, AChangedSlowPageIsReadOnAWorkerFromACopyWhileTheWindowAnswers)
{
    const qint64 cost = slowPageTextMs();
    const DocumentPtr doc = open(slowTextData());
    // Changed in memory: the file's bytes no longer say what the page is.
    doc->page(1)->setRotation(90);
    doc->page(1)->setCropBox(QRectF(20, 30, 260, 340));

    TextReader reader;
    QList<int> order;
    QList<QList<QPair<int, int>>> found;
    QObject::connect(&reader, &TextReader::pageRead,
                     [&](int index, const PagePtr& page, const QList<QPair<int, int>>& matches) {
                         EXPECT_TRUE(page->hasLoadedText());
                         order << index;
                         found << matches;
                     });
    reader.start(doc, [](const TextLayout& layout) { return TextFinder::matchesIn(layout.text(), QStringLiteral("words")); });
    const qint64 stall = vmk::test::longestMainThreadStall([&] { return reader.isRunning(); }, 60000);
    ASSERT_FALSE(reader.isRunning());
    EXPECT_LT(stall, std::max<qint64>(cost / 3, vmk::test::scaledMs(20)))
        << "reading the page costs " << cost << " ms";
    ASSERT_EQ(order, (QList<int>{0, 1}));
    EXPECT_EQ(found[1].size(), 1);

    // The same characters in the same places as reading the saved page on this thread.
    const DocumentPtr saved = open(*doc->dataRepresentation());
    const TextLayout& read = doc->page(1)->textLayout();
    const TextLayout& reference = saved->page(1)->textLayout();
    EXPECT_EQ(read.text(), reference.text());
    ASSERT_EQ(read.size(), reference.size());
    for (int i = 0; i < read.size(); ++i)
        EXPECT_EQ(read.bounds(i), reference.bounds(i)) << i;
    EXPECT_TRUE(read.text().contains(QLatin1String("Slow words here")));
}

TEST(PdfTextReader, TextOfContentReplacedWhileItIsReadIsNotTakenForThePage)
{
    const DocumentPtr doc = open(slowTextData());
    doc->page(1)->setRotation(90); // the second page is read from a copy, the first from the file's bytes
    TextReader reader;
    QList<bool> known;
    QList<QList<QPair<int, int>>> found;
    QObject::connect(&reader, &TextReader::pageRead,
                     [&](int, const PagePtr& page, const QList<QPair<int, int>>& matches) {
                         known << page->hasLoadedText();
                         found << matches;
                     });
    QSignalSpy finished(&reader, &TextReader::finished);
    reader.start(doc, [](const TextLayout& layout) { return TextFinder::matchesIn(layout.text(), QStringLiteral("words")); });
    // Both pages get new drawings while their old content is being read.
    const PagePtr blank = Page::createBlank(QRectF(0, 0, 300, 400), 0);
    const PagePtr other = Page::createBlank(QRectF(0, 0, 300, 400), 0);
    ASSERT_TRUE(doc->page(0)->exchangeDrawing(*blank));
    ASSERT_TRUE(doc->page(1)->exchangeDrawing(*other));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(known, (QList<bool>{false, false}));
    EXPECT_EQ(found, (QList<QList<QPair<int, int>>>{{}, {}}));
    EXPECT_TRUE(doc->page(0)->text().trimmed().isEmpty());
    EXPECT_TRUE(doc->page(1)->text().trimmed().isEmpty());
}

TEST(PdfTextReader, TextBetweenShadingsAndPicturesIsReadWithoutLoadingThem)
{
    // The shading's function and the picture's data are broken: a reading that loaded them would fail on
    // them. Text only, neither is loaded and the words on either side are all there.
    vmk::test::PdfBuilder b;
    b.reserve(); // the catalog
    b.reserve(); // the page tree
    const int font = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const int shading = b.add("<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] /Function 999 0 R >>");
    const int image = b.addStream("/Type /XObject /Subtype /Image /Width 40000 /Height 40000 /ColorSpace "
                                  "/DeviceRGB /BitsPerComponent 8 /Filter /JPXDecode", "not a picture");
    const int content = b.addStream({}, "BT /F1 12 Tf 72 700 Td (before) Tj ET /Sh0 sh /Im0 Do "
                                            "BT /F1 12 Tf 72 600 Td (after) Tj ET");
    const int page = b.add("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " + vmk::test::ref(content)
                           + " /Resources << /Font << /F1 " + vmk::test::ref(font) + " >> /Shading << /Sh0 "
                           + vmk::test::ref(shading)
                           + " >> /XObject << /Im0 " + vmk::test::ref(image) + " >> >> >>");
    b.set(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.set(2, "<< /Type /Pages /Kids [" + vmk::test::ref(page) + "] /Count 1 >>");
    const DocumentPtr doc = open(b.write());
    ASSERT_TRUE(doc);
    const Read read = readAll(doc);
    ASSERT_EQ(read.order.size(), 1);
    EXPECT_EQ(doc->page(0)->text().simplified(), QStringLiteral("before after"));
}
