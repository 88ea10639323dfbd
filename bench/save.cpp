// Saving a long document with an annotation on every page, as the user's Save does it (the bytes made, the
// file written and checked by reopening it), against `qpdf` rewriting the same annotated file, in
// alternating pairs in the same run. Each of our saves starts from a freshly opened and annotated document,
// so that every save has new annotations to draw. With two files, how the time grows with the page count.
//
// Usage: bench_save [file.pdf ...]   (default: a generated document of 1,000 text pages)

#include "BenchSupport.h"

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
    std::vector<std::pair<int, double>> saves; // pages, median wall
    bool ok = true;
    for (const QString& path : files) {
        int pages = 0;
        // The annotated file qpdf rewrites, made by a save that also warms the caches for ours.
        const QString annotatedFile = dir.filePath(QStringLiteral("annotated.pdf"));
        const QString ours = dir.filePath(QStringLiteral("ours.pdf"));
        const QString theirs = dir.filePath(QStringLiteral("qpdf.pdf"));
        if (!saveOnce(path, annotatedFile, &pages).ok()) {
            std::printf("bench_save: %s could not be saved\n", qPrintable(path));
            ok = false;
            continue;
        }
        const vmk::bench::Comparison c = vmk::bench::alternate(
            vmk::bench::pairsToRun(),
            [&] { return vmk::bench::timeProgram(QStringLiteral("qpdf"), {annotatedFile, theirs}); },
            [&] { return saveOnce(path, ours, &pages); });
        const QByteArray name = QStringLiteral("save, %1 pages annotated").arg(pages).toUtf8();
        vmk::bench::report(name.constData(), "qpdf rewriting it", c, "wall < 1.00");
        if (c.ok())
            saves.emplace_back(pages, c.wall());
        ok = ok && c.ok();
    }
    if (saves.size() >= 2 && saves.front().second > 0) {
        const QByteArray name = QStringLiteral("save growth, %1 / %2 pages")
                                    .arg(saves.back().first)
                                    .arg(saves.front().first)
                                    .toUtf8();
        const QByteArray goal = QStringLiteral("<= %1x").arg(1.1 * saves.back().first / saves.front().first, 0, 'f', 1).toUtf8();
        vmk::bench::reportFigure(name.constData(), saves.back().second / saves.front().second, "x", goal.constData());
    }
    return ok ? 0 : 1;
}
