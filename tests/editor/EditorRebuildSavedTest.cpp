// Apply Redactions and Make Searchable on files with real structure, judged on the saved file by qpdf and
// poppler rather than by what the editor believes.

#include "LongTaskTestSupport.h"
#include "StructuredPdf.h"

#include "core/SystemAnnotations.h"
#include "platform/doc/KeptOriginals.h"
#include "support/PaintedPdf.h"
#include "support/TestFiles.h"
#include "support/Wait.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

struct HeldEditor : EditorFixture {
    PanelWindow panels;
    std::shared_ptr<HeldRunner> runner = std::make_shared<HeldRunner>();

    explicit HeldEditor(const QByteArray& bytes) : EditorFixture(openPdf(bytes))
    {
        editor->setWindowController(&panels);
        editor->setDetachedRunner(runner);
    }
    ~HeldEditor() { editor->setWindowController(nullptr); }

    void mark(int page, const QRectF& bounds)
    {
        this->page(page)->addAnnotation(core::RedactionMarkAnnotation::create(bounds));
        editor->annotationsChanged(this->page(page));
    }

    // Saves a copy the way the application saves, and asks the second engine about it.
    SavedFile save(const QString& name)
    {
        const QString path = dir.filePath(name);
        const platform::MaybeError error = document->saveToPath(path, platform::SaveOperation::SaveTo);
        EXPECT_FALSE(error.has_value()) << name.toStdString();
        return inspectSavedFile(path);
    }
};

// Where a phrase of the page's text lies (page space).
QRectF phraseBounds(const pdf::Page& page, const QString& phrase)
{
    QString text;
    QList<QRectF> bounds;
    const pdf::TextLayout& chars = page.textLayout();
    for (int c = 0; c < chars.size(); ++c) {
        const QStringView unit = chars.characterText(c);
        text += unit;
        for (int i = 0; i < unit.size(); ++i)
            bounds.append(chars.bounds(c));
    }
    const qsizetype at = text.indexOf(phrase);
    EXPECT_GE(at, 0) << phrase.toStdString();
    QRectF r;
    for (qsizetype i = at; at >= 0 && i < at + phrase.size(); ++i)
        r = r.united(bounds[i]);
    return r;
}

double shareFound(const QStringList& words, const QString& text)
{
    const QStringList found = text.split(QRegularExpression(QStringLiteral("[^A-Za-z]+")), Qt::SkipEmptyParts);
    int hits = 0;
    for (const QString& word : words)
        hits += found.contains(word, Qt::CaseInsensitive) ? 1 : 0;
    return words.isEmpty() ? 0 : double(hits) / words.size();
}

void expectSound(const SavedFile& file, int pages)
{
    EXPECT_TRUE(file.checkClean) << file.checkOutput.toStdString();
    EXPECT_EQ(file.pages().size(), pages);
    // Every page object is a page of the tree: nothing replaced lingers as an orphan.
    EXPECT_EQ(file.pageObjectCount(), pages);
}

} // namespace

