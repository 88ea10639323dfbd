#include "SheetTestSupport.h"
#include "support/LayoutCheck.h"

#include "panels/CompressSheet.h"
#include "panels/InspectorView.h"
#include "panels/OutlineSidebar.h"
#include "panels/PasswordSheet.h"
#include "panels/SidebarView.h"
#include "platform/pdf/document/Annotation.h"
#include "signatures/SignatureArtwork.h"
#include "signatures/SignatureStore.h"
#include "signatures/SignatureStyles.h"

#include <QCoreApplication>
#include <QImage>
#include <QTreeWidget>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

namespace {

// Saves a picture of the widget for a person to look at; checks that something was drawn and that
// nothing in it is cut off, squeezed or piled up.
void shoot(QWidget& widget, const QString& name)
{
    widget.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(vmk::test::layoutReport(&widget), "") << name.toStdString();
    const QImage image = widget.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(screenshotPath(name)));
    int distinct = 0;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height() && distinct == 0; y += 3)
        for (int x = 0; x < image.width(); x += 3)
            if (image.pixel(x, y) != first) {
                ++distinct;
                break;
            }
    EXPECT_GT(distinct, 0) << name.toStdString();
}

pdf::OutlineItem entry(const QString& label, const pdf::PagePtr& page, QList<pdf::OutlineItem> children = {})
{
    pdf::OutlineItem item;
    item.label = label;
    item.destination = pdf::Destination{page, {}};
    item.children = std::move(children);
    return item;
}

} // namespace

TEST(PanelScreenshots, SidebarTabs)
{
    PanelFixture f(12);
    f.pdf()->setOutline(entry(QString(), nullptr,
                              {entry("Introduction", f.page(0)),
                               entry("Getting started with the quarterly report and its long appendices", f.page(2),
                                     {entry("Installing", f.page(3)), entry("First steps", f.page(4))}),
                               entry("Reference", f.page(9))}));
    SidebarView view(f.editor.get(), [](Editor*) {
        auto* w = new QLabel(QStringLiteral("(thumbnails)"));
        w->setAlignment(Qt::AlignCenter);
        return w;
    });
    view.resize(240, 420);
    view.show();
    f.scheduler.runDue();
    shoot(view, QStringLiteral("sidebar-thumbnails.png"));
    f.editor->setSidebarTab(SidebarTab::outline);
    view.outlineList()->tree()->expandAll();
    shoot(view, QStringLiteral("sidebar-outline.png"));
    f.editor->setSidebarTab(SidebarTab::search);
    shoot(view, QStringLiteral("sidebar-search-empty.png"));
    f.editor->setSearchText(QStringLiteral("report"));
    QList<SearchHit> hits;
    for (int i = 0; i < 9; ++i) {
        SearchHit h;
        h.id = i;
        h.pageIndex = i;
        h.snippet = QStringLiteral("…the quarterly report shows growth across every region and");
        h.matchStart = 15;
        h.matchLength = 6;
        hits << h;
    }
    f.editor->setSearchHits(hits);
    f.editor->selectHit(2);
    shoot(view, QStringLiteral("sidebar-search-hits.png"));
}

TEST(PanelScreenshots, InspectorStatesAndSheets)
{
    PanelFixture f(4);
    QTemporaryDir storeDir;
    signatures::SignatureStore store(storeDir.path());
    signatures::InkStroke stroke;
    for (int k = 0; k <= 30; ++k)
        stroke.append({QPointF(10 + 4.0 * k, 30 + 12 * std::sin(k / 3.0)), 2.2});
    store.add(signatures::inkSignaturePDF({stroke}, signatures::signatureInkColors()[0].color).value_or(QByteArray()));

    // At the pane's default width.
    InspectorView view(f.editor.get(), &store);
    view.resize(250, 640);
    shoot(view, QStringLiteral("inspector-read.png"));
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::pen);
    shoot(view, QStringLiteral("inspector-annotate-pen.png"));

    pdf::AnnotationPtr box = pdf::Annotation::create(QStringLiteral("FreeText"), QRectF(100, 100, 200, 60));
    box->setContents(QStringLiteral("Please check these figures."));
    f.editor->addAnnotation({{box, f.page(0)}}, QStringLiteral("Add"));
    f.editor->setSelectedAnnotation(box);
    shoot(view, QStringLiteral("inspector-selected-textbox.png"));

    f.editor->setSelectedAnnotation(nullptr);
    f.editor->setMode(EditorMode::sign);
    shoot(view, QStringLiteral("inspector-sign.png"));

    PasswordSheet password(f.editor.get(), [] {});
    password.passwordField()->setText(QStringLiteral("abc"));
    password.verifyField()->setText(QStringLiteral("ab"));
    shoot(password, QStringLiteral("sheet-password.png"));

    auto runner = std::make_shared<HeldWork>();
    f.editor->setDetachedRunner(runner);
    CompressSheet compress(f.editor.get(), [] {});
    compress.show();
    runner->runAll();
    shoot(compress, QStringLiteral("sheet-compress.png"));
}
