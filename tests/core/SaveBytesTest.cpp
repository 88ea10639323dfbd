// Saving a document whose annotations still lack their appearances: the bytes are made without holding
// the window, and the copy keeps everything a second engine reads in the original.

#include "core/PDFOps.h"
#include "core/VMKDocument.h"

#include "platform/pdf/engine/Wait.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/engine/MainThreadSlice.h"
#include "platform/pdf/document/Page.h"

#include "StructureFixtures.h"
#include "support/QpdfPages.h"
#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/Slowdown.h"
#include "support/TestFiles.h"
#include "support/Wait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QCloseEvent>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <thread>

using namespace vmk;
using namespace vmk::core;

using vmk::test::QpdfPage;
using vmk::test::qpdfPages;

namespace {

constexpr int kPerPage = 150;
// 9,000 annotations for the measure: made on the main thread, their appearances and the bytes held it for
// over a second. A second engine reads a smaller file of the same make.
constexpr int kCrowdedPages = 60;
constexpr int kCheckedPages = 12;
const char* const kKinds[] = {"Square", "Circle", "Text", "Line"};

// `pageCount` pages of text, turned by 0, 90, 180 or 270 degrees, each with kPerPage squares, circles, notes and
// lines that carry text and have no appearance at all, as some programs write them. Page 1 holds the form
// field "name" (Alice), page 2 a widget of "city" (Bob); the form asks readers to draw its fields. Links:
// page 1 → page 3 by name, page 2 → page 4. An outline "Start" → 1, "Third" → "third", "Last" → the last
// page; information and an XMP packet.
QByteArray crowdedStructure(int pageCount)
{
    test::PdfBuilder b;
    const int catalog = b.reserve(), pagesNum = b.reserve();
    QList<int> pages;
    for (int i = 0; i < pageCount; ++i)
        pages << b.reserve();
    const int font = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    const int empty = b.addStream("/Type /XObject /Subtype /Form /BBox [0 0 228 30]", "");
    const int name = b.add("<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Alice) /Rect [72 600 300 630] /P "
                           + test::ref(pages[0]) + " /F 4 /AP << /N " + test::ref(empty) + " >> >>");
    const int city = b.reserve();
    const int cityWidget = b.add("<< /Type /Annot /Subtype /Widget /Parent " + test::ref(city)
                                 + " /Rect [72 600 300 630] /P " + test::ref(pages[1]) + " /F 4 /AP << /N "
                                 + test::ref(empty) + " >> >>");
    b.set(city, "<< /FT /Tx /T (city) /V (Bob) /Kids [" + test::ref(cityWidget) + "] >>");
    const QByteArray link = "/Type /Annot /Subtype /Link /Border [0 0 0] /Rect [72 700 250 740] ";
    const int toThird = b.add("<< " + link + "/Dest (third) >>");
    const int toFourth = b.add("<< " + link + "/A << /S /GoTo /D [" + test::ref(pages[3]) + " /Fit] >> >>");
    const QByteArray fontRes = "/Resources << /Font << /F1 " + test::ref(font) + " >> >>";
    for (int i = 0; i < pageCount; ++i) {
        QByteArray annots;
        if (i == 0)
            annots += test::ref(name) + ' ' + test::ref(toThird) + ' ';
        if (i == 1)
            annots += test::ref(cityWidget) + ' ' + test::ref(toFourth) + ' ';
        for (int a = 0; a < kPerPage; ++a) {
            const int x = 20 + (a % 15) * 38, y = 40 + (a / 15) * 50;
            const QByteArray rect = QByteArray::number(x) + ' ' + QByteArray::number(y) + ' '
                                    + QByteArray::number(x + 30) + ' ' + QByteArray::number(y + 20);
            const QByteArray kind = kKinds[a % 4];
            QByteArray extra = " /C [0 0 1]";
            if (kind == "Line")
                extra += " /L [" + rect + "]";
            annots += test::ref(b.add("<< /Type /Annot /Subtype /" + kind + " /Rect [" + rect + "]" + extra
                                      + " /Contents (note " + QByteArray::number(i) + '-' + QByteArray::number(a)
                                      + ") >>"))
                      + ' ';
        }
        const int content = b.addStream("", "BT /F1 18 Tf 72 740 Td (Page " + QByteArray::number(i + 1)
                                                 + " of the crowded file) Tj ET");
        b.set(pages[i], "<< /Type /Page /Parent " + test::ref(pagesNum) + " /MediaBox [0 0 612 792] /Rotate "
                            + QByteArray::number((i % 4) * 90) + " /Contents " + test::ref(content) + ' ' + fontRes
                            + " /Annots [" + annots + "] >>");
    }
    QByteArray kids;
    for (int p : pages)
        kids += test::ref(p) + ' ';
    b.set(pagesNum, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pageCount) + " >>");
    const int outlines = b.reserve(), start = b.reserve(), third = b.reserve(), last = b.reserve();
    b.set(outlines, "<< /Type /Outlines /First " + test::ref(start) + " /Last " + test::ref(last) + " /Count 3 >>");
    b.set(start, "<< /Title (Start) /Parent " + test::ref(outlines) + " /Next " + test::ref(third) + " /Dest ["
                     + test::ref(pages[0]) + " /XYZ 0 792 0] >>");
    b.set(third, "<< /Title (Third) /Parent " + test::ref(outlines) + " /Prev " + test::ref(start) + " /Next "
                     + test::ref(last) + " /Dest (third) >>");
    b.set(last, "<< /Title (Last) /Parent " + test::ref(outlines) + " /Prev " + test::ref(third) + " /A << /S /GoTo /D ["
                    + test::ref(pages.last()) + " /Fit] >> >>");
    const int names = b.add("<< /Names [(third) [" + test::ref(pages[2]) + " /Fit]] >>");
    const int helv = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    const int xmp = b.addStream("/Type /Metadata /Subtype /XML",
                                "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
                                "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
                                "rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title><rdf:Alt>"
                                "<rdf:li xml:lang=\"x-default\">Crowded</rdf:li></rdf:Alt></dc:title>"
                                "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>");
    const int info = b.add("<< /Title (Crowded) /Author (Tester) /CreationDate (D:20200102030405Z) >>");
    b.set(catalog, "<< /Type /Catalog /Pages " + test::ref(pagesNum) + " /Outlines " + test::ref(outlines)
                       + " /Names << /Dests " + test::ref(names) + " >> /Metadata " + test::ref(xmp)
                       + " /AcroForm << /Fields [" + test::ref(name) + ' ' + test::ref(city)
                       + "] /NeedAppearances true /DA (/Helv 12 Tf 0 g) /DR << /Font << /Helv " + test::ref(helv)
                       + " >> >> >> >>");
    return b.write(catalog, "/Info " + test::ref(info));
}

