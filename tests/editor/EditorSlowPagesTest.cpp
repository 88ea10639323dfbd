// Make Searchable on pages that take long to interpret: their text is checked and read on workers, also
// for pages changed in memory, while the window keeps answering; the saved file is judged by a second
// engine.

#include "LongTaskTestSupport.h"
#include "StructuredPdf.h"

#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"
#include "support/TestFiles.h"
#include "support/Wait.h"

#include <QElapsedTimer>
#include <QFont>
#include <QJsonArray>
#include <QPainter>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

// Squares per form and how often each form is drawn by the next: 2000 x 20 x 20 paths per page.
constexpr int kSquares = 2000;
constexpr int kFanout = 20;

// A picture of the words (`size` pixels, letters `pixels` high), as an 8-bit grey image compressed with Flate.
QByteArray wordPicture(const QString& word, int* width, int* height, QSize size = QSize(1200, 600), int pixels = 300)
{
    QImage picture(size, QImage::Format_Grayscale8);
    picture.fill(Qt::white);
    QPainter ink(&picture);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    ink.setFont(font);
    ink.setPen(Qt::black);
    ink.drawText(picture.rect(), Qt::AlignCenter, word);
    ink.end();
    QByteArray raw;
    for (int y = 0; y < picture.height(); ++y)
        raw.append(reinterpret_cast<const char*>(picture.constScanLine(y)), picture.width());
    *width = picture.width();
    *height = picture.height();
    return qCompress(raw).mid(4); // qCompress puts the length in front of the zlib stream
}

// Made once per test binary. Page 1 is a scan (a picture of HELLO, no text) over eight hundred thousand white
// squares; page 2 has a line of text among as many visible squares. Both are slow to interpret and small.
const QByteArray& slowScanData()
{
    static const QByteArray data = [] {
        int w = 0, h = 0;
        const QByteArray picture = wordPicture(QStringLiteral("HELLO"), &w, &h);
        PdfBuilder pdf;
        const int catalog = pdf.add("<< /Type /Catalog /Pages 2 0 R >>");
        const int pages = pdf.reserve();
        const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        const int image = pdf.addStream("/Type /XObject /Subtype /Image /Width " + QByteArray::number(w) + " /Height "
                                            + QByteArray::number(h)
                                            + " /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /FlateDecode",
                                        picture);
        const int white = addSlowForm(pdf, kSquares, kFanout, "1 1 1");
        const int blue = addSlowForm(pdf, kSquares, kFanout, "0.2 0.2 0.7");
        const QByteArray resources = "/Resources << /Font << /F1 " + ref(font) + " >> /XObject << /Im1 " + ref(image)
            + " /White " + ref(white) + " /Blue " + ref(blue) + " >> >>";
        const int scanContent = pdf.addStream({}, "/White Do q 300 0 0 150 0 0 cm /Im1 Do Q\n");
        const int scan = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 150] " + resources
                                 + " /Contents " + ref(scanContent) + " >>");
        const int textContent = pdf.addStream({}, "/Blue Do BT /F1 14 Tf 20 120 Td (Slow words here) Tj ET\n");
        const int text = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 150] " + resources
                                 + " /Contents " + ref(textContent) + " >>");
        pdf.set(pages, "<< /Type /Pages /Kids [" + ref(scan) + ' ' + ref(text) + "] /Count 2 >>");
        return pdf.write(catalog);
    }();
    return data;
}

// Made once per test binary. Page 1 is a scan of three words whose content stream holds some 8 MB of
// operators that draw nothing, stored without compression; it carries a note and the outline's entry.
// Its picture is drawn turned a quarter left, so that the page reads upright once it is turned a
// quarter right (in memory, by the test). Page 2 has a line of text.
const QByteArray& heavyScanData()
{
    static const QByteArray data = [] {
        int w = 0, h = 0;
        const QByteArray picture = wordPicture(QStringLiteral("QUICK BROWN FOX"), &w, &h, QSize(4000, 320), 256);
        PdfBuilder pdf;
        const int catalog = pdf.reserve();
        const int pages = pdf.reserve();
        const int outline = pdf.reserve();
        const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        const int image = pdf.addStream("/Type /XObject /Subtype /Image /Width " + QByteArray::number(w) + " /Height "
                                            + QByteArray::number(h)
                                            + " /ColorSpace /DeviceGray /BitsPerComponent 8 /Filter /FlateDecode",
                                        picture);
        QByteArray heavy = "q 0 1000 -80 0 80 0 cm /Im1 Do Q\n";
        const QByteArray idle = "q 1 0 0 1 0 0 cm Q\n";
        heavy.reserve(8 << 20);
        while (heavy.size() < (8 << 20))
            heavy += idle;
        const int scanContent = pdf.addStream({}, heavy);
        const int note = pdf.add("<< /Type /Annot /Subtype /Text /Rect [20 900 40 920] /Contents (Kept note) >>");
        const int scan = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 80 1000] /Resources << /XObject << /Im1 "
                                 + ref(image) + " >> >> /Contents " + ref(scanContent) + " /Annots [" + ref(note)
                                 + "] >>");
        const int textContent = pdf.addStream({}, "BT /F1 14 Tf 20 40 Td (Small page words) Tj ET\n");
        const int text = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 100] /Resources << /Font << /F1 "
                                 + ref(font) + " >> >> /Contents " + ref(textContent) + " >>");
        const int entry = pdf.add("<< /Title (Heavy scan) /Parent " + ref(outline) + " /Dest [" + ref(scan)
                                  + " /Fit] >>");
        pdf.set(outline, "<< /Type /Outlines /First " + ref(entry) + " /Last " + ref(entry) + " /Count 1 >>");
        pdf.set(pages, "<< /Type /Pages /Kids [" + ref(scan) + ' ' + ref(text) + "] /Count 2 >>");
        pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " /Outlines " + ref(outline) + " >>");
        return pdf.write(catalog);
    }();
    return data;
}

