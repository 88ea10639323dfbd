#include "platform/services/NotificationCenter.h"

#include <QObject>
#include <gtest/gtest.h>

using vmk::platform::Notification;
using vmk::platform::NotificationCenter;

TEST(NotificationCenter, ObserversFilterByNameAndSender)
{
    NotificationCenter center;
    int a = 0, b = 0;
    QStringList all;
    QVariantMap info;
    center.addObserver("Vellumark.beginGoToPage", &a, [&](const Notification& n) { ++a; info = n.userInfo; });
    center.addObserver("Vellumark.beginGoToPage", nullptr, [&](const Notification&) { ++b; });
    center.addObserver({}, nullptr, [&](const Notification& n) { all << n.name; });

    center.post("Vellumark.beginGoToPage", &b, {{"page", 2}});
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    center.post("Vellumark.beginGoToPage", &a, {{"page", 5}});
    EXPECT_EQ(a, 1);
    EXPECT_EQ(info.value("page").toInt(), 5);
    center.post("Vellumark.documentsChanged");
    EXPECT_EQ(b, 2);
    EXPECT_EQ(all, (QStringList{"Vellumark.beginGoToPage", "Vellumark.beginGoToPage", "Vellumark.documentsChanged"}));
}

TEST(NotificationCenter, RemovalDuringDeliveryAndContextLifetime)
{
    NotificationCenter center;
    int first = 0, second = 0, late = 0;
    NotificationCenter::Token secondToken = 0;
    // The first observer removes the second and itself and adds another while the post is delivered.
    NotificationCenter::Token firstToken = 0;
    firstToken = center.addObserver("x", nullptr, [&](const Notification&) {
        ++first;
        center.removeObserver(secondToken);
        center.removeObserver(firstToken);
        center.addObserver("x", nullptr, [&](const Notification&) { ++late; });
    });
    secondToken = center.addObserver("x", nullptr, [&](const Notification&) { ++second; });
    center.post("x");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(late, 0);
    center.post("x");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(late, 1);

    int contextCalls = 0;
    {
        QObject context;
        center.addObserver("y", nullptr, [&](const Notification&) { ++contextCalls; }, &context);
        center.post("y");
    }
    center.post("y");
    EXPECT_EQ(contextCalls, 1);
    EXPECT_EQ(center.observerCount(), 1);
}
