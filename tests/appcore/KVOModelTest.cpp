#include "Main/Model/QVKVOModel.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

TEST(KVOModelTest, EveryWriteIsToldAlsoWithAnUnchangedValue)
{
    QVKVOModel model;
    QSignalSpy statusSpy(&model, &QVKVOModel::connectDeviceStatusChanged);
    model.setConnectDeviceStatus(3);
    model.setConnectDeviceStatus(3);
    ASSERT_EQ(statusSpy.count(), 2);
    EXPECT_EQ(statusSpy.at(1).at(0).toLongLong(), 3);

    QSignalSpy flagSpy(&model, &QVKVOModel::fileDoesNotExistChanged);
    model.setFileDoesNotExist(false);
    model.setFileDoesNotExist(true);
    ASSERT_EQ(flagSpy.count(), 2);
    EXPECT_FALSE(flagSpy.at(0).at(0).toBool());
    EXPECT_TRUE(flagSpy.at(1).at(0).toBool());
}

TEST(KVOModelTest, EachKeyIsAPropertyWithItsOwnSignal)
{
    QVKVOModel model;
    const QStringList keys = {"fileDoesNotExist",    "uploadSuccess_deleteFail", "downLoadFileDoesNotExist",
                              "localFileDoesNotExist", "deviceList",            "replyCastStatus",
                              "allowFullScreenStatus", "fullScreenStatus",      "fullScreenStatusStyle",
                              "castScreenStatus",    "disconnectDeviceType",    "networkStatus",
                              "connectDeviceStatus", "versionInfoModel"};
    const QMetaObject *meta = model.metaObject();
    for (const QString &key : keys) {
        const int index = meta->indexOfProperty(key.toLatin1().constData());
        ASSERT_GE(index, 0) << key.toStdString();
        const QMetaProperty property = meta->property(index);
        ASSERT_TRUE(property.hasNotifySignal()) << key.toStdString();
        EXPECT_EQ(QString::fromLatin1(property.notifySignal().name()), key + QStringLiteral("Changed"));
    }
    // Writes through the property system tell as the setters do.
    QSignalSpy spy(&model, &QVKVOModel::replyCastStatusChanged);
    EXPECT_TRUE(model.setProperty("replyCastStatus", qint64(0)));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(model.replyCastStatus(), 0);
}

TEST(KVOModelTest, DefaultsAreWrittenSilently)
{
    QVKVOModel model(60000, nullptr);
    model.setReplyCastStatus(0);
    model.setCastScreenStatus(0);
    model.setNetworkStatus(1);
    model.setFullScreenStatusStyle(1);
    QSignalSpy replySpy(&model, &QVKVOModel::replyCastStatusChanged);
    QSignalSpy castSpy(&model, &QVKVOModel::castScreenStatusChanged);
    model.setDefaultValue();
    EXPECT_EQ(model.replyCastStatus(), 1);
    EXPECT_EQ(model.castScreenStatus(), 1);
    EXPECT_EQ(model.networkStatus(), 2);
    EXPECT_EQ(model.fullScreenStatusStyle(), 1);
    EXPECT_EQ(replySpy.count(), 0);
    EXPECT_EQ(castSpy.count(), 0);
}

TEST(KVOModelTest, ObserversAreToldOnTheWritingThread)
{
    QVKVOModel model;
    QThread *seen = nullptr;
    QObject::connect(&model, &QVKVOModel::localFileDoesNotExistChanged, &model,
                     [&] { seen = QThread::currentThread(); }, Qt::DirectConnection);
    std::thread writer([&] { model.setLocalFileDoesNotExist(true); });
    const std::thread::id writerId = writer.get_id();
    writer.join();
    ASSERT_NE(seen, nullptr);
    EXPECT_NE(seen, QThread::currentThread());
    (void)writerId;
}

TEST(KVOModelTest, TheResetComesAfterItsDelayAndASecondDisconnectMovesIt)
{
    QVKVOModel model(150, nullptr);
    QElapsedTimer clock;
    model.setCastScreenStatus(0);
    clock.start();
    model.setDisconnectDeviceType(2);
    EXPECT_TRUE(model.isResetPending());
    EXPECT_EQ(model.castScreenStatus(), 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.disconnectDeviceType() == 4; }));
    EXPECT_GE(clock.elapsed(), 140);
    EXPECT_EQ(model.castScreenStatus(), 1);

    // A reset brought forward leaves nothing behind to run later.
    model.setDisconnectDeviceType(0);
    model.applyPendingReset();
    EXPECT_FALSE(model.isResetPending());
    EXPECT_EQ(model.disconnectDeviceType(), 4);
    model.setCastScreenStatus(0);
    TestSupport::spin(300); // past the delay, for a reset that must not come
    EXPECT_EQ(model.castScreenStatus(), 0);

    // Without a pending reset, bringing it forward does nothing.
    model.applyPendingReset();
    EXPECT_EQ(model.castScreenStatus(), 0);
}

TEST(KVOModelTest, ADisconnectWrittenOnAnotherThreadStillResets)
{
    QVKVOModel model(50, nullptr);
    model.setCastScreenStatus(0);
    std::thread writer([&] { model.setDisconnectDeviceType(3); });
    writer.join();
    EXPECT_EQ(model.disconnectDeviceType(), 3);
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.disconnectDeviceType() == 4; }));
    EXPECT_EQ(model.castScreenStatus(), 1);
}