// What rebuilding the heavy page over its own content costs on this thread now, in milliseconds: about
// what moving its bytes around costs.
qint64 heavyPageRebuildMs()
{
    const pdf::DocumentPtr doc = openPdf(heavyScanData());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(core::PDFOps::rebuildPage(*doc->page(0), core::PDFOps::PageBase::vector(), {}));
    return timer.elapsed();
}

// What reading the text of the slow page with text costs on this thread now, in milliseconds.
qint64 slowPageTextMs()
{
    const pdf::DocumentPtr doc = openPdf(slowScanData());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(doc->page(1)->text().contains(QLatin1String("Slow words")));
    return timer.elapsed();
}

QString toastText(const Editor& editor) { return editor.toast() ? editor.toast()->text : QString(); }

QJsonObject savedPage(const SavedFile& file, int page)
{
    const QJsonObject objects = file.json.value(QStringLiteral("qpdf")).toArray().at(1).toObject();
    return objects.value(QStringLiteral("obj:") + file.pages().value(page)).toObject()
        .value(QStringLiteral("value")).toObject();
}

int savedRotation(const SavedFile& file, int page) { return savedPage(file, page).value(QStringLiteral("/Rotate")).toInt(); }

// The box the saved page shows (its crop box, or its media box without one), as x, y, width, height.
QRectF savedVisibleBox(const SavedFile& file, int page)
{
    const QJsonObject dict = savedPage(file, page);
    QJsonArray box = dict.value(QStringLiteral("/CropBox")).toArray();
    if (box.isEmpty())
        box = dict.value(QStringLiteral("/MediaBox")).toArray();
    return QRectF(QPointF(box.at(0).toDouble(), box.at(1).toDouble()), QPointF(box.at(2).toDouble(), box.at(3).toDouble()));
}

} // namespace

