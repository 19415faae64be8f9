#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>
#include <memory>

#include "LogCapture.h"
#include "PrivateXServer.h"
#include "Mirror/VideoSenderBase.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "VideoReceiver.h"

// Stands for the library's notification centre: posts named notifications
// with an object, as the control session posts the encoder-size requests.
class NotificationPoster : public QObject {
    Q_OBJECT
public:
    void post(const QString &name, const QVariant &object) { emit notificationPosted(name, object); }

signals:
    void notificationPosted(const QString &name, const QVariant &object);
};

using TestSupport::LogCapture;

// The two capture roads, by the CPU brand that chooses them.
enum class Road { Apple, Intel };

inline const char *roadName(Road road)
{
    return road == Road::Apple ? "capture-session road" : "display-stream road";
}

// A started video receiver on a loopback address of its own (none, with
// `error` set, when none could start). The video port is fixed: should
// another test process hold it on one address, the next address is taken.
inline std::unique_ptr<VideoReceiver> startVideoReceiver(QHostAddress *address, QString *error)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        *address = TestSupport::uniqueLoopbackAddress();
        auto receiver = std::make_unique<VideoReceiver>(*address);
        if (receiver->start(error))
            return receiver;
    }
    return nullptr;
}

// A video receiver of its own for each case, and the library's global state
// reset around it; the sender goes before the receiver.
class VideoReceiverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TavlinGlobal::resetAll();
        DynamicPortTable::resetToDefaults();
        QString error;
        receiver = startVideoReceiver(&address, &error);
        ASSERT_TRUE(receiver) << error.toStdString();
        device = std::make_shared<Device>();
        device->mHostIp = address.toString();
    }

    void TearDown() override
    {
        sender.reset();
        TestSupport::runPostedEvents();
        receiver.reset();
        TavlinGlobal::resetAll();
        DynamicPortTable::resetToDefaults();
    }

    QHostAddress address;
    std::unique_ptr<VideoReceiver> receiver;
    DevicePtr device;
    std::unique_ptr<VideoSenderBase> sender;
};
