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
#include "Mirror/MediaThread.h"
#include "Mirror/VideoSenderBase.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "VideoReceiver.h"

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

// A video receiver of its own for each case, a running media thread as a
// cast's owner holds one, and the library's global state reset around them;
// the sender goes before the media thread and the receiver.
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
        media.start();
    }

    void TearDown() override
    {
        sender.reset();
        media.stop();
        TestSupport::runPostedEvents();
        receiver.reset();
        TavlinGlobal::resetAll();
        DynamicPortTable::resetToDefaults();
    }

    QHostAddress address;
    std::unique_ptr<VideoReceiver> receiver;
    DevicePtr device;
    MediaThread media;
    std::unique_ptr<VideoSenderBase> sender;
};
