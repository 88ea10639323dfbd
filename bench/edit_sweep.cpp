// A sweep of in-place text edits over real pages, kept to measure how faithful retyping is (not timed).
// On every page it takes the largest editable paragraph, changes one word into another word made of the
// same letters (so no new glyph is needed), saves, and reports:
//   edited / refused (and why) / the page's own font kept / pages where poppler's render changed outside
//   the edited line / pdffonts warnings / poppler messages the edit brought / the new word and its
//   neighbours (with their spaces) missing from pdftotext.
// The edit passes the same fidelity guard as in the application (our renderer, regions of the old and new
// block); the outside-the-line check is poppler's, so it is a second opinion on the written file.
//
// Usage: bench_edit_sweep <list.txt|file.pdf...>
//   A list names one PDF a line, optionally followed by a tab and the most pages to try (default 5);
//   relative paths are read from the list's folder. bench/edit_sweep_corpus.sh makes the usual corpus.
//   Without arguments, $VMK_EDIT_SWEEP_LIST is used, and nothing is run when it is not set either.

#include "core/pdfium/EditFidelity.h"
#include "core/pdfium/PDFEditSession.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace vmk;
using core::FPDF_PAGEOBJECT;
using core::FPDF_TEXTPAGE;
using core::FS_MATRIX;

namespace {

struct Item {
    QString path;
    int maxPages = 5;
};

struct Outcome {
    QString file;
    int page = 0;
    QString status; // edited, refused, skipped
    QString why;
    QString oldWord, newWord;
    bool fontKept = false;
    int pixelsOutside = 0;
    QRect changedAt, lineAt; // poppler pixels: where the changes outside lie, and the line left out
    bool lineFound = false; // the edited line's place, left out of the pixel comparison
    int fontWarnings = 0;
    QStringList popplerMessages;
    bool textFound = false;
    bool textUnread = false; // poppler's text of the page did not hold the old word: nothing to compare
};

QString run(const QString& program, const QStringList& args, QString* err = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList messageLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& l : lines)
        l = l.trimmed();
    lines.removeDuplicates();
    return lines;
}

// A different word of the same letters: the first pair of neighbouring letters after the first that differ,
// swapped; none when every letter is the same.
QString anagram(const QString& word)
{
    for (qsizetype i = 1; i + 1 < word.size(); ++i)
        if (word[i] != word[i + 1]) {
            QString out = word;
            std::swap(out[i], out[i + 1]);
            return out;
        }
    return {};
}

struct Choice {
    QString oldWord, newWord;
    qsizetype at = -1; // in the block's text
};

// The longest word of letters only (4 or more) that occurs once in the block's text.
Choice chooseWord(const QString& text)
{
    static const QRegularExpression word(QStringLiteral("\\p{L}{4,}"));
    Choice best;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const QString w = m.captured();
        if (w.size() <= best.oldWord.size() || text.count(w) != 1 || anagram(w).isEmpty())
            continue;
        best.oldWord = w;
        best.newWord = anagram(w);
        best.at = m.capturedStart();
    }
    return best;
}

// The edited line's place, page space: the block's width, the height of the text objects on the word's
// baseline (each object's own text decides which one holds the word).
QRectF lineBand(core::PDFEditSession& session, int pageIndex, const core::EditableTextBlock& block, const Choice& c)
{
    const core::PDFiumAPI* api = session.api();
    auto pg = session.page(pageIndex);
    if (!pg)
        return {};
    FPDF_TEXTPAGE textPage = api->FPDFText_LoadPage(pg.value());
    struct Obj {
        QString text;
        QRectF bounds;
        qreal baseline;
    };
    QList<Obj> objects;
    for (FPDF_PAGEOBJECT o : block.objects) {
        float l = 0, b = 0, r = 0, t = 0;
        api->FPDFPageObj_GetBounds(o, &l, &b, &r, &t);
        FS_MATRIX m{};
        api->FPDFPageObj_GetMatrix(o, &m);
        objects.append({session.text(o, textPage), QRectF(l, b, r - l, t - b), m.f});
    }
    api->FPDFText_ClosePage(textPage);
    // Lines by baseline; the word found in the joined text of one line (objects may hold single glyphs).
    std::sort(objects.begin(), objects.end(), [](const Obj& a, const Obj& b) {
        return std::fabs(a.baseline - b.baseline) > 0.5 ? a.baseline > b.baseline : a.bounds.left() < b.bounds.left();
    });
    const QString needle = c.oldWord;
    for (qsizetype i = 0; i < objects.size();) {
        qsizetype j = i;
        QString joined;
        QRectF band = objects[i].bounds;
        while (j < objects.size() && std::fabs(objects[j].baseline - objects[i].baseline) < 0.3 * block.fontSize) {
            joined += objects[j].text;
            band = band.united(objects[j].bounds);
            ++j;
        }
        if (joined.contains(needle) || joined.remove(QLatin1Char(' ')).contains(needle)) {
            const qreal m = std::max(2.0, 0.3 * block.fontSize);
            return QRectF(std::min(band.left(), block.bounds.left()) - m, band.top() - m,
                          std::max(band.right(), block.bounds.right()) - std::min(band.left(), block.bounds.left())
                              + 2 * m,
                          band.height() + 2 * m);
        }
        i = j;
    }
    return {};
}