const QByteArray& crowded()
{
    static const QByteArray bytes = crowdedStructure(kCrowdedPages);
    return bytes;
}

const QByteArray& checked()
{
    static const QByteArray bytes = crowdedStructure(kCheckedPages);
    return bytes;
}

// Long enough to save that a timer sees each of its phases; quick for a second engine to read.
constexpr int kMiddlingPages = 24;
const QByteArray& middling()
{
    static const QByteArray bytes = crowdedStructure(kMiddlingPages);
    return bytes;
}

// Saves on the next turn of the event loop, as a menu command would, and answers the longest time the
// main thread went without a turn meanwhile (a timer's lateness); `took` is how long the save took.
qint64 saveAnswering(VMKDocument& document, platform::MaybeError* error, qint64* took = nullptr)
{
    bool saving = true;
    QElapsedTimer clock;
    QTimer::singleShot(0, [&] {
        clock.start();
        *error = document.save();
        if (took)
            *took = clock.elapsed();
        saving = false;
    });
    return test::longestMainThreadStall([&] { return saving; }, test::scaledMs(60000));
}

struct Opened {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<VMKDocument> document = std::make_unique<VMKDocument>();
};

void open(Opened& opened, const QByteArray& bytes)
{
    opened.path = test::writeFile(opened.dir, "crowded.pdf", bytes);
    ASSERT_FALSE(opened.document->openFile(opened.path).has_value());
}

