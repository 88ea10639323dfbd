// The document window at its default, a large and its smallest size, light and dark: in every mode, with
// every tool and the selections that change the inspector, nothing is cut off, squeezed or piled up.

#include "WindowFixture.h"

#include "app/Appearance.h"
#include "chrome/Transition.h"
#include "core/SystemAnnotations.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "signatures/SignatureArtwork.h"
#include "signatures/SignatureStore.h"
#include "signatures/SignatureStyles.h"
#include "support/LayoutCheck.h"

#include <QApplication>
#include <QMainWindow>
#include <QSet>
#include <QTest>

#include <cmath>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;
using namespace vmk::app::test;

namespace {

const char* modeName(EditorMode mode)
{
    static const char* names[] = {"Read", "Annotate", "Edit", "Sign", "Pages", "Redact"};
    return names[int(mode)];
}

struct Walk {
    ShownWindow& app;
    QStringList found;
    QString where;

    void check(const QString& state)
    {
        app.settle();
        // Where the pieces rest is what counts: motions still under way are taken to their end.
        for (auto* motion : app.w->documentWindow()->findChildren<chrome::PieceTransition*>())
            motion->finish();
        app.settle();
        for (const QString& problem : vmk::test::layoutProblems(app.w->documentWindow()))
            found << QStringLiteral("[%1, %2] %3").arg(where, state, problem);
    }

    void everyState()
    {
        Editor* e = app.editor();
        const pdf::PagePtr page = e->pdfDocument()->page(0);
        for (int m = 0; m < 6; ++m) {
            const EditorMode mode = EditorMode(m);
            app.w->applyMode(mode);
            check(QString::fromLatin1(modeName(mode)));
            if (mode == EditorMode::annotate) {
                for (Tool tool : {Tool::select, Tool::highlight, Tool::underline, Tool::strikeOut, Tool::pen,
                                  Tool::rectangle, Tool::ellipse, Tool::line, Tool::arrow, Tool::note, Tool::text, Tool::crop}) {
                    e->setTool(tool);
                    check(QStringLiteral("tool %1").arg(int(tool)));
                }
                e->setTool(Tool::select);
                e->addShape(Tool::rectangle, page, {100, 100}, {200, 160});
                check(QStringLiteral("a selected rectangle"));
                pdf::AnnotationPtr box = pdf::Annotation::create(QStringLiteral("FreeText"), QRectF(100, 300, 200, 60));
                box->setContents(QStringLiteral("Please check these figures."));
                e->addAnnotation({{box, page}}, QStringLiteral("Add"));
                e->setSelectedAnnotation(box);
                check(QStringLiteral("a selected text box"));
                e->setSelectedAnnotation(nullptr);
            }
            if (mode == EditorMode::redact) {
                pdf::AnnotationPtr mark = core::RedactionMarkAnnotation::create(QRectF(100, 500, 120, 30));
                e->addAnnotation({{mark, page}}, QStringLiteral("Mark for Redaction"));
                e->setSelectedAnnotation(mark);
                check(QStringLiteral("a selected redaction mark"));
                e->setSelectedAnnotation(nullptr);
            }
        }
        app.w->applyMode(EditorMode::read);
        for (SidebarTab tab : {SidebarTab::outline, SidebarTab::search, SidebarTab::thumbnails}) {
            e->setSidebarTab(tab);
            check(QStringLiteral("sidebar tab %1").arg(int(tab)));
        }
        e->showToast(QStringLiteral("Page 123456789012345 is out of range. This document has 3 pages, so pick one of those."),
                     QStringLiteral("exclamationmark.triangle"), Toast::Style::info);
        check(QStringLiteral("a long toast"));
        e->setShowScanSuggestion(true);
        check(QStringLiteral("the scan banner"));
        e->setShowScanSuggestion(false);
    }
};

} // namespace