TEST(EditorSlowPages, MakeSearchableChecksAndReadsSlowPagesOnWorkersWhileTheWindowAnswers)
{
    if (!commandExists(QStringLiteral("qpdf")) || !commandExists(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "qpdf and pdftotext are needed";
    const qint64 cost = slowPageTextMs();
    EditorFixture f(openPdf(slowScanData()));
    // The page with text is changed in memory and not saved: its text cannot come from the file's bytes.
    f.page(1)->setRotation(90);
    const pdf::PagePtr scan = f.page(0);

    QStringList titles;
    QObject::connect(f.editor.get(), &Editor::progressChanged, [&] {
        if (f.editor->progress())
            titles << f.editor->progress()->title;
    });
    f.editor->makeSearchable();
    const qint64 stall = longestMainThreadStall([&] { return !f.editor->toast().has_value(); }, 60000);
    ASSERT_EQ(toastText(*f.editor), QStringLiteral("Text recognized. 1 page is now searchable."));
    EXPECT_FALSE(f.editor->progress().has_value());
    EXPECT_EQ(titles.value(0), QStringLiteral("Reading page 1 of 1\u2026"));
    // The window never waited for a page: not even a third of what reading the slow page costs here.
    EXPECT_LT(stall, std::max<qint64>(cost / 3, vmk::test::scaledMs(20)))
        << "reading the page costs " << cost << " ms";

    EXPECT_EQ(f.page(0), scan);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Make Searchable"));

    // The saved file, read by a second engine: the scan now has words, the changed page kept its own
    // words with their spaces and its turn.
    const QString path = f.dir.filePath(QStringLiteral("searchable.pdf"));
    ASSERT_FALSE(f.document->saveToPath(path, platform::SaveOperation::SaveTo).has_value());
    const SavedFile saved = inspectSavedFile(path);
    EXPECT_TRUE(saved.checkClean) << saved.checkOutput.toStdString();
    ASSERT_EQ(saved.pages().size(), 2);
    EXPECT_TRUE(popplerPageText(path, 1).contains(QLatin1String("HELLO"), Qt::CaseInsensitive))
        << popplerPageText(path, 1).toStdString();
    EXPECT_TRUE(popplerPageText(path, 2).contains(QLatin1String("Slow words here"))) << popplerPageText(path, 2).toStdString();
    EXPECT_EQ(savedRotation(saved, 1), 90);
    EXPECT_EQ(savedRotation(saved, 0), 0);

    // Asked again: the rebuilt scan is a changed page now, still slow; it is read from a copy on a worker
    // and found to have text.
    f.endGroup();
    EXPECT_FALSE(f.page(0)->hasLoadedText());
    const QString searchable = QStringLiteral("Already searchable. Every page has text.");
    f.editor->makeSearchable();
    const qint64 again = longestMainThreadStall([&] { return toastText(*f.editor) != searchable; }, 60000);
    EXPECT_EQ(toastText(*f.editor), searchable);
    EXPECT_LT(again, std::max<qint64>(cost / 3, vmk::test::scaledMs(20)))
        << "reading the page costs " << cost << " ms";
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Make Searchable"));
}

TEST(EditorSlowPages, MakeSearchableNeverMovesAHeavyPagesBytesOnTheWindowsThread)
{
    if (!commandExists(QStringLiteral("qpdf")) || !commandExists(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "qpdf and pdftotext are needed";
    const qint64 cost = heavyPageRebuildMs();
    EditorFixture f(openPdf(heavyScanData()));
    // Turned and cropped in memory and not saved: the page is copied from what the editor holds.
    f.page(0)->setRotation(90);
    f.page(0)->setCropBox(QRectF(4, 10, 72, 980));
    const pdf::PagePtr heavy = f.page(0);

    f.editor->makeSearchable();
    const qint64 stall = longestMainThreadStall([&] { return !f.editor->toast().has_value(); }, 60000);
    ASSERT_EQ(toastText(*f.editor), QStringLiteral("Text recognized. 1 page is now searchable."));
    // The window never waited for the page's bytes: not even a third of what rebuilding the page costs here.
    EXPECT_LT(stall, std::max<qint64>(cost / 3, vmk::test::scaledMs(20)))
        << "rebuilding the page costs " << cost << " ms";
    EXPECT_EQ(f.page(0), heavy);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Make Searchable"));

    const QString path = f.dir.filePath(QStringLiteral("heavy.pdf"));
    ASSERT_FALSE(f.document->saveToPath(path, platform::SaveOperation::SaveTo).has_value());
    const SavedFile saved = inspectSavedFile(path);
    EXPECT_TRUE(saved.checkClean) << saved.checkOutput.toStdString();
    ASSERT_EQ(saved.pages().size(), 2);
    EXPECT_TRUE(popplerPageText(path, 1).simplified().contains(QLatin1String("QUICK BROWN FOX")))
        << popplerPageText(path, 1).toStdString();
    EXPECT_TRUE(popplerPageText(path, 2).contains(QLatin1String("Small page words")));
    // Turned and cropped as it was in memory, with its note and the outline's entry still on it.
    EXPECT_EQ(savedRotation(saved, 0), 90);
    EXPECT_EQ(savedVisibleBox(saved, 0), QRectF(4, 10, 72, 980));
    EXPECT_EQ(savedPage(saved, 0).value(QStringLiteral("/Annots")).toArray().size(), 1);
    EXPECT_TRUE(saved.contains(QStringLiteral("Kept note")));
    EXPECT_TRUE(saved.targets().contains(QStringLiteral("outline / -> 0"))) << saved.targets().join(u'\n').toStdString();
    EXPECT_EQ(saved.pageObjectCount(), 2);

    // Asked again, the rebuilt page is read from a copy on a worker and has text; undoing and redoing
    // exchange the drawings without moving the content's bytes either.
    f.endGroup();
    const QString searchable = QStringLiteral("Already searchable. Every page has text.");
    f.editor->makeSearchable();
    const qint64 again = longestMainThreadStall([&] { return toastText(*f.editor) != searchable; }, 60000);
    EXPECT_EQ(toastText(*f.editor), searchable);
    EXPECT_LT(again, std::max<qint64>(cost / 3, vmk::test::scaledMs(20)))
        << "rebuilding the page costs " << cost << " ms";
    ThreadTimer timer;
    timer.start();
    f.undo().undo();
    f.undo().redo();
    EXPECT_LT(timer.elapsed(), std::max<qint64>(cost / 3, vmk::test::scaledMs(20)))
        << "rebuilding the page costs " << cost << " ms";
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Make Searchable"));
    EXPECT_TRUE(f.page(0)->text().contains(QLatin1String("QUICK"), Qt::CaseInsensitive));
}