QImage popplerRender(const QString& file, int page, const QString& prefix, QStringList& messages)
{
    QString err;
    // The crop box, as our renderer and the line's pixel place have it: poppler draws the media box unless told.
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-cropbox"), QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-f"),
                                     QString::number(page + 1), QStringLiteral("-l"), QString::number(page + 1),
                                     QStringLiteral("-singlefile"), QStringLiteral("-png"), file, prefix},
        &err);
    messages += messageLines(err);
    return QImage(prefix + QStringLiteral(".png"));
}

// Poppler's page pixels for a page-space rectangle, through the page's rotation and crop box.
QRect popplerPixels(const pdf::PagePtr& page, const QRectF& r)
{
    const QList<QRect> rects = core::fidelity::pixelRegions(page, {r}, 100.0 / 72.0);
    return rects.isEmpty() ? QRect() : rects.first();
}

Outcome sweepPage(const QString& path, const QByteArray& bytes, const pdf::DocumentPtr& original, int pageIndex,
                  const QTemporaryDir& dir)
{
    Outcome out;
    out.file = QFileInfo(path).fileName();
    out.page = pageIndex + 1;
    auto session = core::PDFEditSession::open(bytes);
    if (!session) {
        out.status = QStringLiteral("skipped");
        out.why = session.error().message();
        return out;
    }
    auto model = session.value()->model(pageIndex);
    if (!model) {
        out.status = QStringLiteral("skipped");
        out.why = model.error().message();
        return out;
    }
    const core::EditableTextBlock* largest = nullptr;
    Choice choice;
    for (const core::EditableTextBlock& b : model->blocks) {
        if (!b.isEditable)
            continue;
        const Choice c = chooseWord(b.text);
        if (c.at >= 0 && (!largest || b.text.size() > largest->text.size())) {
            largest = &b;
            choice = c;
        }
    }
    if (!largest) {
        out.status = QStringLiteral("skipped");
        out.why = QStringLiteral("no editable paragraph with a word to change");
        return out;
    }
    const core::EditableTextBlock block = *largest;
    out.oldWord = choice.oldWord;
    out.newWord = choice.newWord;
    const QRectF band = lineBand(*session.value(), pageIndex, block, choice);
    QString newText = block.text;
    newText.replace(choice.at, choice.oldWord.size(), choice.newWord);

    const auto result = session.value()->replaceText(block, newText, pageIndex);
    if (!result) {
        out.status = QStringLiteral("refused");
        out.why = result.error().message();
        return out;
    }
    const auto saved = session.value()->save();
    const auto edited = pdf::Document::fromData(saved ? saved.value() : QByteArray());
    if (!saved || !edited || !edited.value()) {
        out.status = QStringLiteral("refused");
        out.why = QStringLiteral("save failed");
        return out;
    }
    // The application's own guard, over the same regions it passes.
    const qreal margin = std::max(2.0, 0.3 * block.fontSize);
    QList<QRectF> regions{block.bounds.adjusted(-margin, -margin, margin, margin)};
    if (!result->newBounds.isNull())
        regions.append(result->newBounds.adjusted(-margin, -margin, margin, margin));
    const auto verdict = core::fidelity::comparePages(original->page(pageIndex), edited.value()->page(pageIndex), regions);
    const QString keep = qEnvironmentVariable("VMK_EDIT_SWEEP_KEEP");
    if (!verdict.intact) {
        out.status = QStringLiteral("refused");
        out.why = QStringLiteral("guard");
        if (!keep.isEmpty()) {
            QFile kept(QDir(keep).filePath(QStringLiteral("%1-%2-refused.pdf").arg(out.file).arg(out.page)));
            if (kept.open(QIODevice::WriteOnly))
                kept.write(saved.value());
        }
        return out;
    }
    out.status = QStringLiteral("edited");
    out.fontKept = result->reusedOriginalFont;
    // Whether the block was set again or only its line rewritten.
    out.why = result->newBounds.height() > 2.5 * block.fontSize ? QStringLiteral("block") : QStringLiteral("line");

    const QString stem = dir.filePath(QStringLiteral("%1-%2").arg(out.file).arg(out.page));
    const QString beforeFile = stem + QStringLiteral("-before.pdf"), afterFile = stem + QStringLiteral("-after.pdf");
    QFile before(beforeFile), after(afterFile);
    before.open(QIODevice::WriteOnly);
    before.write(bytes);
    before.close();
    after.open(QIODevice::WriteOnly);
    after.write(saved.value());
    after.close();
    if (!keep.isEmpty()) // edited files too, to look at what the measures flag
        QFile::copy(afterFile, QDir(keep).filePath(QStringLiteral("%1-%2-edited.pdf").arg(out.file).arg(out.page)));

    QStringList beforeMessages, afterMessages;
    const QImage a = popplerRender(beforeFile, pageIndex, stem + QStringLiteral("-a"), beforeMessages);
    const QImage b = popplerRender(afterFile, pageIndex, stem + QStringLiteral("-b"), afterMessages);
    // Without the line's place the edited word itself would count as changed outside it.
    out.lineFound = !band.isNull();
    QList<QRect> excluded;
    if (out.lineFound)
        excluded.append(popplerPixels(original->page(pageIndex), band));
    const core::fidelity::Verdict outside = core::fidelity::compareImages(a, b, excluded, 24, 0);
    out.pixelsOutside = outside.changedPixels;
    out.changedAt = outside.firstChange;
    out.lineAt = excluded.value(0);

    // pdffonts warnings the edit brought (the file's own are not counted).
    QString fontsErr, fontsErrBefore, textErr;
    run(QStringLiteral("pdffonts"), {beforeFile}, &fontsErrBefore);
    run(QStringLiteral("pdffonts"), {afterFile}, &fontsErr);
    const QStringList warningsBefore = messageLines(fontsErrBefore);
    for (const QString& w : messageLines(fontsErr))
        out.fontWarnings += !warningsBefore.contains(w);
    const QString pageArg = QString::number(pageIndex + 1);
    auto pageText = [&](const QString& file) {
        QString t = run(QStringLiteral("pdftotext"),
                        {QStringLiteral("-f"), pageArg, QStringLiteral("-l"), pageArg, file, QStringLiteral("-")},
                        &textErr);
        // Compatibility forms folded: poppler reads a ligature glyph as its ligature character, our engine
        // as its letters.
        return t.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "))
            .trimmed()
            .normalized(QString::NormalizationForm_KC);
    };
    const QString textBefore = pageText(beforeFile);
    const QString text = pageText(afterFile);
    afterMessages += messageLines(textErr);
    for (const QString& m : std::as_const(afterMessages))
        if (!beforeMessages.contains(m) && !out.popplerMessages.contains(m))
            out.popplerMessages.append(m);
    // The page's text exactly as before but for one occurrence of the word: its spaces, its neighbours and
    // every other line read the same (a hyphen at a line's end is joined by the reader, before and after).
    const QString oldWord = choice.oldWord.normalized(QString::NormalizationForm_KC);
    const QString newWord = choice.newWord.normalized(QString::NormalizationForm_KC);
    out.textUnread = !textBefore.contains(oldWord);
    for (qsizetype at = textBefore.indexOf(oldWord); at >= 0 && !out.textFound; at = textBefore.indexOf(oldWord, at + 1))
        out.textFound = QString(textBefore).replace(at, oldWord.size(), newWord) == text;
    // $VMK_EDIT_SWEEP_KEEP names a folder to keep the edited files in, to look at what changed.
    if (!keep.isEmpty())
        QFile::copy(afterFile, QDir(keep).filePath(QFileInfo(afterFile).fileName()));
    for (const QString& f : {beforeFile, afterFile, stem + QStringLiteral("-a.png"), stem + QStringLiteral("-b.png")})
        QFile::remove(f);
    return out;
}