// The user turned a page and added a note.
void edit(VMKDocument& document)
{
    document.pdf()->page(5)->setRotation(90);
    auto added = pdf::Annotation::create("Text", QRectF(300, 700, 20, 20));
    added->setContents(QStringLiteral("added before saving"));
    document.pdf()->page(1)->addAnnotation(added);
    document.updateChangeCount(platform::ChangeType::Done);
}

} // namespace

TEST(SaveBytes, ThousandsOfAnnotationsWithoutAppearancesSaveWithoutHoldingTheWindow)
{
    Opened opened;
    open(opened, crowded());
    VMKDocument& document = *opened.document;
    edit(document);

    // Something on the main thread keeps looking whether the engine is being written meanwhile, as work
    // put off until then does.
    bool sawWriting = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { sawWriting = sawWriting || pdf::Document::isWritingUnderWay(); });
    watch.start(1);
    platform::MaybeError error;
    qint64 took = 0;
    const qint64 stall = saveAnswering(document, &error, &took);
    watch.stop();
    ASSERT_FALSE(error.has_value()) << error->message.toStdString();
    EXPECT_TRUE(sawWriting);
    EXPECT_FALSE(pdf::Document::isWritingUnderWay());
    // Making the appearances and the bytes on the main thread held it for the whole save. Slices of a few
    // milliseconds each now; on a machine loaded several times over its cores the longest wait between
    // two turns was 40 to 100 ms, a small part of the save.
    EXPECT_LT(stall, test::scaledMs(250));
    EXPECT_LT(stall * 4, took) << "the save took " << took << " ms";
    EXPECT_FALSE(document.isEdited());
    // The save's own check read every page back (rotation, kinds, notes); a second engine reads the smaller
    // file of the same make below (qpdf takes tens of seconds over this one).
}

TEST(SaveBytes, ASecondEngineReadsTheSavedFileAsTheOriginalWithEveryAnnotationDrawn)
{
    Opened opened;
    open(opened, checked());
    const QByteArray textBefore = test::runCommand("pdftotext", {"-layout", opened.path, "-"}).out;
    VMKDocument& document = *opened.document;
    edit(document);
    platform::MaybeError error;
    saveAnswering(document, &error);
    ASSERT_FALSE(error.has_value()) << error->message.toStdString();

    // Every page, its rotation, annotations and notes; the file's own annotations as they were, without an
    // appearance (other readers draw their own), the one added with its appearance.
    EXPECT_EQ(test::runCommand("qpdf", {"--check", opened.path}).exitCode, 0);
    const std::vector<QpdfPage> pages = qpdfPages(opened.path);
    ASSERT_EQ(int(pages.size()), kCheckedPages);
    for (int i = 0; i < kCheckedPages; ++i) {
        SCOPED_TRACE(i);
        const QpdfPage& page = pages[size_t(i)];
        const int structure = i < 2 ? 2 : 0;
        EXPECT_EQ(page.rotation, i == 5 ? 90 : (i % 4) * 90);
        EXPECT_EQ(page.kinds.size(), kPerPage + structure + (i == 1 ? 1 : 0));
        for (int k = 0; k < 4; ++k) {
            const int added = i == 1 && k == 2 ? 1 : 0;
            EXPECT_EQ(page.kinds.count(kKinds[k]), (kPerPage + 3 - k) / 4 + added) << kKinds[k];
        }
        EXPECT_EQ(page.withAppearance, (i < 2 ? 1 : 0) + (i == 1 ? 1 : 0)); // a field's widget has its own
        EXPECT_TRUE(page.notes.contains(QStringLiteral("note %1-%2").arg(i).arg(kPerPage - 1)));
    }
    EXPECT_TRUE(pages[1].notes.contains("added before saving"));

    // The page text reads as it did, spaces and all; form, links, outline, names and information stay.
    EXPECT_EQ(test::runCommand("pdftotext", {"-layout", opened.path, "-"}).out, textBefore);
    const coretest::StructureReport structure = coretest::readStructure(opened.path);
    EXPECT_TRUE(structure.checked);
    EXPECT_EQ(structure.fieldValues, (QMap<QString, QString>{{"name", "Alice"}, {"city", "Bob"}}));
    EXPECT_EQ(structure.links, (QList<QPair<int, int>>{{1, 3}, {2, 4}}));
    EXPECT_EQ(structure.outline, (QList<QPair<QString, int>>{{"Start", 1}, {"Third", 3}, {"Last", kCheckedPages}}));
    EXPECT_EQ(structure.namedDestinations.value("third"), 3);
    EXPECT_EQ(structure.title, "Crowded");
    const QByteArray meta = test::runCommand("pdfinfo", {"-meta", opened.path}).out;
    EXPECT_TRUE(meta.contains("<rdf:li xml:lang=\"x-default\">Crowded</rdf:li>"));
}

