// Apply Redactions on workers: a page slow to interpret is drawn, read and rebuilt away from the window's
// thread, which keeps answering; a page that changes meanwhile keeps its marks. The saved file is judged by
// qpdf and poppler.

#include "LongTaskTestSupport.h"
#include "StructuredPdf.h"

#include "core/PageRebuild.h"
#include "core/SystemAnnotations.h"
#include "platform/pdf/pages/PageRebuild.h"
#include "platform/pdf/scrub/RedactionScrub.h"
#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"
#include "support/TestFiles.h"
#include "support/Wait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

constexpr double kSize = 16;
// Page 1 of the slow document: 400 by 300 points.
constexpr int kPageWidth = 400;
constexpr int kPageHeight = 300;
// The picture on page 1 (page space), 61 by 29 samples: its right part lies under a mark.
const QRectF kPhoto(250, 40, 120, 60);
const QRectF kPhotoMark(310, 30, 70, 80);

// Where a run of Helvetica text lies (page space) when `before` precedes it on a line starting at `origin`.
QRectF runBounds(const QPointF& origin, const QString& before, const QString& run, double size)
{
    const double x = origin.x() + pdf::helveticaWidth(before) * size / 1000.0;
    return QRectF(x, origin.y() - 0.25 * size, pdf::helveticaWidth(run) * size / 1000.0, 1.05 * size);
}

const QPointF kSecretLine(30, 200);
const QString kSecretBefore = QStringLiteral("Secret ");
const QString kSecretRun = QStringLiteral("Zanzibar Quorvex");

// A colourful picture whose samples all differ, in smooth gradients as a photograph's would.
QByteArray photoSamples(int w, int h)
{
    QByteArray raw;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (const int sample : {40 + x * 3, 200 - y * 5, 90 + (x + y) * 2})
                raw += char(sample);
    return qCompress(raw).mid(4); // the zlib stream without qCompress's length
}

// Liberation Sans embedded as TrueType (Helvetica's metrics): both engines draw the very same glyphs, so
// that pixels can be compared. Answers the font's object number.
int addSansFont(PdfBuilder& pdf)
{
    QFile file(QStringLiteral("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"));
    if (!file.open(QIODevice::ReadOnly))
        file.setFileName(QStringLiteral("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"));
    if (!file.isOpen() && !file.open(QIODevice::ReadOnly))
        return pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    const QByteArray face = file.readAll();
    const int program = pdf.addStream("/Filter /FlateDecode /Length1 " + QByteArray::number(face.size()),
                                      qCompress(face).mid(4));
    const int descriptor = pdf.add("<< /Type /FontDescriptor /FontName /LiberationSans /Flags 32 /FontBBox [-200 -300 "
                                   "1200 1000] /ItalicAngle 0 /Ascent 905 /Descent -212 /CapHeight 716 /StemV 80 "
                                   "/FontFile2 " + ref(program) + " >>");
    QByteArray widths;
    for (int code = 32; code <= 126; ++code)
        widths += QByteArray::number(qRound(pdf::helveticaWidth(QString(QChar(code))))) + ' ';
    return pdf.add("<< /Type /Font /Subtype /TrueType /BaseFont /LiberationSans /FirstChar 32 /LastChar 126 /Widths ["
                   + widths + "] /Encoding /WinAnsiEncoding /FontDescriptor " + ref(descriptor) + " >>");
}