QList<Item> readItems(const QStringList& args)
{
    QList<Item> items;
    for (const QString& arg : args) {
        if (arg.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
            items.append({arg, 5});
            continue;
        }
        QFile list(arg);
        if (!list.open(QIODevice::ReadOnly))
            continue;
        const QDir base = QFileInfo(arg).absoluteDir();
        for (const QByteArray& raw : list.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList parts = line.split(QLatin1Char('\t'));
            items.append({base.absoluteFilePath(parts[0]), parts.size() > 1 ? parts[1].toInt() : 5});
        }
    }
    return items;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() && qEnvironmentVariableIsSet("VMK_EDIT_SWEEP_LIST"))
        args.append(qEnvironmentVariable("VMK_EDIT_SWEEP_LIST"));
    if (args.isEmpty()) {
        std::printf("edit sweep: no corpus (pass a list or set VMK_EDIT_SWEEP_LIST; see bench/edit_sweep_corpus.sh)\n");
        return 0;
    }
    QTemporaryDir dir;
    QList<Outcome> outcomes;
    QStringList producers;
    for (const Item& item : readItems(args)) {
        QFile file(item.path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        const auto original = pdf::Document::fromData(bytes);
        if (!original || !original.value() || original.value()->isLocked())
            continue;
        const int pages = std::min(original.value()->pageCount(), item.maxPages);
        for (int p = 0; p < pages; ++p) {
            const Outcome o = sweepPage(item.path, bytes, original.value(), p, dir);
            auto box = [](const QRect& r) {
                return QStringLiteral(" %1,%2+%3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
            };
            const QString where = o.pixelsOutside > 0 ? QStringLiteral(" at") + box(o.changedAt) + QStringLiteral(" line")
                    + box(o.lineAt)
                                                      : QString();
            std::printf("%s\t%d\t%s\t%s\t%s>%s\tfont:%s\toutside:%d%s%s\twarn:%d\ttext:%s\t%s\n", qPrintable(o.file),
                        o.page, qPrintable(o.status), qPrintable(o.why), qPrintable(o.oldWord), qPrintable(o.newWord),
                        o.fontKept ? "kept" : "-", o.pixelsOutside, qPrintable(where),
                        o.status == QLatin1String("edited") && !o.lineFound ? " (line not found)" : "", o.fontWarnings,
                        o.textFound ? "ok" : o.textUnread ? "unread" : "MISSING",
                        qPrintable(o.popplerMessages.join(QStringLiteral(" | "))));
            std::fflush(stdout);
            outcomes.append(o);
        }
    }
    int tried = 0, edited = 0, kept = 0, outside = 0, unmeasured = 0, warned = 0, messages = 0, textOk = 0, unread = 0;
    QMap<QString, int> reasons;
    for (const Outcome& o : std::as_const(outcomes)) {
        if (o.status == QLatin1String("skipped"))
            continue;
        ++tried;
        if (o.status == QLatin1String("refused")) {
            ++reasons[o.why];
            continue;
        }
        ++edited;
        kept += o.fontKept;
        outside += o.pixelsOutside > 0 && o.lineFound;
        unmeasured += !o.lineFound;
        warned += o.fontWarnings > 0;
        messages += !o.popplerMessages.isEmpty();
        textOk += o.textFound;
        unread += o.textUnread;
    }
    auto pct = [](int n, int of) { return of > 0 ? 100.0 * n / of : 0.0; };
    std::printf("\npages tried %d (skipped %lld)\n", tried, qlonglong(outcomes.size() - tried));
    std::printf("edited %d (%.0f%%), refused %d\n", edited, pct(edited, tried), tried - edited);
    for (auto it = reasons.cbegin(); it != reasons.cend(); ++it)
        std::printf("  refused %3d: %s\n", it.value(), qPrintable(it.key()));
    std::printf("original font kept %d (%.0f%% of edits)\n", kept, pct(kept, edited));
    std::printf("pages changed outside the edited line (poppler) %d, edited line not found %d\n", outside, unmeasured);
    std::printf("pages with new pdffonts warnings %d, with new poppler messages %d\n", warned, messages);
    std::printf("pdftotext reads the page as before but for the new word %d of %d (%d where it never read the old word)\n",
                textOk, edited - unread, unread);
    return 0;
}
