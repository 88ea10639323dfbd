// Make Searchable on pages that take long to interpret: their text is checked and read on workers, also
// for pages changed in memory, while the window keeps answering; the saved file is judged by a second
// engine.

#include "LongTaskTestSupport.h"
#include "StructuredPdf.h"

#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/SlowContent.h"
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

// A picture of the word filling a 300 x 150 page, as an 8-bit grey image compressed with Flate.
QByteArray wordPicture(const QString& word, int* width, int* height)
{
    QImage picture(1200, 600, QImage::Format_Grayscale8);
    picture.fill(Qt::white);
    QPainter ink(&picture);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(300);
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

int savedRotation(const SavedFile& file, int page)
{
    const QJsonObject objects = file.json.value(QStringLiteral("qpdf")).toArray().at(1).toObject();
    return objects.value(QStringLiteral("obj:") + file.pages().value(page)).toObject()
        .value(QStringLiteral("value")).toObject().value(QStringLiteral("/Rotate")).toInt();
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
    EXPECT_LT(stall, std::max<qint64>(cost / 3, 20)) << "reading the page costs " << cost << " ms";

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
    EXPECT_LT(again, std::max<qint64>(cost / 3, 20)) << "reading the page costs " << cost << " ms";
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Make Searchable"));
}