TEST(Layout, EveryPanelBarAndOverlayFitsAtEverySizeInEveryModeLightAndDark)
{
    ShownWindow app(3);
    // A saved signature gives the inspector's signature rows something to show.
    signatures::InkStroke stroke;
    for (int k = 0; k <= 30; ++k)
        stroke.append({QPointF(10 + 9.0 * k, 30 + 12 * std::sin(k / 3.0)), 2.2});
    const auto saved = signatures::SignatureStore::shared().add(
        signatures::inkSignaturePDF({stroke}, signatures::signatureInkColors()[0].color).value_or(QByteArray()));
    QMainWindow* window = app.w->documentWindow();
    app.w->setSidebarCollapsed(false);
    app.w->setInspectorCollapsed(false);
    QTest::qWait(700); // the canvas rises into place once, when the window first shows
    app.settle();
    Walk walk{app, {}, {}};
    const QPalette original = QApplication::palette();
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : lightPalette());
        // What the window manager lets the user shrink it to.
        const QSize smallest = window->minimumSize();
        for (const QSize size : {QSize(1600, 1000), QSize(1180, 820), smallest}) {
            window->resize(size);
            app.settle();
            walk.where = QStringLiteral("%1 %2×%3").arg(dark ? "dark" : "light").arg(window->width()).arg(window->height());
            walk.everyState();
        }
    }
    QApplication::setPalette(original);
    if (saved)
        signatures::SignatureStore::shared().remove(saved->id);
    // Each distinct fault once, with the first state that showed it.
    QStringList distinct;
    QSet<QString> seen;
    for (const QString& problem : walk.found) {
        const QString fault = problem.mid(problem.indexOf(QLatin1Char(']')) + 2);
        if (!seen.contains(fault)) {
            seen.insert(fault);
            distinct << problem;
        }
    }
    EXPECT_TRUE(walk.found.isEmpty()) << walk.found.size() << " problems, " << distinct.size() << " distinct:\n"
                                      << distinct.mid(0, 80).join(QLatin1Char('\n')).toStdString();
}

TEST(Layout, ANarrowWindowFoldsItsSidePanesRatherThanCuttingThemOff)
{
    ShownWindow app(2);
    QMainWindow* window = app.w->documentWindow();
    window->resize(1180, 820);
    app.w->setSidebarCollapsed(false);
    app.w->setInspectorCollapsed(false);
    app.settle();
    QWidget* canvas = app.editor()->pdfView()->canvasWidget();

    // The smallest window: the inspector folds, the sidebar and the canvas keep their room.
    window->resize(window->minimumSize());
    app.settle();
    EXPECT_LE(window->width(), 700);
    EXPECT_TRUE(app.w->isInspectorCollapsed());
    EXPECT_FALSE(app.w->isSidebarCollapsed());
    EXPECT_GE(canvas->width(), 360);
    EXPECT_EQ(vmk::test::layoutReport(window), "");

    // Opening the inspector there folds the sidebar instead.
    app.w->setInspectorCollapsed(false);
    app.settle();
    EXPECT_FALSE(app.w->isInspectorCollapsed());
    EXPECT_TRUE(app.w->isSidebarCollapsed());
    EXPECT_GE(canvas->width(), 360);
    EXPECT_EQ(vmk::test::layoutReport(window), "");

    // What was folded for want of room is still open as far as the saved state goes, and comes back
    // when the window grows.
    const QVariantMap saved = app.defaults.dictionary(QStringLiteral("VellumarkSplit"));
    EXPECT_FALSE(saved.value(QStringLiteral("sidebarCollapsed")).toBool());
    EXPECT_FALSE(saved.value(QStringLiteral("inspectorCollapsed")).toBool());
    window->resize(1180, 820);
    app.settle();
    EXPECT_FALSE(app.w->isSidebarCollapsed());
    EXPECT_FALSE(app.w->isInspectorCollapsed());

    // A pane the user closed stays closed when room returns.
    window->resize(window->minimumSize());
    app.settle();
    app.w->setSidebarCollapsed(true);
    window->resize(1180, 820);
    app.settle();
    EXPECT_TRUE(app.w->isSidebarCollapsed());
    EXPECT_FALSE(app.w->isInspectorCollapsed());
}
