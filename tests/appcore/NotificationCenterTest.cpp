#include "PublicManager/QVNotificationCenter.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>

TEST(NotificationCenterTest, DeliversAtOnceToTheObserversOfTheName)
{
    QVNotificationCenter center;
    QObject context;
    QStringList seen;
    center.addObserver(&context, QVNotificationName::MainSettingBtnClick, [&](const QVariantMap &info) {
        seen.append(QStringLiteral("settings ") + info.value(QVNotificationName::OpenStatusKey).toString());
    });
    center.addObserver(&context, QVNotificationName::MainDownLoadFileBtnClick, [&](const QVariantMap &info) {
        seen.append(QStringLiteral("download ") + info.value(QVNotificationName::OpenStatusKey).toString());
    });
    center.addObserver(&context, QVNotificationName::MainDownLoadSelectFile_Close,
                       [&](const QVariantMap &info) { seen.append(QStringLiteral("close %1").arg(info.size())); });
    center.addObserver(&context, QVNotificationName::MainDownLoadFileList_Jump, [&](const QVariantMap &info) {
        seen.append(QStringLiteral("jump ") + info.value(QVNotificationName::JumpFromKey).toString());
    });

    center.postNotificationName(QStringLiteral("MainSettingBtnClick"), {{QStringLiteral("openStatus"), "1"}});
    EXPECT_EQ(seen, QStringList{"settings 1"});
    center.postNotificationName(QStringLiteral("MainDownLoadFileBtnClick"), {{QStringLiteral("openStatus"), "0"}});
    center.postNotificationName(QStringLiteral("MainDownLoadSelectFile_Close"));
    center.postNotificationName(QStringLiteral("MainDownLoadFileList_Jump"), {{QStringLiteral("jumpFrom"), "share"}});
    center.postNotificationName(QStringLiteral("SomethingElse"));
    EXPECT_EQ(seen, (QStringList{"settings 1", "download 0", "close 0", "jump share"}));
}

TEST(NotificationCenterTest, ObserversGoWithTheirContextOrOnRequest)
{
    QVNotificationCenter center;
    auto context = std::make_unique<QObject>();
    QObject other;
    int first = 0;
    int second = 0;
    center.addObserver(context.get(), QStringLiteral("N"), [&](const QVariantMap &) { ++first; });
    center.addObserver(&other, QStringLiteral("N"), [&](const QVariantMap &) { ++second; });
    center.postNotificationName(QStringLiteral("N"));
    context.reset();
    center.postNotificationName(QStringLiteral("N"));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);

    center.removeObserver(&other, QStringLiteral("Other"));
    center.postNotificationName(QStringLiteral("N"));
    EXPECT_EQ(second, 3);
    center.removeObserver(&other);
    center.postNotificationName(QStringLiteral("N"));
    EXPECT_EQ(second, 3);
}

TEST(NotificationCenterTest, AnObserverMayRemoveOthersAndPostFromItsCallback)
{
    // The browser's confirm: "closed" first, whose handling posts the close
    // of the selection page; then the jump.
    QVNotificationCenter center;
    QObject delegateContext;
    QObject pageContext;
    QStringList order;
    center.addObserver(&delegateContext, QVNotificationName::MainDownLoadFileBtnClick, [&](const QVariantMap &info) {
        order.append(QStringLiteral("closed"));
        if (!QVNotificationCenter::boolValue(info.value(QVNotificationName::OpenStatusKey)))
            center.postNotificationName(QVNotificationName::MainDownLoadSelectFile_Close);
    });
    center.addObserver(&pageContext, QVNotificationName::MainDownLoadSelectFile_Close, [&](const QVariantMap &) {
        order.append(QStringLiteral("selection closed"));
    });
    center.addObserver(&pageContext, QVNotificationName::MainDownLoadFileList_Jump, [&](const QVariantMap &) {
        order.append(QStringLiteral("jump"));
        center.removeObserver(&pageContext);
    });
    center.addObserver(&pageContext, QVNotificationName::MainDownLoadFileList_Jump, [&](const QVariantMap &) {
        order.append(QStringLiteral("removed observer called"));
    });

    center.postNotificationName(QVNotificationName::MainDownLoadFileBtnClick, {{QVNotificationName::OpenStatusKey, "0"}});
    center.postNotificationName(QVNotificationName::MainDownLoadFileList_Jump, {{QVNotificationName::JumpFromKey, "main"}});
    center.postNotificationName(QVNotificationName::MainDownLoadFileList_Jump, {{QVNotificationName::JumpFromKey, "main"}});
    EXPECT_EQ(order, (QStringList{"closed", "selection closed", "jump"}));
}

TEST(NotificationCenterTest, OpenStatusIsReadAsAYesOrNo)
{
    using C = QVNotificationCenter;
    EXPECT_TRUE(C::boolValue(QStringLiteral("1")));
    EXPECT_FALSE(C::boolValue(QStringLiteral("0")));
    EXPECT_FALSE(C::boolValue(QVariant()));
    EXPECT_FALSE(C::boolValue(QStringLiteral("")));
    EXPECT_FALSE(C::boolValue(QStringLiteral("no")));
    EXPECT_TRUE(C::boolValue(QStringLiteral("YES")));
    EXPECT_TRUE(C::boolValue(QStringLiteral("true")));
    EXPECT_TRUE(C::boolValue(QStringLiteral("  007")));
    EXPECT_FALSE(C::boolValue(QStringLiteral("000")));
    EXPECT_TRUE(C::boolValue(1));
    EXPECT_TRUE(C::boolValue(true));
    EXPECT_FALSE(C::boolValue(false));
}
