#pragma once

#include <QHostAddress>
#include <QList>
#include <functional>
#include <memory>

#include "Platform/ActivityInhibitor.h"
#include "Platform/InterfaceAddresses.h"
#include "Platform/KeyValueStore.h"
#include "Platform/MachineInfo.h"
#include "Platform/PlatformServices.h"
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

// Where receiver search sends its probe and which local port it binds. The
// probe goes to every listed address (production: the one broadcast address).
struct TAVLIN_EXPORT SearchEndpoints {
    QList<QHostAddress> probeAddresses{QHostAddress(QHostAddress::Broadcast)};
    quint16 probePort = 48689;
    QHostAddress bindAddress{QHostAddress::AnyIPv4};
    quint16 bindPort = 48689;

    bool operator==(const SearchEndpoints &other) const = default;
};

class ConnectPackDelegate;
class ConnectSession;
class MasterControlPackDelegate;
class MasterControlSession;
class AudioDriverOperations;

// Makers of the session objects the facade drives. Each session reports to the
// delegate it is given; destroying a session ends it without any callback.
using ConnectSessionFactory = std::function<std::unique_ptr<ConnectSession>(ConnectPackDelegate *)>;
using MasterControlSessionFactory =
    std::function<std::unique_ptr<MasterControlSession>(MasterControlPackDelegate *)>;
using AudioDriverFactory = std::function<std::unique_ptr<AudioDriverOperations>()>;

// What the library needs from the system, plus its timings and destinations.
// fromPlatform() takes them from the process's platform services; tests fill
// in fakes.
struct TAVLIN_EXPORT TavlinServices {
    std::shared_ptr<Platform::KeyValueStore> store;
    std::shared_ptr<Platform::UserInfo> userInfo;
    // The processor's brand picks the screen-capture road.
    std::shared_ptr<Platform::MachineInfo> machineInfo;
    std::shared_ptr<Platform::ActivityInhibitor> activityInhibitor;
    std::shared_ptr<Platform::ScreenLockMonitor> screenLockMonitor;
    std::shared_ptr<Platform::PrimaryIPv4Monitor> ipv4Monitor;
    std::shared_ptr<Platform::InterfaceAddresses> interfaceAddresses;
    std::shared_ptr<Platform::ScreenCaptureAccess> screenCaptureAccess;

    // Unset factories leave the matching facade operations answering NO.
    ConnectSessionFactory connectSessionFactory;
    MasterControlSessionFactory masterControlSessionFactory;
    AudioDriverFactory audioDriverFactory;

    TavlinTimings timings;
    SearchEndpoints search;

    // Every service and session of the library over `platform`, with
    // production timings and destinations.
    static TavlinServices fromPlatform(const Platform::PlatformServices &platform);
};
