#pragma once

#include <QHostAddress>
#include <memory>

#include "Platform/ActivityInhibitor.h"
#include "Platform/CommandRunner.h"
#include "Platform/InterfaceAddresses.h"
#include "Platform/KeyValueStore.h"
#include "Platform/PrimaryIPv4Monitor.h"
#include "Platform/ScreenCaptureAccess.h"
#include "Platform/ScreenLockMonitor.h"
#include "Platform/UserInfo.h"
#include "TavlinExport.h"

// Every interval the library waits on, in milliseconds. Production values are
// the defaults; tests shrink them.
struct TAVLIN_EXPORT TavlinTimings {
    int searchProbeIntervalMs = 4000;
    int deviceListPruneIntervalMs = 9000;
};

// Where receiver search sends its probe and which local port it binds.
struct TAVLIN_EXPORT SearchEndpoints {
    QHostAddress probeAddress{QHostAddress::Broadcast};
    quint16 probePort = 48689;
    QHostAddress bindAddress{QHostAddress::AnyIPv4};
    quint16 bindPort = 48689;
};

// What the library needs from the system, plus its timings and destinations.
// linuxDefaults() gives the real ones; tests fill in fakes.
struct TAVLIN_EXPORT TavlinServices {
    std::shared_ptr<Platform::KeyValueStore> store;
    std::shared_ptr<Platform::UserInfo> userInfo;
    std::shared_ptr<Platform::CommandRunner> commandRunner;
    std::shared_ptr<Platform::ActivityInhibitor> activityInhibitor;
    std::shared_ptr<Platform::ScreenLockMonitor> screenLockMonitor;
    std::shared_ptr<Platform::PrimaryIPv4Monitor> ipv4Monitor;
    std::shared_ptr<Platform::InterfaceAddresses> interfaceAddresses;
    std::shared_ptr<Platform::ScreenCaptureAccess> screenCaptureAccess;

    TavlinTimings timings;
    SearchEndpoints search;

    static TavlinServices linuxDefaults();
};