TEST(EditorRebuildSaved, RedactionLeavesNothingBehindAndKeepsEveryTargetAndField)
{
    if (!commandExists(QStringLiteral("qpdf")) || !commandExists(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "qpdf and pdftotext are needed";
    const StructuredPdf source = makeStructuredPdf();
    HeldEditor f(source.bytes);
    const SavedFile before = f.save(QStringLiteral("before.pdf"));
    expectSound(before, 4);
    for (const QString& secret : source.secrets)
        ASSERT_TRUE(before.contains(secret)) << secret.toStdString();
    const QStringList targets = before.targets();
    ASSERT_EQ(targets.size(), 12) << targets.join(u'\n').toStdString();
    ASSERT_EQ(before.fields(), QStringList({QStringLiteral("name=Hortensia on 3"),
                                            QStringLiteral("notes=Meet Zebulon on Monday on 3"),
                                            QStringLiteral("agree=/Yes on 3")}));

    f.mark(0, phraseBounds(*f.page(0), QStringLiteral("Zebulon Quixby")));
    f.mark(1, phraseBounds(*f.page(1), QStringLiteral("Bluefalcon")));
    f.mark(3, source.nameField);
    const QList<pdf::PagePtr> pages = {f.page(0), f.page(1), f.page(2), f.page(3)};
    f.editor->applyRedactions();
    ASSERT_TRUE(f.runner->finish(*f.editor));
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Redacted. Gone for good once you save."));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(f.page(i), pages[i]) << "page objects keep their identity";

    const SavedFile after = f.save(QStringLiteral("redacted.pdf"));
    expectSound(after, 4);
    for (const QString& secret : source.secrets)
        EXPECT_FALSE(after.contains(secret)) << secret.toStdString();
    EXPECT_EQ(after.targets(), targets);
    // The field under the mark is empty; the others keep their values (less the secret words), and every
    // field still has its widget on its page.
    EXPECT_EQ(after.fields(), QStringList({QStringLiteral("name= on 3"), QStringLiteral("notes=Meet on Monday on 3"),
                                           QStringLiteral("agree=/Yes on 3")}));
    // Recognised again upright, the rest of the letter is still text.
    EXPECT_GE(shareFound(source.plainWordsPage1, popplerPageText(after.path, 1)), 0.9)
        << popplerPageText(after.path, 1).toStdString();
    EXPECT_TRUE(popplerPageText(after.path, 2).contains(QLatin1String("internal")))
        << popplerPageText(after.path, 2).toStdString();

    // Undo brings back every word and value; redo takes them away again; each state saves soundly.
    f.undo().undo();
    const SavedFile undone = f.save(QStringLiteral("undone.pdf"));
    expectSound(undone, 4);
    for (const QString& secret : source.secrets)
        EXPECT_TRUE(undone.contains(secret)) << secret.toStdString();
    EXPECT_EQ(undone.targets(), targets);
    EXPECT_EQ(undone.fields(), before.fields());
    EXPECT_EQ(f.editor->redactionMarks().size(), 3);
    f.undo().redo();
    const SavedFile redone = f.save(QStringLiteral("redone.pdf"));
    expectSound(redone, 4);
    for (const QString& secret : source.secrets)
        EXPECT_FALSE(redone.contains(secret)) << secret.toStdString();
    EXPECT_EQ(redone.targets(), targets);
    EXPECT_TRUE(f.editor->redactionMarks().isEmpty());
}

TEST(EditorRebuildSaved, ASavedRedactionLeavesNoEarlierVersionOfTheFileBehind)
{
    const StructuredPdf source = makeStructuredPdf();
    HeldEditor f(source.bytes);
    const QString path = f.document->filePath();
    writeFile(f.dir, QFileInfo(path).fileName(), source.bytes);
    const QDir originals(f.dir.filePath(QStringLiteral("Originals")));
    platform::KeptOriginals::setFolder(originals.path());
    struct Restore {
        ~Restore() { platform::KeptOriginals::setFolder({}); }
    } restore;
    // Another file's kept copy holds the same words: it is not this file's to remove.
    const QString other = writeFile(f.dir, QStringLiteral("Other.pdf"), source.bytes);
    const auto otherKept = platform::KeptOriginals::keep(other);
    ASSERT_TRUE(otherKept.has_value());
    ASSERT_FALSE(f.document->saveToPath(path, platform::SaveOperation::Save).has_value());
    ASSERT_EQ(platform::KeptOriginals::versionsOf(path).size(), 1);

    f.mark(0, phraseBounds(*f.page(0), QStringLiteral("Zebulon Quixby")));
    f.editor->applyRedactions();
    ASSERT_TRUE(f.runner->finish(*f.editor));
    ASSERT_FALSE(f.document->saveToPath(path, platform::SaveOperation::Save).has_value());
    EXPECT_EQ(f.document->earlierVersionsRemoved(), 1);
    // Left in the folder: the other file's copy and its record, nothing of this file.
    const QString otherName = QFileInfo(otherKept->keptPath).fileName();
    EXPECT_EQ(originals.entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({otherName, otherName + QStringLiteral(".kept.json")}));
    EXPECT_FALSE(inspectSavedFile(path).contains(QStringLiteral("Zebulon")));

    // Undone, the redaction no longer asks for anything to go.
    f.undo().undo();
    ASSERT_FALSE(f.document->saveToPath(path, platform::SaveOperation::Save).has_value());
    EXPECT_EQ(f.document->earlierVersionsRemoved(), 0);
    EXPECT_EQ(platform::KeptOriginals::versionsOf(other).size(), 1);
}

TEST(EditorRebuildSaved, TheRedactedPageKeepsEveryWordStillShownAndNoneUnderTheMarks)
{
    if (!commandExists(QStringLiteral("qpdf")) || !commandExists(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "qpdf and pdftotext are needed";
    // Three typefaces, embedded as Qt draws them, and a paragraph with words to take out.
    struct Line {
        QString font;
        int size;
        QString text;
    };
    const QList<Line> lines = {
        {QStringLiteral("DejaVu Sans"), 16, QStringLiteral("Quarterly figures for the northern depot")},
        {QStringLiteral("Liberation Serif"), 12, QStringLiteral("The auditor Zebulon Quixby approved 48213 units in May.")},
        {QStringLiteral("Liberation Serif"), 12, QStringLiteral("Shipping notes went to the blog of the harbour office.")},
        {QStringLiteral("DejaVu Sans Mono"), 10, QStringLiteral("Code name: Bluefalcon, kept at grid 7741.")},
    };
    const QStringList secrets = {QStringLiteral("Zebulon Quixby"), QStringLiteral("48213"), QStringLiteral("Bluefalcon")};
    HeldEditor f(paintedPdf(1, QSizeF(612, 792), [&](QPainter& painter, int) {
        for (int i = 0; i < int(lines.size()); ++i) {
            QFont font(lines[i].font);
            font.setPixelSize(lines[i].size);
            painter.setFont(font);
            painter.drawText(QPointF(72, 100 + 30 * i), lines[i].text);
        }
    }));
    const pdf::PagePtr page = f.page(0);
    for (const QString& secret : secrets)
        f.mark(0, phraseBounds(*page, secret));
    // A highlight drawn over a secret whose rectangle another program left beside it.
    const QRectF over = phraseBounds(*page, QStringLiteral("Bluefalcon"));
    const pdf::AnnotationPtr highlight = pdf::Annotation::create(QStringLiteral("Highlight"), QRectF(400, 600, 40, 20));
    page->addAnnotation(highlight);
    highlight->setColor(Qt::yellow);
    highlight->setQuadrilateralPoints({over.topLeft() + QPointF(0, over.height()) - QPointF(400, 600),
                                       over.bottomRight() - QPointF(400, 600), over.topLeft() - QPointF(400, 600),
                                       QPointF(over.right(), over.top()) - QPointF(400, 600)});
    f.editor->applyRedactions();
    ASSERT_TRUE(f.runner->finish(*f.editor));
    EXPECT_EQ(highlight->page(), nullptr);

    const SavedFile saved = f.save(QStringLiteral("redacted.pdf"));
    expectSound(saved, 1);
    const QString text = popplerPageText(saved.path, 1).simplified();
    for (const Line& line : lines) {
        QString shown = line.text;
        for (const QString& secret : secrets)
            shown.replace(secret, QString());
        EXPECT_TRUE(text.contains(shown.simplified())) << shown.toStdString() << "\nin: " << text.toStdString();
    }
    for (const QString& secret : secrets) {
        EXPECT_FALSE(text.contains(secret)) << secret.toStdString();
        for (const QString& word : secret.split(u' '))
            EXPECT_FALSE(saved.contains(word)) << word.toStdString();
    }
    // No yellow left anywhere beside the black boxes.
    const QImage image = page->render(1.0);
    int yellow = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            yellow += c.red() > 200 && c.green() > 200 && c.blue() < 120 ? 1 : 0;
        }
    EXPECT_EQ(yellow, 0);
}

TEST(EditorRebuildSaved, MakeSearchableKeepsTheOutlineAddsLittleAndSurvivesStopUndoAndRedo)
{
    if (!commandExists(QStringLiteral("qpdf")) || !commandExists(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "qpdf and pdftotext are needed";
    HeldEditor f(makeScannedPdfWithOutline({QStringLiteral("ALPHA"), QStringLiteral("BRAVO"), QStringLiteral("CHARLIE")}));
    const SavedFile before = f.save(QStringLiteral("before.pdf"));
    expectSound(before, 3);
    const QStringList targets = before.targets();
    ASSERT_EQ(targets.size(), 5) << targets.join(u'\n').toStdString();
    const qint64 baseSize = QFileInfo(before.path).size();

    // Stopped after the first page: what was read is applied, the rest stays a picture.
    f.editor->makeSearchable();
    ASSERT_TRUE(makeSearchableDecided(*f.editor));
    ASSERT_TRUE(f.runner->runNext());
    f.editor->progress()->cancel();
    f.runner->runAll();
    EXPECT_FALSE(f.editor->progress().has_value());
    const SavedFile stopped = f.save(QStringLiteral("stopped.pdf"));
    expectSound(stopped, 3);
    EXPECT_EQ(stopped.targets(), targets);
    EXPECT_TRUE(popplerPageText(stopped.path, 1).contains(QLatin1String("ALPHA"), Qt::CaseInsensitive));
    f.endGroup();

    f.editor->makeSearchable();
    ASSERT_TRUE(eventually([&] { return !f.editor->isCheckingForText(); }, 20000));
    f.runner->runAll();
    const SavedFile all = f.save(QStringLiteral("all.pdf"));
    expectSound(all, 3);
    EXPECT_EQ(all.targets(), targets);
    EXPECT_TRUE(popplerPageText(all.path, 3).contains(QLatin1String("CHARLIE"), Qt::CaseInsensitive));
    // The pictures are not stored twice: the file grows by about the text layer.
    EXPECT_LT(QFileInfo(all.path).size() - baseSize, 12 * 1024) << QFileInfo(all.path).size() << " vs " << baseSize;
    f.endGroup();

    f.undo().undo();
    f.undo().undo();
    const SavedFile undone = f.save(QStringLiteral("undone.pdf"));
    expectSound(undone, 3);
    EXPECT_EQ(undone.targets(), targets);
    EXPECT_TRUE(popplerPageText(undone.path, 1).trimmed().isEmpty());
    EXPECT_LT(qAbs(QFileInfo(undone.path).size() - baseSize), 2 * 1024);
    f.undo().redo();
    f.undo().redo();
    const SavedFile redone = f.save(QStringLiteral("redone.pdf"));
    expectSound(redone, 3);
    EXPECT_EQ(redone.targets(), targets);
    EXPECT_TRUE(popplerPageText(redone.path, 2).contains(QLatin1String("BRAVO"), Qt::CaseInsensitive));
}

TEST(EditorRebuildSaved, MakeSearchableKeepsTheSpacesBetweenWordsAndLeavesAPageWithoutWordsAlone)
{
    if (!commandExists(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "pdftotext is needed";
    HeldEditor f(makeScannedPdf({QStringLiteral("QUICK BROWN FOX"), QString(),
                                 QStringLiteral("LAZY GREY DOG")},
                                QSizeF(1000, 80)));
    const QList<pdf::PagePtr> before = {f.page(0), f.page(1), f.page(2)};

    f.editor->makeSearchable();
    ASSERT_TRUE(makeSearchableDecided(*f.editor));
    f.runner->runAll();
    EXPECT_FALSE(f.editor->progress().has_value());
    EXPECT_EQ(f.editor->toast() ? f.editor->toast()->text : QString(),
              QStringLiteral("Text recognized. 2 pages are now searchable."));
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Make Searchable"));

    // The saved text layer reads as words with spaces between them, not as one run of letters.
    const SavedFile saved = f.save(QStringLiteral("read.pdf"));
    EXPECT_TRUE(saved.checkClean) << saved.checkOutput.toStdString();
    EXPECT_TRUE(popplerPageText(saved.path, 1).simplified().contains(QLatin1String("QUICK BROWN FOX")))
        << popplerPageText(saved.path, 1).toStdString();
    EXPECT_TRUE(popplerPageText(saved.path, 2).trimmed().isEmpty());
    EXPECT_TRUE(popplerPageText(saved.path, 3).simplified().contains(QLatin1String("LAZY GREY DOG")))
        << popplerPageText(saved.path, 3).toStdString();

    // One step takes both pages back.
    f.undo().undo();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f.page(i), before[i]);
        EXPECT_TRUE(f.page(i)->text().trimmed().isEmpty()) << i;
    }
    EXPECT_FALSE(f.undo().canUndo());
}