// Made once per test binary. Page 1 draws eight hundred thousand white squares (slow to interpret, and
// invisible) under two lines of text, a picture, a link to page 2 and a filled text field; page 2 has a
// line of text and a link back. An outline leads to both pages; the document opens on page 1.
const QByteArray& slowMarkedData()
{
    static const QByteArray data = [] {
        PdfBuilder pdf;
        const int catalog = pdf.reserve();
        const int pages = pdf.reserve();
        const int page1 = pdf.reserve();
        const int page2 = pdf.reserve();
        const int outline = pdf.reserve();
        const int font = addSansFont(pdf);
        const int photo = pdf.addStream("/Type /XObject /Subtype /Image /Width 61 /Height 29 /ColorSpace /DeviceRGB "
                                        "/BitsPerComponent 8 /Filter /FlateDecode",
                                        photoSamples(61, 29));
        const int slow = addSlowForm(pdf, 2000, 20, "1 1 1");
        const QByteArray content = "/Slow Do\nq 120 0 0 60 250 40 cm /Im1 Do Q\n"
                                   "BT /F1 16 Tf 30 250 Td (Plain words stay readable) Tj ET\n"
                                   "BT /F1 16 Tf 30 200 Td (Secret Zanzibar Quorvex here) Tj ET\n";
        const int contents1 = pdf.addStream({}, content);
        const int link1 = pdf.add("<< /Type /Annot /Subtype /Link /Rect [30 140 200 160] /Border [0 0 0] /Dest ["
                                  + ref(page2) + " /Fit] >>");
        const int ap = pdf.addStream("/Type /XObject /Subtype /Form /BBox [0 0 170 24] /Resources << /Font << /Helv "
                                         + ref(font) + " >> >>",
                                     "/Tx BMC q BT /Helv 12 Tf 0 g 2 7 Td (Lisbon) Tj ET Q EMC");
        const int field = pdf.add("<< /Type /Annot /Subtype /Widget /FT /Tx /T (city) /V (Lisbon) /Rect [30 20 200 44] "
                                  "/P " + ref(page1) + " /F 4 /DA (/Helv 12 Tf 0 g) /AP << /N " + ref(ap) + " >> >>");
        pdf.set(page1, "<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 400 300] /Resources << /Font << /F1 "
                           + ref(font) + " >> /XObject << /Im1 " + ref(photo) + " /Slow " + ref(slow) + " >> >> /Contents "
                           + ref(contents1) + " /Annots [" + ref(link1) + ' ' + ref(field) + "] >>");
        const int contents2 = pdf.addStream({}, "BT /F1 16 Tf 30 100 Td (Second page words) Tj ET\n");
        const int link2 = pdf.add("<< /Type /Annot /Subtype /Link /Rect [30 20 200 40] /Border [0 0 0] /Dest ["
                                  + ref(page1) + " /XYZ 0 300 0] >>");
        pdf.set(page2, "<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 150] /Resources << /Font << /F1 "
                           + ref(font) + " >> >> /Contents " + ref(contents2) + " /Annots [" + ref(link2) + "] >>");
        const int first = pdf.reserve();
        const int second = pdf.reserve();
        pdf.set(first, "<< /Title (First) /Parent " + ref(outline) + " /Next " + ref(second) + " /Dest [" + ref(page1)
                           + " /Fit] >>");
        pdf.set(second, "<< /Title (Second) /Parent " + ref(outline) + " /Prev " + ref(first) + " /Dest [" + ref(page2)
                            + " /Fit] >>");
        pdf.set(outline, "<< /Type /Outlines /First " + ref(first) + " /Last " + ref(second) + " /Count 2 >>");
        pdf.set(pages, "<< /Type /Pages /Kids [" + ref(page1) + ' ' + ref(page2) + "] /Count 2 >>");
        const int form = pdf.add("<< /Fields [" + ref(field) + "] /DA (/Helv 0 Tf 0 g) /DR << /Font << /Helv "
                                 + ref(font) + " >> >> >>");
        pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " /Outlines " + ref(outline) + " /OpenAction ["
                             + ref(page1) + " /Fit] /AcroForm " + ref(form) + " >>");
        return pdf.write(catalog);
    }();
    return data;
}

// What recording the slow page for drawing costs on this thread now, in milliseconds.
qint64 slowPageRecordMs()
{
    const pdf::DocumentPtr doc = openPdf(slowMarkedData());
    QElapsedTimer timer;
    timer.start();
    // Recorded here, as the document's thread would if the work were not sent away.
    EXPECT_TRUE(doc->page(0)->snapshot(false));
    return timer.elapsed();
}

