// The fidelity guard's comparison, and how often the engine's rewrite of a page would trip it on pages
// with content that is easy to lose (shadings, patterns, inline images, several font kinds, TeX-like text).

#include "EditFixtures.h"

#include "core/pdfium/EditFidelity.h"
#include "core/pdfium/EditTextRules.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "support/FidelityPages.h"

#include <QFileInfo>
#include <QPainter>

#include <gtest/gtest.h>

#include <iostream>

using namespace vmk;
using namespace vmk::core;
using namespace vmk::editest;

namespace {

QImage canvas()
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(20.3, 20.3, 40, 40));
    return image;
}

std::optional<EditableTextBlock> blockAt(const PageEditModel& model, QPointF point)
{
    for (const EditableTextBlock& b : model.blocks)
        if (b.bounds.adjusted(-2, -2, 2, 2).contains(point))
            return b;
    return std::nullopt;
}

} // namespace

TEST(EditFidelity, AntialiasingPassesAndRealChangesCountOutsideTheEditedRegionOnly)
{
    const QImage before = canvas();
    EXPECT_TRUE(fidelity::compareImages(before, before, {}).intact);

    // The same drawing shifted by a fraction of a pixel: only edge pixels change, each near its old colour.
    QImage shifted(200, 100, QImage::Format_RGB32);
    shifted.fill(Qt::white);
    {
        QPainter p(&shifted);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::black);
        p.drawEllipse(QRectF(20.7, 20.6, 40, 40));
    }
    EXPECT_TRUE(fidelity::compareImages(before, shifted, {}).intact);

    // A lost mark outside the region counts; the same mark inside the region does not.
    QImage lost = before;
    {
        QPainter p(&lost);
        p.fillRect(QRect(120, 40, 6, 6), Qt::white);
        p.fillRect(QRect(20, 20, 42, 42), Qt::white);
    }
    QImage marked = before;
    QPainter(&marked).fillRect(QRect(120, 40, 6, 6), Qt::red);
    const fidelity::Verdict outside = fidelity::compareImages(marked, lost, {QRect(15, 15, 50, 50)});
    EXPECT_FALSE(outside.intact);
    EXPECT_EQ(outside.changedPixels, 36);
    EXPECT_EQ(outside.firstChange, QRect(120, 40, 6, 6));
    EXPECT_TRUE(fidelity::compareImages(marked, lost, {QRect(15, 15, 50, 50), QRect(118, 38, 10, 10)}).intact);

    // A darker tone everywhere is a change, however smooth.
    QImage darker = before;
    darker.fill(QColor(150, 150, 150));
    EXPECT_FALSE(fidelity::compareImages(before, darker, {}).intact);
    EXPECT_FALSE(fidelity::compareImages(before, before.scaled(100, 50), {}).intact);
}

TEST(EditFidelity, RegionsFollowTheCropAndTheTurnOfThePage)
{
    auto doc = pdf::Document::fromData(makeHelveticaPdf({{"x", {72, 700}}})).value();
    pdf::PagePtr page = doc->page(0);
    // Upright: y is flipped, scale 2.
    EXPECT_EQ(fidelity::pixelRegions(page, {QRectF(72, 700, 100, 20)}, 2.0).value(0),
              QRect(144, 2 * (792 - 720), 200, 40).adjusted(-1, -1, 1, 1));
    page->setRotation(90);
    // Turned clockwise: page x runs down the displayed page, page y runs right.
    EXPECT_EQ(fidelity::pixelRegions(page, {QRectF(72, 700, 100, 20)}, 1.0).value(0),
              QRect(700, 72, 20, 100).adjusted(-1, -1, 1, 1));
}

namespace {

struct Firing {
    int edits = 0;
    int fired = 0;
    QStringList on;
};

// Retypes the block of every generated page with its own text and with new text, and counts the edits after
// which the page changed visibly outside the block: the edits the guard refuses.
Firing guardFirings(PDFEditSession::Content content)
{
    Firing firing;
    for (const test::FidelityPage& sample : test::fidelityPages()) {
        for (const QString& typed : {sample.blockText, sample.blockText + QStringLiteral(" 2026")}) {
            auto opened = PDFEditSession::open(PDFEditSession::loadEngine(), sample.pdf, QString(), content);
            EXPECT_TRUE(opened.ok());
            if (!opened)
                return firing;
            auto& session = opened.value();
            const auto model = session->model(0);
            EXPECT_TRUE(model.ok()) << sample.name.toStdString();
            const auto block = model ? blockAt(model.value(), sample.blockPoint) : std::nullopt;
            EXPECT_TRUE(block) << sample.name.toStdString();
            if (!block)
                continue;
            const auto result = session->replaceText(*block, typed, 0);
            EXPECT_TRUE(result.ok()) << sample.name.toStdString();
            const auto saved = session->save();
            if (!result || !saved)
                continue;
            auto before = pdf::Document::fromData(sample.pdf).value();
            auto after = pdf::Document::fromData(saved.value()).value();
            const qreal m = std::max(2.0, 0.3 * block->fontSize);
            const QList<QRectF> regions{block->bounds.adjusted(-m, -m, m, m), result->newBounds.adjusted(-m, -m, m, m)};
            ++firing.edits;
            if (!fidelity::comparePages(before->page(0), after->page(0), regions).intact) {
                ++firing.fired;
                firing.on << sample.name;
            }
        }
    }
    return firing;
}

} // namespace

bool engineInBuild() { return QFileInfo::exists(PDFEditSession::pdfiumLibraryPath()); }

// Kept whole, the content is rewritten as a whole by the engine, which loses or alters what its object model
// does not carry: the guard must notice.
TEST(EditFidelity, TheGuardSeesWhatTheEngineDamagesWhenItRewritesTheWholePage)
{
    if (!engineInBuild())
        GTEST_SKIP() << "PDFium is not in this build";
    const Firing whole = guardFirings(PDFEditSession::Content::keptWhole);
    std::cout << "[fidelity] whole content: the guard refuses " << whole.fired << " of " << whole.edits << " edits ("
              << whole.on.join(QStringLiteral(", ")).toStdString() << ")" << std::endl;
    EXPECT_GT(whole.fired, whole.edits / 2);
}

// Cut per object, the engine rewrites only the stream of the retyped text: nothing else changes.
TEST(EditFidelity, SplitContentKeepsEveryOtherPartOfThePage)
{
    if (!engineInBuild())
        GTEST_SKIP() << "PDFium is not in this build";
    const Firing split = guardFirings(PDFEditSession::Content::split);
    std::cout << "[fidelity] split content: the guard refuses " << split.fired << " of " << split.edits << " edits ("
              << split.on.join(QStringLiteral(", ")).toStdString() << ")" << std::endl;
    EXPECT_EQ(split.fired, 0);
}
