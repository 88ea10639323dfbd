#include "EditorTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

TEST(EditorToasts, EachToastKeepsItsOwnFullTime)
{
    EditorFixture f;
    Editor& e = *f.editor;
    e.showToast(QStringLiteral("Saved."), QStringLiteral("checkmark"), Toast::Style::info);
    const QUuid first = e.toast()->id;
    f.scheduler.advance(2.79);
    ASSERT_TRUE(e.toast().has_value());
    f.scheduler.advance(0.02);
    EXPECT_FALSE(e.toast().has_value());

    e.showToast(QStringLiteral("Merged."), QStringLiteral("doc"), Toast::Style::merge);
    f.scheduler.advance(3.19);
    EXPECT_TRUE(e.toast().has_value());
    f.scheduler.advance(0.02);
    EXPECT_FALSE(e.toast().has_value());

    // The same text twice 2 s apart: the first timer finds another id and leaves the second alone.
    e.showToast(QStringLiteral("Saved."), QStringLiteral("checkmark"), Toast::Style::info);
    f.scheduler.advance(2.0);
    e.showToast(QStringLiteral("Saved."), QStringLiteral("checkmark"), Toast::Style::info);
    const QUuid second = e.toast()->id;
    EXPECT_NE(second, first);
    f.scheduler.advance(1.0);
    ASSERT_TRUE(e.toast().has_value());
    EXPECT_EQ(e.toast()->id, second);
    f.scheduler.advance(1.81);
    EXPECT_FALSE(e.toast().has_value());
}

TEST(EditorToasts, ProgressPillShowsOnlyAfterFourTenths)
{
    EditorFixture f;
    Editor& e = *f.editor;
    e.setProgress(TaskProgress{TaskProgress::Kind::ocr, QStringLiteral("Reading page 1 of 3"), 0.0, {}});
    f.scheduler.advance(0.39);
    EXPECT_FALSE(e.progressVisible());
    // An update does not restart the delay.
    e.setProgress(TaskProgress{TaskProgress::Kind::ocr, QStringLiteral("Reading page 2 of 3"), 0.5, {}});
    f.scheduler.advance(0.02);
    EXPECT_TRUE(e.progressVisible());
    e.setProgress(std::nullopt);
    EXPECT_FALSE(e.progressVisible());

    // A task that ends within 0.3 s never shows the pill.
    e.setProgress(TaskProgress{});
    f.scheduler.advance(0.3);
    e.setProgress(std::nullopt);
    f.scheduler.advance(1);
    EXPECT_FALSE(e.progressVisible());
}