QImage popplerImage(const QString& path, const QString& base)
{
    const CommandResult r = runCommand(QStringLiteral("pdftoppm"),
                                       {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"), QStringLiteral("1"),
                                        QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png"),
                                        QStringLiteral("-singlefile"), path, base});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// Page space to the pixels of a 72 dpi image of an upright page `height` points high.
QRect pixelsOf(const QRectF& r, int height)
{
    return QRectF(r.left(), height - r.bottom(), r.width(), r.height()).toAlignedRect();
}

int grey(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)); }

// Ink (dark pixels) of one rendering with no ink within a pixel of it in the other, both ways, outside the
// regions (pixels, grown by 2): content lost, added or moved. Two engines place the same edge up to a
// device pixel apart, and a picture of the page blurs it, so ink is judged with a little slack.
int inkMoved(const QImage& a, const QImage& b, const QList<QRect>& regions)
{
    auto excluded = [&](int x, int y) {
        return std::any_of(regions.begin(), regions.end(),
                           [&](const QRect& r) { return r.adjusted(-2, -2, 2, 2).contains(x, y); });
    };
    auto lost = [&](const QImage& from, const QImage& to) {
        int count = 0;
        for (int y = 0; y < from.height(); ++y)
            for (int x = 0; x < from.width(); ++x) {
                if (grey(from, x, y) >= 128 || excluded(x, y))
                    continue;
                bool found = false;
                for (int dy = -1; dy <= 1 && !found; ++dy)
                    for (int dx = -1; dx <= 1 && !found; ++dx)
                        found = to.valid(x + dx, y + dy) && grey(to, x + dx, y + dy) < 160;
                count += found ? 0 : 1;
            }
        return count;
    };
    return lost(a, b) + lost(b, a);
}

// The largest difference of one colour channel between the 4 by 4 pixel averages of two renderings in the
// region: a picture kept, not redrawn in other colours or moved.
int largestBlockDifference(const QImage& a, const QImage& b, const QRect& region)
{
    constexpr int kBlock = 4;
    int largest = 0;
    for (int by = region.top(); by + kBlock <= region.bottom() + 1; by += kBlock)
        for (int bx = region.left(); bx + kBlock <= region.right() + 1; bx += kBlock) {
            int sum[2][3] = {};
            for (int y = by; y < by + kBlock; ++y)
                for (int x = bx; x < bx + kBlock; ++x)
                    for (int i = 0; i < 2; ++i) {
                        const QRgb c = (i ? b : a).pixel(x, y);
                        sum[i][0] += qRed(c);
                        sum[i][1] += qGreen(c);
                        sum[i][2] += qBlue(c);
                    }
            for (int k = 0; k < 3; ++k)
                largest = std::max(largest, std::abs(sum[0][k] - sum[1][k]) / (kBlock * kBlock));
        }
    return largest;
}

// The lightest channel value in the region (pixels), shrunk by a margin that JPEG's ringing may blur.
int lightestInside(const QImage& image, const QRect& region)
{
    int lightest = 0;
    const QRect inside = region.adjusted(3, 3, -3, -3);
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            lightest = std::max({lightest, qRed(c), qGreen(c), qBlue(c)});
        }
    return lightest;
}

struct RedactEditor : EditorFixture {
    std::shared_ptr<HeldRunner> runner;

    explicit RedactEditor(const QByteArray& bytes, bool held) : EditorFixture(openPdf(bytes))
    {
        if (held) {
            runner = std::make_shared<HeldRunner>();
            editor->setDetachedRunner(runner);
        }
    }

    pdf::AnnotationPtr mark(int page, const QRectF& bounds)
    {
        pdf::AnnotationPtr annotation = core::RedactionMarkAnnotation::create(bounds);
        this->page(page)->addAnnotation(annotation);
        editor->annotationsChanged(this->page(page));
        return annotation;
    }

    QString save(const QString& name)
    {
        const QString path = dir.filePath(name);
        EXPECT_FALSE(document->saveToPath(path, platform::SaveOperation::SaveTo).has_value()) << name.toStdString();
        return path;
    }
};

QString toastText(const Editor& editor) { return editor.toast() ? editor.toast()->text : QString(); }

} // namespace

