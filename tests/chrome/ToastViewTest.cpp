#include "chrome/FeedbackMarks.h"
#include "chrome/ToastView.h"
#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::chrome;

namespace {

struct ToastFixture {
    QTemporaryDir dir;
    platform::ManualScheduler scheduler;
    platform::UserDefaults defaults{dir.filePath(QStringLiteral("d.ini"))};
    core::VMKDocument document;
    std::unique_ptr<Editor> editor;

    ToastFixture()
    {
        pdf::DocumentPtr pdf = pdf::Document::createEmpty();
        pdf->insertPage(pdf::Page::createBlank(QRectF(0, 0, 612, 792)), 0);
        document.setPdf(pdf);
        editor = std::make_unique<Editor>(&document, Editor::CanvasFactory{}, &scheduler, &defaults);
    }
};

} // namespace

TEST(ToastView, MarkFollowsTheStyle)
{
    const Toast info{QUuid::createUuid(), QStringLiteral("crop"), QStringLiteral("Cropped."), Toast::Style::info};
    ToastView infoView(info, false);
    EXPECT_NE(qobject_cast<QLabel*>(infoView.markWidget()), nullptr);
    EXPECT_EQ(infoView.textLabel()->text(), QStringLiteral("Cropped."));
    EXPECT_EQ(infoView.accessibleName(), QStringLiteral("Cropped."));

    Toast success = info;
    success.style = Toast::Style::success;
    ToastView successView(success, false);
    auto* mark = qobject_cast<SuccessMark*>(successView.markWidget());
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->size(), 20);

    Toast merge = info;
    merge.style = Toast::Style::merge;
    Toast split = info;
    split.style = Toast::Style::split;
    ToastView mergeView(merge, false), splitView(split, false);
    ASSERT_NE(qobject_cast<MergeMark*>(mergeView.markWidget()), nullptr);
    EXPECT_FALSE(qobject_cast<MergeMark*>(mergeView.markWidget())->isSplit());
    EXPECT_TRUE(qobject_cast<MergeMark*>(splitView.markWidget())->isSplit());

    // Text shows as given, never as markup; a long one wraps in a wider capsule.
    Toast tagged = info;
    tagged.text = QStringLiteral("<b>Saved</b>");
    ToastView taggedView(tagged, false);
    EXPECT_EQ(taggedView.textLabel()->textFormat(), Qt::PlainText);
    Toast longer = info;
    longer.text = QString(QStringLiteral("A long message about what happened. ")).repeated(6);
    ToastView longView(longer, false);
    EXPECT_GT(longView.sizeHint().width(), infoView.sizeHint().width());
    EXPECT_TRUE(longView.textLabel()->wordWrap());
}

TEST(ToastOverlay, ShowsEachToastAndLetsItGoOnTime)
{
    ToastFixture f;
    ToastOverlay overlay(f.editor.get());
    overlay.setReduceMotionProvider([] { return false; });
    overlay.resize(600, 80);
    EXPECT_EQ(overlay.currentView(), nullptr);

    f.editor->showToast(QStringLiteral("Saved."), QStringLiteral("checkmark.circle"), Toast::Style::success);
    ASSERT_NE(overlay.currentView(), nullptr);
    EXPECT_EQ(overlay.currentView()->toast().text, QStringLiteral("Saved."));
    const QUuid firstId = overlay.currentView()->toast().id;
    EXPECT_EQ(overlay.entrance().durationMs, 420);

    // The same text again is a new toast with a new view, whose mark plays anew.
    f.scheduler.advance(1.0);
    f.editor->showToast(QStringLiteral("Saved."), QStringLiteral("checkmark.circle"), Toast::Style::success);
    ToastView* second = overlay.currentView();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->toast().id, firstId);
    EXPECT_EQ(second->toast().id, f.editor->toast()->id);
    EXPECT_EQ(overlay.leavingView(), nullptr); // replaced at once, not faded

    // Success toasts stay 3.2 s from when they were shown.
    f.scheduler.advance(3.1);
    EXPECT_NE(overlay.currentView(), nullptr);
    f.scheduler.advance(0.2);
    EXPECT_EQ(overlay.currentView(), nullptr);
    EXPECT_NE(overlay.leavingView(), nullptr);
    EXPECT_EQ(overlay.exit().durationMs, 250);
    // Once out, the view is let go while still whole (the bars lay out again at once and must not size a
    // view being taken apart), and deleted after.
    QPointer<ToastView> leaving = overlay.leavingView();
    bool forgottenWhileWhole = false;
    QObject::connect(&overlay, &ToastOverlay::contentChanged, &overlay, [&] {
        if (!overlay.leavingView() && leaving && !leaving->isHidden())
            forgottenWhileWhole = true;
    });
    ASSERT_TRUE(test::eventually([&] { return forgottenWhileWhole; }));
    ASSERT_TRUE(test::eventually([&] { return leaving.isNull(); }));

    // Info toasts stay 2.8 s.
    f.editor->showToast(QStringLiteral("Cropped."), QStringLiteral("crop"), Toast::Style::info);
    EXPECT_EQ(overlay.leavingView(), nullptr);
    f.scheduler.advance(2.79);
    EXPECT_NE(overlay.currentView(), nullptr);
    f.scheduler.advance(0.02);
    EXPECT_EQ(overlay.currentView(), nullptr);
}

TEST(ToastOverlay, ReducedMotionComesAndGoesInAShortEaseWithTheFinalMark)
{
    ToastFixture f;
    ToastOverlay overlay(f.editor.get());
    overlay.setReduceMotionProvider([] { return true; });
    overlay.resize(600, 80);
    f.editor->showToast(QStringLiteral("Pages merged."), QString(), Toast::Style::success);
    ASSERT_NE(overlay.currentView(), nullptr);
    EXPECT_EQ(overlay.entrance().durationMs, 200);
    EXPECT_EQ(overlay.entrance().easing.type(), QEasingCurve::InOutQuad);
    auto* mark = qobject_cast<SuccessMark*>(overlay.currentView()->markWidget());
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(mark->reduceMotion());
    mark->setElapsed(0.2);
    EXPECT_DOUBLE_EQ(mark->state().ring, 1.0);
    EXPECT_DOUBLE_EQ(mark->state().check, 1.0);
    EXPECT_EQ(mark->state().burst, 0.0);
    f.scheduler.advance(3.2);
    EXPECT_EQ(overlay.exit().durationMs, 200);
    ASSERT_TRUE(vmk::test::eventually([&] { return overlay.leavingView() == nullptr; }));
    EXPECT_EQ(overlay.sizeHint(), QSize(0, 0));
}