namespace {

// Runs `then` once on the first turn of the event loop that finds the engine writing a document.
struct WhenWriting {
    QTimer watch;
    bool seen = false;
    explicit WhenWriting(std::function<void()> then)
    {
        QObject::connect(&watch, &QTimer::timeout, [this, then = std::move(then)] {
            if (!pdf::Document::isWritingUnderWay())
                return;
            watch.stop();
            seen = true;
            then();
        });
        watch.start(1);
    }
};

bool hasNote(const QpdfPage& page, const QString& note)
{
    return page.notes.contains(note);
}

} // namespace

// A change that lands while the engine writes (a queued step, a timer) waits for the writing, is not in
// the copy, and is neither lost nor taken for saved: the next save writes it.
TEST(SaveBytes, AnEditLandingWhileTheEngineWritesIsKeptAndTheNextSaveWritesIt)
{
    Opened opened;
    open(opened, middling());
    VMKDocument& document = *opened.document;
    edit(document);
    WhenWriting during([&] {
        auto note = pdf::Annotation::create("Text", QRectF(200, 500, 20, 20));
        note->setContents(QStringLiteral("added while writing"));
        document.pdf()->page(3)->addAnnotation(note);
        document.pdf()->page(4)->setRotation(180);
        document.updateChangeCount(platform::ChangeType::Done);
    });
    platform::MaybeError error;
    saveAnswering(document, &error);
    ASSERT_TRUE(during.seen);
    ASSERT_FALSE(error.has_value()) << error->message.toStdString();
    EXPECT_TRUE(document.isEdited());
    const QString added = QStringLiteral("added while writing");
    bool inMemory = false;
    for (const pdf::AnnotationPtr& a : document.pdf()->page(3)->annotations())
        inMemory = inMemory || a->contents() == added;
    EXPECT_TRUE(inMemory);
    EXPECT_EQ(document.pdf()->page(4)->rotation(), 180);

    std::vector<QpdfPage> pages = qpdfPages(opened.path);
    ASSERT_EQ(int(pages.size()), kMiddlingPages);
    EXPECT_TRUE(hasNote(pages[1], "added before saving"));
    EXPECT_FALSE(hasNote(pages[3], added));
    EXPECT_EQ(pages[4].rotation, 0);

    saveAnswering(document, &error);
    ASSERT_FALSE(error.has_value()) << error->message.toStdString();
    EXPECT_FALSE(document.isEdited());
    EXPECT_EQ(test::runCommand("qpdf", {"--check", opened.path}).exitCode, 0);
    pages = qpdfPages(opened.path);
    ASSERT_EQ(int(pages.size()), kMiddlingPages);
    EXPECT_TRUE(hasNote(pages[3], added));
    EXPECT_EQ(pages[3].kinds.size(), kPerPage + 1);
    EXPECT_EQ(pages[4].rotation, 180);
    EXPECT_EQ(pages[5].rotation, 90);
}

namespace {

// A window of the document as the application shows one: closing it closes the document.
struct DocumentWindow : QWidget {
    VMKDocument* document = nullptr;
    std::optional<platform::MaybeError> closed;
    void closeEvent(QCloseEvent* event) override
    {
        closed = document->close();
        event->accept();
    }
};

} // namespace