TEST(EditorRedactionWork, ASlowPageIsRedactedOnAWorkerWhileTheWindowAnswers)
{
    for (const char* tool : {"qpdf", "pdftotext", "pdftoppm"})
        if (!commandExists(QString::fromLatin1(tool)))
            GTEST_SKIP() << tool << " is needed";
    const qint64 cost = slowPageRecordMs();
    RedactEditor f(slowMarkedData(), false);
    const QString original = f.save(QStringLiteral("original.pdf"));
    const SavedFile before = inspectSavedFile(original);
    ASSERT_TRUE(before.contains(QStringLiteral("Zanzibar")));
    const QStringList targets = before.targets();
    ASSERT_EQ(targets.size(), 5) << targets.join(u'\n').toStdString();
    ASSERT_EQ(before.fields(), QStringList({QStringLiteral("city=Lisbon on 0")}));

    const QRectF secret = runBounds(kSecretLine, kSecretBefore, kSecretRun, kSize);
    f.mark(0, secret);
    f.mark(0, kPhotoMark);
    const pdf::PagePtr page = f.page(0);

    // Started from the event loop, as the alert's button would: the start is measured too.
    QTimer::singleShot(0, f.editor.get(), [&] { f.editor->applyRedactions(); });
    const qint64 stall = longestMainThreadStall([&] { return !f.editor->toast().has_value(); }, 60000);
    ASSERT_EQ(toastText(*f.editor), QStringLiteral("Redacted. Gone for good once you save."));
    // The window never waited for the page: not even a third of what drawing it costs here.
    EXPECT_LT(stall, std::max<qint64>(cost / 3, vmk::test::scaledMs(20)))
        << "recording the page costs " << cost << " ms";
    EXPECT_EQ(f.page(0), page);
    EXPECT_TRUE(f.editor->redactionMarks().isEmpty());
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Apply Redactions"));

    const QString path = f.save(QStringLiteral("redacted.pdf"));
    const SavedFile after = inspectSavedFile(path);
    EXPECT_TRUE(after.checkClean) << after.checkOutput.toStdString();
    ASSERT_EQ(after.pages().size(), 2);
    EXPECT_EQ(after.pageObjectCount(), 2);
    // Gone from the drawing, the text and every other place of the file, the picture's samples included.
    for (const QString& word : {QStringLiteral("Zanzibar"), QStringLiteral("Quorvex")}) {
        EXPECT_FALSE(after.contains(word)) << word.toStdString();
        EXPECT_FALSE(popplerPageText(path, 1).contains(word, Qt::CaseInsensitive)) << word.toStdString();
    }
    EXPECT_FALSE(QString::fromLatin1(after.qdf).contains(QRegularExpression(QStringLiteral("/Width 61\\b"))));
    // The rest of the page is text again, words apart; page 2 is untouched.
    const QString text = popplerPageText(path, 1).simplified();
    EXPECT_TRUE(text.contains(QLatin1String("Plain words stay readable"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("Secret"))) << text.toStdString();
    EXPECT_TRUE(popplerPageText(path, 2).simplified().contains(QLatin1String("Second page words")));
    // The outline, the links, the open action and the field elsewhere lead and hold as they did.
    EXPECT_EQ(after.targets(), targets);
    EXPECT_EQ(after.fields(), before.fields());

    // Outside the marks the page looks as it did; under them it is black, the picture too.
    const QImage was = popplerImage(original, f.dir.filePath(QStringLiteral("was")));
    const QImage now = popplerImage(path, f.dir.filePath(QStringLiteral("now")));
    ASSERT_EQ(was.size(), QSize(kPageWidth, kPageHeight));
    ASSERT_EQ(now.size(), was.size());
    const QList<QRect> blackened = {pixelsOf(secret.adjusted(-1, -1, 1, 1), kPageHeight),
                                    pixelsOf(kPhotoMark.adjusted(-1, -1, 1, 1), kPageHeight)};
    EXPECT_EQ(inkMoved(was, now, blackened), 0);
    for (const QRect& r : blackened)
        EXPECT_LT(lightestInside(now, r), 48);
    // The picture's part outside the mark keeps its colours.
    const QRect photo = pixelsOf(kPhoto, kPageHeight);
    const QRect keptPhoto = QRect(photo.topLeft(), QPoint(blackened[1].left() - 3, photo.bottom())).adjusted(2, 2, 0, -2);
    EXPECT_LT(largestBlockDifference(was, now, keptPhoto), 16);
}

TEST(EditorRedactionWork, APageThatChangesWhileItIsRedactedKeepsItsMarks)
{
    // Four pages of one line, each with a mark on its secret word.
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    QByteArray kids;
    for (int i = 0; i < 4; ++i) {
        const int contents = pdf.addStream({}, "BT /F1 16 Tf 20 50 Td (Keep Secretword" + QByteArray::number(i)
                                                   + " here) Tj ET\n");
        kids += ref(pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 100] /Resources << /Font << /F1 "
                            + ref(font) + " >> >> /Contents " + ref(contents) + " >>")) + ' ';
    }
    pdf.set(pages, "<< /Type /Pages /Kids [" + kids + "] /Count 4 >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " >>");
    RedactEditor f(pdf.write(catalog), true);
    const QPointF line(20, 50);
    QList<pdf::AnnotationPtr> marks;
    for (int i = 0; i < 4; ++i)
        marks << f.mark(i, runBounds(line, QStringLiteral("Keep "), QStringLiteral("Secretword0"), kSize));
    auto secretOn = [&](int i) { return f.page(i)->text().contains(QStringLiteral("Secretword%1").arg(i)); };

    f.editor->applyRedactions();
    f.endGroup();
    // Page 1 is redrawn while its copy is on the worker.
    const pdf::PagePtr redrawn = pdf::Page::createBlank(QRectF(0, 0, 300, 100));
    ASSERT_TRUE(f.page(0)->exchangeDrawing(*redrawn));
    ASSERT_TRUE(f.runner->runNext());
    // Page 2 is turned while its copy is on the worker; page 3's mark moves before its copy is taken.
    f.editor->rotatePages({f.page(1)}, 90);
    f.endGroup();
    marks[2]->setBounds(marks[2]->bounds().translated(0, 20));
    ASSERT_TRUE(f.runner->finish(*f.editor));
    EXPECT_FALSE(f.editor->progress().has_value());

    // Only page 4 was redacted as it still is; the others keep their marks and what they show now.
    EXPECT_EQ(toastText(*f.editor),
              QStringLiteral("Redacted 1 of 4 pages. The others keep their marks: they changed meanwhile or "
                             "couldn\u2019t be read."));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Apply Redactions"));
    EXPECT_EQ(f.editor->redactionMarks().size(), 3);
    EXPECT_FALSE(secretOn(3));
    EXPECT_EQ(marks[3]->page(), nullptr);
    EXPECT_TRUE(f.page(0)->text().trimmed().isEmpty());
    EXPECT_EQ(marks[0]->page(), f.page(0));
    EXPECT_EQ(f.page(1)->rotation(), 90);
    EXPECT_TRUE(secretOn(1));
    EXPECT_TRUE(secretOn(2));
    EXPECT_EQ(marks[2]->page(), f.page(2));

    // Undo takes back page 4 alone; applying again redacts every marked page as it is.
    f.undo().undo();
    EXPECT_TRUE(secretOn(3));
    EXPECT_EQ(f.editor->redactionMarks().size(), 4);
    f.editor->applyRedactions();
    ASSERT_TRUE(f.runner->finish(*f.editor));
    EXPECT_EQ(toastText(*f.editor), QStringLiteral("Redacted. Gone for good once you save."));
    EXPECT_TRUE(f.editor->redactionMarks().isEmpty());
    EXPECT_FALSE(secretOn(1));
    EXPECT_FALSE(secretOn(3));
    EXPECT_EQ(f.page(1)->rotation(), 90);
}

