#pragma once

#include <gtest/gtest.h>
#include <memory>

#include "FacadeFakes.h"
#include "QuietSearch.h"
#include "TavlinSDK.h"
#include "TavlinSDK_p.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

// A facade over journaling fakes. Its search probes a loopback address where
// nothing listens, and its timers are too long to fire unless a test says so.
class FacadeTest : public ::testing::Test {
protected:
    void SetUp() override { TavlinGlobal::resetAll(); }
    void TearDown() override { TavlinGlobal::resetAll(); }

    TavlinServices services(bool withSessions = true)
    {
        TavlinServices s;
        s.store = store;
        s.userInfo = userInfo;
        s.machineInfo = machine;
        s.activityInhibitor = inhibitor;
        s.screenLockMonitor = lockMonitor;
        s.ipv4Monitor = ipv4;
        s.interfaceAddresses = addresses;
        if (withSessions) {
            s.connectSessionFactory = book.connectFactory();
            s.masterControlSessionFactory = book.masterFactory();
            s.audioDriverFactory = book.driverFactory();
        }
        TestSupport::quietSearch(s);
        return s;
    }

    std::unique_ptr<TavlinSDK> makeFacade(bool withSessions = true)
    {
        return std::make_unique<TavlinSDK>(&delegate, services(withSessions));
    }

    // Connects through a fake handshake to "Room A" at 192.0.2.10; a fake
    // master-control session is then up.
    void connectAndSucceed(TavlinSDK &facade)
    {
        ASSERT_TRUE(facade.connectDeviceByIp(QStringLiteral("192.0.2.10")));
        auto chosen = std::make_shared<Device>();
        chosen->mDevicename = QStringLiteral("Room A");
        chosen->mHostIp = QStringLiteral("192.0.2.10");
        TavlinGlobal::setChoseDevice(chosen);
        ASSERT_NE(book.lastConnect(), nullptr);
        book.lastConnect()->delegate->connectPack_connectDeviceCheckSuccess();
        ASSERT_TRUE(TavlinGlobal::getIsConnecting());
        ASSERT_TRUE(facade.isConnected());
    }

    // The application's callbacks in the journal since `from`.
    QStringList appEvents(qsizetype from = 0) const
    {
        QStringList out;
        for (qsizetype i = from; i < journal.size(); ++i) {
            if (journal.at(i).startsWith(QLatin1String("app.")))
                out.append(journal.at(i));
        }
        return out;
    }

    Journal journal;
    RecordingDelegate delegate{&journal};
    SessionBook book{&journal};
    std::shared_ptr<JournalStore> store = std::make_shared<JournalStore>(&journal);
    std::shared_ptr<FixedUserInfo> userInfo = std::make_shared<FixedUserInfo>();
    std::shared_ptr<JournalMachineInfo> machine = std::make_shared<JournalMachineInfo>(&journal);
    std::shared_ptr<JournalActivityInhibitor> inhibitor = std::make_shared<JournalActivityInhibitor>(&journal);
    std::shared_ptr<JournalScreenLockMonitor> lockMonitor = std::make_shared<JournalScreenLockMonitor>(&journal);
    std::shared_ptr<JournalIPv4Monitor> ipv4 = std::make_shared<JournalIPv4Monitor>(&journal);
    std::shared_ptr<FixedInterfaceAddresses> addresses = std::make_shared<FixedInterfaceAddresses>();
};
