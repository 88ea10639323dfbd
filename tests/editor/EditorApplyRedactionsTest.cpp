#include "LongTaskTestSupport.h"

#include "core/SystemAnnotations.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

struct RedactFixture : EditorFixture {
    PanelWindow panels;
    std::shared_ptr<HeldRunner> runner = std::make_shared<HeldRunner>();

    explicit RedactFixture(pdf::DocumentPtr pdf) : EditorFixture(std::move(pdf))
    {
        editor->setWindowController(&panels);
        editor->setDetachedRunner(runner);
    }
    ~RedactFixture() { editor->setWindowController(nullptr); }

    pdf::AnnotationPtr mark(int page, const QRectF& bounds)
    {
        pdf::AnnotationPtr annotation = core::RedactionMarkAnnotation::create(bounds);
        this->page(page)->addAnnotation(annotation);
        editor->annotationsChanged(this->page(page));
        return annotation;
    }
};

} // namespace

TEST(EditorApplyRedactions, TheConfirmationCountsAreasAndPages)
{
    RedactFixture f(blankDocument(8, QSizeF(200, 100)));
    f.panels.alertAnswer = 1; // Cancel
    f.editor->confirmRedactions();
    EXPECT_TRUE(f.panels.alerts.isEmpty());
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Nothing marked yet. Drag across what you want gone."));

    f.mark(1, QRectF(10, 10, 20, 20));
    f.editor->confirmRedactions();
    ASSERT_EQ(f.panels.alerts.size(), 1);
    EXPECT_EQ(f.panels.alerts[0].message, QStringLiteral("Redact 1 area?"));
    EXPECT_EQ(f.panels.alerts[0].buttons, QStringList({QStringLiteral("Redact"), QStringLiteral("Cancel")}));
    EXPECT_EQ(f.panels.alerts[0].destructiveButton, 0);

    for (int i = 0; i < 3; ++i)
        f.mark(1 + (i % 2) * 5, QRectF(40 + 20 * i, 10, 10, 10));
    f.mark(6, QRectF(10, 50, 20, 20));
    f.editor->confirmRedactions();
    ASSERT_EQ(f.panels.alerts.size(), 2);
    EXPECT_EQ(f.panels.alerts[1].message, QStringLiteral("Redact 5 areas?"));
    EXPECT_TRUE(f.panels.alerts[1].informativeText.contains(QStringLiteral("Affected pages (2) become images")));
    EXPECT_TRUE(f.panels.alerts[1].informativeText.endsWith(QStringLiteral("once it\u2019s saved, it\u2019s gone.")));
    // Cancelled: nothing runs.
    EXPECT_FALSE(f.editor->progress().has_value());
    EXPECT_EQ(f.runner->held(), 0);

    // "Redact" walks the affected pages, counted 1 and 2 of 2, with no Stop.
    f.panels.alertAnswer = 0;
    f.editor->confirmRedactions();
    ASSERT_TRUE(f.editor->progress().has_value());
    EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Redacting page 1 of 2\u2026"));
    EXPECT_FALSE(bool(f.editor->progress()->cancel));
    f.runner->runNext();
    EXPECT_EQ(f.editor->progress()->title, QStringLiteral("Redacting page 2 of 2\u2026"));
    EXPECT_DOUBLE_EQ(*f.editor->progress()->fraction, 0.5);

    // The alert still shows while a task runs, but Redact then does nothing more.
    f.editor->confirmRedactions();
    EXPECT_EQ(f.panels.alerts.size(), 4);
    EXPECT_EQ(f.runner->held(), 1);
    ASSERT_TRUE(f.runner->finish(*f.editor));
    EXPECT_FALSE(f.editor->progress().has_value());
    EXPECT_TRUE(f.editor->redactionMarks().isEmpty());
}