namespace {

// Made once per test binary: a page with a secret word in its text, then pages of notes that name the word:
// the rest of the file the redaction must clean, too large to clean at once.
constexpr int kNotePages = 1000;
constexpr int kNotesPerPage = 30;
const QByteArray& annotatedData()
{
    static const QByteArray data = [] {
        PdfBuilder pdf;
        const int catalog = pdf.reserve();
        const int pages = pdf.reserve();
        const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        const int contents = pdf.addStream({}, "BT /F1 16 Tf 20 50 Td (Keep Zanzibar here) Tj ET\n");
        QByteArray kids = ref(pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 100] /Resources << "
                                      "/Font << /F1 " + ref(font) + " >> >> /Contents " + ref(contents) + " >>"));
        for (int i = 0; i < kNotePages; ++i) {
            QByteArray annots;
            for (int k = 0; k < kNotesPerPage; ++k)
                annots += ref(pdf.add("<< /Type /Annot /Subtype /Text /Rect [10 " + QByteArray::number(k * 3) + " 20 "
                                      + QByteArray::number(k * 3 + 10) + "] /Contents (Zanzibar note " + QByteArray::number(k)
                                      + ") >>")) + ' ';
            kids += ' ' + ref(pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 100] /Annots ["
                                      + annots + "] >>"));
        }
        pdf.set(pages, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(kNotePages + 1) + " >>");
        pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " >>");
        return pdf.write(catalog);
    }();
    return data;
}

} // namespace

