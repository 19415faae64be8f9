#pragma once

#include <QHostAddress>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

#include "HandshakeServer.h"
#include "MainControl/TLConnectPack/ConnectPackDelegate.h"
#include "MainControl/TLConnectPack/TLConnectPack.h"
#include "FakePlatform.h"
#include "HangingListener.h"
#include "ReceiverEmulator.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace HandshakeTest {

// Records what the handshake reports, in order.
struct PackRecorder : ConnectPackDelegate {
    QStringList events;
    QList<TavlinError> errors;
    // Port table and chosen receiver as they were when success was reported.
    QList<qint64> portsAtSuccess;
    DevicePtr choseDeviceAtSuccess;
    bool windowReceiverAtSuccess = false;

    void connectPack_needEnterPwd() override { events << QStringLiteral("needPwd"); }
    void connectPack_pwdIncorrect(const TavlinError &error) override
    {
        events << QStringLiteral("pwdIncorrect");
        errors << error;
    }
    void connectPack_connectDeviceCheckSuccess() override
    {
        events << QStringLiteral("success");
        portsAtSuccess = {DynamicPortTable::getDynamicPort_51040(), DynamicPortTable::getDynamicPort_51030(),
                          DynamicPortTable::getDynamicPort_51060(), DynamicPortTable::getDynamicPort_52020(),
                          DynamicPortTable::getDynamicPort_52030(), DynamicPortTable::getDynamicPort_57395()};
        choseDeviceAtSuccess = TavlinGlobal::getChoseDevice();
        windowReceiverAtSuccess = TavlinGlobal::getIsWindowReceiver();
    }
    void connectPack_connectDeviceCheckWithError(const TavlinError &error) override
    {
        events << QStringLiteral("error");
        errors << error;
    }
    int count(const QString &event) const { return static_cast<int>(events.count(event)); }
};

// Short waits that still leave room under the sanitizers.
inline ConnectPackTimings shortTimings(quint16 port)
{
    ConnectPackTimings timings;
    timings.connectTimeoutMs = 400;
    timings.nameWaitMs = 150;
    timings.checkPasswordTimeoutMs = 300;
    timings.handshakeDeadlineMs = 1500;
    timings.handshakePort = port;
    return timings;
}

// A receiver with a handshake server on a loop-back address of its own, on
// this thread, and the library's shared state back at its start.
class HandshakeFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        TavlinGlobal::resetAll();
        TavlinGlobal::resetSockets();
        addresses = std::make_shared<Platform::Fake::FakeInterfaceAddresses>();
        TavlinGlobal::setInterfaceAddresses(addresses);
        address = TestSupport::uniqueLoopbackAddress();
        emulator = std::make_unique<ReceiverEmulator>(address);
        ReceiverProfile profile;
        profile.name = QStringLiteral("Room A");
        profile.features = FeatureBits::kMasterControl | FeatureBits::kNotTvReceiver;
        emulator->setProfile(profile);
        server = emulator->addComponent<HandshakeServer>(quint16(0));
        ASSERT_TRUE(emulator->start()) << emulator->errorString().toStdString();
    }
    void TearDown() override
    {
        pack.reset();
        TavlinGlobal::resetSockets();
        emulator.reset();
        TestSupport::runPostedEvents();
        TavlinGlobal::setInterfaceAddresses(nullptr);
        TavlinGlobal::resetAll();
    }

    void setFeatures(qint64 features)
    {
        ReceiverProfile profile = emulator->profile();
        profile.features = features;
        emulator->setProfile(profile);
    }
    void setBehaviour(const std::function<void(HandshakeBehaviour &)> &change)
    {
        HandshakeBehaviour behaviour = server->behaviour();
        change(behaviour);
        server->setBehaviour(behaviour);
    }
    TLConnectPack &makePack()
    {
        pack = std::make_unique<TLConnectPack>(&recorder, shortTimings(server->port()));
        return *pack;
    }
    bool waitForEvent(const QString &event, int count = 1, int timeoutMs = 10000)
    {
        return TestSupport::waitFor([&] { return recorder.count(event) >= count; }, timeoutMs);
    }

    std::shared_ptr<Platform::Fake::FakeInterfaceAddresses> addresses;
    QHostAddress address;
    std::unique_ptr<ReceiverEmulator> emulator;
    HandshakeServer *server = nullptr;
    PackRecorder recorder;
    std::unique_ptr<TLConnectPack> pack;
};

} // namespace HandshakeTest