TEST(EditorApplyRedactions, BlackensTheMarksDropsWhatTheyTouchAndUndoesInOneStep)
{
    RedactFixture f(blankDocument(2, QSizeF(200, 100)));
    const pdf::PagePtr old = f.page(0);
    const pdf::PagePtr untouched = f.page(1);
    const pdf::AnnotationPtr mark = f.mark(0, QRectF(20, 20, 40, 30));
    // Within a point of the mark without overlapping it: dropped with the blackened area.
    const pdf::AnnotationPtr nearby = pdf::Annotation::create(QStringLiteral("Square"), QRectF(60.5, 20, 20, 20));
    const pdf::AnnotationPtr elsewhere = pdf::Annotation::create(QStringLiteral("Square"), QRectF(150, 60, 20, 20));
    old->addAnnotation(nearby);
    old->addAnnotation(elsewhere);

    f.editor->applyRedactions();
    ASSERT_TRUE(f.runner->finish(*f.editor));
    EXPECT_FALSE(f.editor->progress().has_value());
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_EQ(f.editor->toast()->text, QStringLiteral("Redacted. Gone for good once you save."));
    // Rebuilt in place: the same page object now shows the picture.
    const pdf::PagePtr redacted = f.page(0);
    ASSERT_EQ(redacted, old);
    EXPECT_EQ(f.page(1), untouched);
    EXPECT_EQ(elsewhere->page(), redacted);
    EXPECT_EQ(nearby->page(), nullptr);
    EXPECT_TRUE(f.editor->redactionMarks().isEmpty());

    // Black inside the mark (page y up, image y down), white outside it.
    const QImage image = redacted->render(1.0);
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_LT(qGray(image.pixel(40, 100 - 35)), 40);
    EXPECT_GT(qGray(image.pixel(120, 100 - 35)), 200);

    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Apply Redactions"));
    f.undo().undo();
    EXPECT_EQ(f.page(0), old);
    EXPECT_EQ(mark->page(), old);
    EXPECT_EQ(nearby->page(), old);
    EXPECT_EQ(f.editor->redactionMarks().size(), 1);
    EXPECT_GT(qGray(old->render(1.0, pdf::RenderOptions{false, {}}).pixel(40, 100 - 35)), 200);
    f.undo().redo();
    EXPECT_EQ(f.page(0), redacted);
    EXPECT_LT(qGray(old->render(1.0).pixel(40, 100 - 35)), 40);
    EXPECT_TRUE(f.editor->redactionMarks().isEmpty());
}

TEST(EditorApplyRedactions, MarksOnATurnedPageLandWhereTheyWereDrawn)
{
    RedactFixture f(blankDocument(1, QSizeF(200, 100)));
    f.page(0)->setRotation(90);
    f.mark(0, QRectF(0, 0, 50, 20)); // the page's lower left corner in page space
    f.editor->applyRedactions();
    ASSERT_TRUE(f.runner->finish(*f.editor));
    const QImage image = f.page(0)->render(1.0);
    ASSERT_EQ(image.size(), QSize(100, 200));
    // Turned a quarter clockwise, the lower left corner of the page shows at the upper left.
    EXPECT_LT(qGray(image.pixel(5, 5)), 40);
    EXPECT_GT(qGray(image.pixel(95, 195)), 200);
}

TEST(EditorApplyRedactions, ARunThatRebuildsNothingSaysSoAndLeavesNoUndo)
{
    RedactFixture f(blankDocument(2, QSizeF(200, 100)));
    f.mark(0, QRectF(20, 20, 40, 30));
    f.editor->applyRedactions();
    // The marked page leaves the document before its picture comes back.
    f.editor->deletePages({0});
    f.endGroup();
    f.runner->runAll();
    EXPECT_FALSE(f.editor->progress().has_value());
    ASSERT_TRUE(f.editor->toast().has_value());
    EXPECT_NE(f.editor->toast()->text, QStringLiteral("Redacted. Gone for good once you save."));
    EXPECT_NE(f.undo().undoActionName(), QStringLiteral("Apply Redactions"));
}