TEST(EditorRedactionWork, TheRestOfALargeFileIsCleanedASliceAtATimeAndAgainWhenItChanges)
{
    const QRectF secret = runBounds(QPointF(20, 50), QStringLiteral("Keep "), QStringLiteral("Zanzibar"), kSize);
    qint64 cost = 0;
    {
        const pdf::DocumentPtr doc = openPdf(annotatedData());
        QElapsedTimer timer;
        timer.start();
        pdf::prepareRedactionScrub(*doc, {QStringLiteral("Zanzibar")}, {});
        cost = timer.elapsed();
    }

    // Changed while it is cleaned: the marked page goes, and with it the whole redaction.
    {
        RedactEditor f(annotatedData(), true);
        f.mark(0, secret);
        f.editor->applyRedactions();
        f.runner->runAll();
        ASSERT_TRUE(f.editor->progress().has_value()) << "cleaning took one slice: " << cost << " ms at once";
        f.editor->deletePages({0});
        ASSERT_TRUE(eventually([&] { return !f.editor->progress().has_value(); }, 20000));
        EXPECT_EQ(toastText(*f.editor), QStringLiteral("Couldn\u2019t redact these pages. The marks are still in place."));
        EXPECT_TRUE(f.page(0)->annotations().front()->contents().contains(QLatin1String("Zanzibar")));
    }

    RedactEditor f(annotatedData(), false);
    f.mark(0, secret);
    f.editor->redactionMarks(); // as the redact bar's count has asked
    QTimer::singleShot(0, f.editor.get(), [&] { f.editor->applyRedactions(); });
    const qint64 stall = longestMainThreadStall([&] { return !f.editor->toast().has_value(); }, 60000);
    ASSERT_EQ(toastText(*f.editor), QStringLiteral("Redacted. Gone for good once you save."));
    // Only the exchange of the values found happens in one piece: less than half of what cleaning the file
    // at once costs here.
    EXPECT_LT(stall, std::max<qint64>(cost / 2, vmk::test::scaledMs(20)))
        << "cleaning the file at once costs " << cost << " ms";
    // Every note lost the word and kept the rest of its text (the saved file is judged on notes elsewhere).
    int named = 0;
    for (int i = 1; i < f.pdf()->pageCount(); ++i)
        for (const pdf::AnnotationPtr& note : f.page(i)->annotations())
            named += note->contents().startsWith(QLatin1String("note ")) ? 0 : 1;
    EXPECT_EQ(named, 0);
    // One step takes the page and every note's text back.
    f.undo().undo();
    EXPECT_EQ(f.page(1)->annotations().front()->contents(), QStringLiteral("Zanzibar note 0"));
    EXPECT_TRUE(f.page(0)->text().contains(QLatin1String("Zanzibar")));
}
