// What a second launch hands over is opened as given only when it names a file unambiguously: a relative
// path means the sender's folder, which the receiving process cannot know, so it is dropped.

#include "platform/services/SingleInstance.h"

#include <QCoreApplication>
#include <QUuid>

#include <gtest/gtest.h>

#include <future>

using vmk::platform::SingleInstance;

TEST(HandOverPaths, OnlyAbsolutePathsReachTheRunningProcess)
{
    const QString name = QStringLiteral("handover-") + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance running(name);
    ASSERT_TRUE(running.claim());
    ASSERT_TRUE(running.isListening());
    QStringList received;
    running.setHandler([&](const QStringList& paths) {
        received = paths;
        return paths;
    });

    const QStringList sent = {QStringLiteral("notes.pdf"), QStringLiteral("../up.pdf"), QStringLiteral("/tmp/a.pdf"),
                              QStringLiteral("~/b.pdf"), QString()};
    auto answer = std::async(std::launch::async, [&] { return SingleInstance::handOver(name, sent, 5000); });
    while (answer.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        QCoreApplication::processEvents();
    const auto open = answer.get();
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(received, QStringList({QStringLiteral("/tmp/a.pdf")}));
    EXPECT_EQ(*open, received);
}