// Closing the window while the save makes its appearances or while the engine writes: the save ends
// whole, then the window and the document close.
TEST(SaveBytes, ClosingTheWindowWhileSavingFinishesTheSaveThenCloses)
{
    for (const bool whileWriting : {false, true}) {
        SCOPED_TRACE(whileWriting ? "while writing" : "while making appearances");
        Opened opened;
        open(opened, middling());
        VMKDocument& document = *opened.document;
        edit(document);
        DocumentWindow window;
        window.document = &document;
        window.resize(200, 100);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        bool asked = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (whileWriting != pdf::Document::isWritingUnderWay())
                return;
            watch.stop();
            asked = true;
            window.windowHandle()->close(); // as the title bar's button would
        });
        QTimer::singleShot(1, [&] { watch.start(1); });
        platform::MaybeError error;
        saveAnswering(document, &error);
        ASSERT_TRUE(asked);
        ASSERT_FALSE(error.has_value()) << error->message.toStdString();
        EXPECT_TRUE(test::eventually([&] { return window.closed.has_value(); }, test::scaledMs(5000)));
        ASSERT_TRUE(window.closed.has_value());
        EXPECT_FALSE(window.closed->has_value());
        EXPECT_TRUE(document.isClosed());
        EXPECT_EQ(test::runCommand("qpdf", {"--check", opened.path}).exitCode, 0);
        const std::vector<QpdfPage> pages = qpdfPages(opened.path);
        ASSERT_EQ(int(pages.size()), kMiddlingPages);
        EXPECT_TRUE(hasNote(pages[1], "added before saving"));
        EXPECT_EQ(pages[5].rotation, 90);
    }
}

namespace {

constexpr char kQuitWhileSaving[] = "VMK_QUIT_WHILE_SAVING";

} // namespace

// Run by the test below in a child process: opens the file it is given, edits it, saves, and ends the
// application while the save makes appearances ("slices") or while the engine writes ("writing").
TEST(SaveBytes, QuittingChild)
{
    const QStringList asked = qEnvironmentVariable(kQuitWhileSaving).split(QLatin1Char('|'));
    if (asked.size() != 2)
        GTEST_SKIP() << "runs only as a child of QuittingWhileSavingLeavesTheFileAsItWasOrSavedWhole";
    VMKDocument document;
    ASSERT_FALSE(document.openFile(asked[0]).has_value());
    edit(document);
    const bool whileWriting = asked[1] == QLatin1String("writing");
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (whileWriting && !pdf::Document::isWritingUnderWay())
            return;
        watch.stop();
        QCoreApplication::exit(0); // every event loop ends, the save's own included
    });
    QTimer::singleShot(1, [&] { watch.start(1); });
    platform::MaybeError error;
    saveAnswering(document, &error);
    std::printf("%s\n", error ? qPrintable(error->message) : "saved");
}

TEST(SaveBytes, QuittingWhileSavingLeavesTheFileAsItWasOrSavedWhole)
{
    for (const char* phase : {"slices", "writing"}) {
        SCOPED_TRACE(phase);
        QTemporaryDir dir;
        const QString path = test::writeFile(dir, "quit.pdf", middling());
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kQuitWhileSaving, path + '|' + phase);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=SaveBytes.QuittingChild"});
        ASSERT_TRUE(child.waitForFinished(test::scaledMs(20000))) << "the application did not end";
        const QByteArray out = child.readAllStandardOutput();
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0) << out.right(2000).constData();
        qInfo("%s: %s", phase, out.contains("\nsaved\n") ? "saved" : "left as it was");
        if (test::readFile(path) == middling())
            continue;
        // Not left as it was: then saved whole, edits and all.
        EXPECT_TRUE(out.contains("\nsaved\n")) << out.right(2000).constData();
        EXPECT_EQ(test::runCommand("qpdf", {"--check", path}).exitCode, 0);
        const std::vector<QpdfPage> pages = qpdfPages(path);
        ASSERT_EQ(int(pages.size()), kMiddlingPages);
        EXPECT_TRUE(hasNote(pages[1], "added before saving"));
        EXPECT_EQ(pages[5].rotation, 90);
        EXPECT_EQ(pages[1].withAppearance, 2); // the field's widget and the note added; the rest as they were
    }
}
