// Saving a long document with an annotation on every page, as the user's Save does it (the bytes made, the
// file written and checked by reopening it), against `qpdf` rewriting the same annotated file, in
// alternating pairs in the same run. Each of our saves starts from a freshly opened and annotated document,
// so that every save has new annotations to draw. With two files, how the time grows with the page count:
// the median over rounds of the ratio of the two saves made in the round.
//
// Usage: bench_save [file.pdf ...]   (default: a generated document of 1,000 text pages)

#include "BenchSupport.h"
#include "Settle.h"

#include "core/VMKDocument.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Opens the file and puts a rectangle on every page, untimed.
std::unique_ptr<vmk::core::VMKDocument> annotated(const QString& path)
{
    auto document = std::make_unique<vmk::core::VMKDocument>();
    if (document->openFile(path))
        return nullptr;
    for (const vmk::pdf::PagePtr& page : document->pdf()->pages()) {
        auto box = vmk::pdf::Annotation::create(QStringLiteral("Square"), QRectF(72, 72, 144, 72));
        box->setColor(Qt::red);
        page->addAnnotation(box);
    }
    return document;
}

vmk::bench::Cost saveOnce(const QString& source, const QString& target, int* pages)
{
    std::unique_ptr<vmk::core::VMKDocument> document = annotated(source);
    if (!document)
        return {};
    *pages = document->pdf()->pageCount();
    QFile::remove(target);
    vmk::bench::settleReleases();
    return vmk::bench::timeHere([&] {
        return !document->saveToPath(target, vmk::platform::SaveOperation::SaveTo).has_value();
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QStringList files = vmk::bench::filesOrLinedDocument(argc, argv, dir, QStringLiteral("bench-save.pdf"));
    struct Subject {
        QString source, annotated, ours, theirs;
        int pages = 0;
        vmk::bench::Comparison costs;
    };
    std::vector<Subject> subjects;
    for (const QString& path : files) {
        const QString n = QString::number(subjects.size());
        Subject s;
        s.source = path;
        s.annotated = dir.filePath(n + QStringLiteral("-annotated.pdf"));
        s.ours = dir.filePath(n + QStringLiteral("-ours.pdf"));
        s.theirs = dir.filePath(n + QStringLiteral("-qpdf.pdf"));
        // The annotated file qpdf rewrites, made by a save that also warms the caches for ours.
        if (!saveOnce(s.source, s.annotated, &s.pages).ok()) {
            std::printf("bench_save: %s could not be saved\n", qPrintable(path));
            return 1;
        }
        s.costs.load = vmk::bench::loadAverage();
        subjects.push_back(s);
    }
    // Every file in each round, so that how the time grows with the page count is taken between saves
    // made under the same load, round by round. Five rounds: most of what the larger save adds beyond its
    // share is the system taking in its file (fresh pages for its cache), which on a virtual machine swings
    // from round to round, for qpdf as for us.
    for (int round = 0, rounds = vmk::bench::pairsToRun(5); round < rounds; ++round) {
        for (Subject& s : subjects) {
            const vmk::bench::Cost theirs = vmk::bench::timeProgram(QStringLiteral("qpdf"), {s.annotated, s.theirs});
            const vmk::bench::Cost ours = saveOnce(s.source, s.ours, &s.pages);
            if (theirs.ok() && ours.ok()) {
                s.costs.reference.push_back(theirs);
                s.costs.ours.push_back(ours);
            }
        }
    }
    bool ok = true;
    for (const Subject& s : subjects) {
        const QByteArray name = QStringLiteral("save, %1 pages annotated").arg(s.pages).toUtf8();
        vmk::bench::report(name.constData(), "qpdf rewriting it", s.costs, "wall < 1.00");
        ok = ok && s.costs.ok();
    }
    if (ok && subjects.size() >= 2) {
        const Subject& small = subjects.front();
        const Subject& large = subjects.back();
        std::vector<double> ours, theirs;
        for (size_t i = 0; i < small.costs.ours.size(); ++i) {
            ours.push_back(large.costs.ours[i].wall / small.costs.ours[i].wall);
            theirs.push_back(large.costs.reference[i].wall / small.costs.reference[i].wall);
        }
        const QByteArray name = QStringLiteral("save growth, %1 / %2 pages (qpdf's own: %3x)")
                                    .arg(large.pages)
                                    .arg(small.pages)
                                    .arg(vmk::bench::median(theirs), 0, 'f', 2)
                                    .toUtf8();
        const QByteArray goal = QStringLiteral("<= %1x").arg(1.1 * large.pages / small.pages, 0, 'f', 1).toUtf8();
        vmk::bench::reportFigure(name.constData(), vmk::bench::median(ours), "x", goal.constData());
    }
    return ok ? 0 : 1;
}
