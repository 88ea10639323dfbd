// One hostile input, handled the way a user would: opened with the open checks, every page (up to a
// few) rendered directly and from a snapshot, its text read, annotations added and a page turned, then
// saved with verification and reopened. Any outcome is fine except a crash, a hang, or a save reported as
// done whose copy lost the pages, the annotations just added or the turn just made ("save lost ...", exit
// code 3); the fuzz check script runs this in a child process under a time limit.
//
//   vmk_fuzz_target --seeds DIR      writes the seed files (made by the test fixtures) into DIR
//   vmk_fuzz_target --hostile FILE   writes a file of pages no drawing budget allows, after a plain one
//   vmk_fuzz_target FILE OUTDIR      handles FILE, writing its saved copy into OUTDIR

#include "core/CoreFixtures.h"
#include "platform/pdf/PdfFixtures.h"

#include "core/PDFOps.h"
#include "core/VMKDocument.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/services/Scheduler.h"
#include "support/SlowContent.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainterPath>

#include <cstdio>
#include <cstdlib>

using namespace vmk;

namespace {

constexpr int kPagesPerInput = 4;
constexpr auto kMarker = "vmk fuzz square";
constexpr pdf::RecordBudget kBudget{2000, std::size_t(256) << 20};

// What a save reported as done must have kept of this run's edits; empty when everything is there.
QString lostEdits(const pdf::Document& saved, int pageCount, int rotation)
{
    if (saved.pageCount() != pageCount)
        return QStringLiteral("%1 pages instead of %2").arg(saved.pageCount()).arg(pageCount);
    pdf::PagePtr first = saved.page(0);
    if (!first)
        return QStringLiteral("the first page");
    if (first->rotation() != rotation)
        return QStringLiteral("rotation %1 instead of %2").arg(first->rotation()).arg(rotation);
    bool square = false, ink = false;
    for (const pdf::AnnotationPtr& annotation : first->annotations()) {
        square = square || (annotation->type() == QLatin1String("Square")
                            && annotation->contents() == QLatin1String(kMarker));
        ink = ink || annotation->type() == QLatin1String("Ink");
    }
    if (!square || !ink)
        return QStringLiteral("the %1 annotation").arg(square ? QStringLiteral("ink") : QStringLiteral("square"));
    return {};
}

int writeSeeds(const QString& dir)
{
    QDir().mkpath(dir);
    const QList<std::pair<const char*, QByteArray>> seeds{
        {"text.pdf", test::pdf::textPdf({"First page of words", "Second page", "Third"})},
        {"links-outline-form.pdf", test::pdf::linkOutlineFormPdf()},
        {"linked.pdf", coretest::makeLinkedPdf()},
        {"sizes.pdf", coretest::makePdf(3, {QSizeF(612, 792), QSizeF(842, 595), QSizeF(300, 300)})},
        {"zero-box.pdf", coretest::makeZeroBoxPdf()},
        {"signature.pdf", coretest::makeSignatureArtwork()},
    };
    for (const auto& [name, bytes] : seeds) {
        QFile file(QDir(dir).filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 2;
    }
    return 0;
}

// Drawn and read the way the window does it: from a copy, within a budget that fits the check's time
// limit. A page over it is done with, as the window shows a placeholder and never asks again; the
// document's own text readers (which have no budget) run only on a page whose budgeted read ended.
int writeHostile(const QString& path)
{
    using test::TestPage;
    const QByteArray bytes =
        test::testPagesPdf({TestPage::plain, TestPage::giantDecode, TestPage::absurdImage, TestPage::slowDecode});
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? 0 : 2;
}

void exercisePage(const pdf::Page& page)
{
    const QSizeF size = page.displaySize();
    // A scale that keeps the picture small whatever size the page claims.
    const double scale = qBound(0.01, 200.0 / qMax(1.0, qMax(size.width(), size.height())), 1.0);
    if (pdf::isPermanent(page.render(scale, {}, kBudget).outcome))
        return;
    const std::shared_ptr<pdf::PageCapture> capture = pdf::PageCapture::take(page, true);
    if (!capture)
        return;
    const pdf::RecordResult recorded = capture->record(kBudget);
    if (recorded.snapshot && pdf::isPermanent(recorded.snapshot->render(scale, {}, kBudget).outcome))
        return;
    if (capture->readText(kBudget).outcome == pdf::RecordOutcome::recorded) {
        page.text();
        page.selection(page.cropBox());
    }
    for (const pdf::AnnotationPtr& annotation : page.annotations())
        annotation->bounds();
}

int handle(const QString& path, const QString& outDir)
{
    core::VMKDocument document;
    if (document.openFile(path)) {
        std::puts("refused");
        return 0;
    }
    pdf::DocumentPtr pdf = document.pdf();
    if (pdf->isLocked() && !pdf->unlock(QString())) {
        std::puts("locked");
        return 0;
    }
    const int count = pdf->pageCount();
    for (int i = 0; i < qMin(count, kPagesPerInput); ++i) {
        if (pdf::PagePtr page = pdf->page(i))
            exercisePage(*page);
    }
    if (pdf::PagePtr first = pdf->page(0)) {
        const QRectF box = first->cropBox();
        auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(box.center(), QSizeF(40, 30)));
        square->setColor(Qt::red);
        square->setContents(QString::fromLatin1(kMarker));
        first->addAnnotation(square);
        auto ink = pdf::Annotation::create(QStringLiteral("Ink"), QRectF(box.topLeft(), QSizeF(60, 60)));
        QPainterPath stroke;
        stroke.moveTo(box.topLeft());
        stroke.lineTo(box.topLeft() + QPointF(60, 60));
        ink->setPaths({stroke});
        first->addAnnotation(ink);
        first->setRotation(first->rotation() + 90);
        exercisePage(*first);
    }
    const QString out = QDir(outDir).filePath(QFileInfo(path).completeBaseName() + QStringLiteral("-saved.pdf"));
    if (auto error = document.saveToPath(out, platform::SaveOperation::SaveAs)) {
        std::printf("save refused: %s %s\n", qPrintable(error->message), qPrintable(error->recoverySuggestion));
        return 0;
    }
    // The saved copy opens, holds what was just done to it and draws again.
    const int rotation = pdf->page(0) ? pdf->page(0)->rotation() : 0;
    core::VMKDocument reopened;
    if (reopened.openFile(out)) {
        std::puts("save lost: the copy does not open");
        return 3;
    }
    if (reopened.pdf()->isLocked() && !reopened.pdf()->unlock(QString())) {
        std::puts("save lost: the copy does not unlock");
        return 3;
    }
    if (count > 0) {
        if (const QString lost = lostEdits(*reopened.pdf(), count, rotation); !lost.isEmpty()) {
            std::printf("save lost: %s\n", qPrintable(lost));
            return 3;
        }
        exercisePage(*reopened.pdf()->page(0));
    }
    std::puts("saved");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("OMP_THREAD_LIMIT", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VellumarkFuzz"));
    const QStringList args = QApplication::arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--seeds"))
        return writeSeeds(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("--hostile"))
        return writeHostile(args[2]);
    if (args.size() == 3) {
        const int code = handle(args[1], args[2]);
        // A decoder that was given up on may still be running; ending normally would pull the engine's
        // process-wide state from under it.
        if (pdf::PageCapture::abandonedDrawings() > 0) {
            std::fflush(stdout);
            std::_Exit(code);
        }
        return code;
    }
    std::fputs("usage: vmk_fuzz_target --seeds DIR | --hostile FILE | FILE OUTDIR\n", stderr);
    return 2;
}
