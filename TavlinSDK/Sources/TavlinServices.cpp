#include "TavlinServices.h"

#include "AudioDriver/AudioDriverInstaller.h"
#include "MainControl/TLConnectPack/TLConnectPack.h"
#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"

TavlinServices TavlinServices::fromPlatform(const Platform::PlatformServices &platform)
{
    TavlinServices services;
    services.store = platform.store;
    services.userInfo = platform.userInfo;
    services.machineInfo = platform.machineInfo;
    services.activityInhibitor = platform.activityInhibitor;
    services.screenLockMonitor = platform.screenLockMonitor;
    services.ipv4Monitor = platform.ipv4Monitor;
    services.interfaceAddresses = platform.interfaceAddresses;
    services.screenCaptureAccess = platform.screenCaptureAccess;
    services.connectSessionFactory = [](ConnectPackDelegate *delegate) -> std::unique_ptr<ConnectSession> {
        return std::make_unique<TLConnectPack>(delegate);
    };
    const MasterControlServices master = MasterControlServices::fromPlatform(platform);
    services.masterControlSessionFactory =
        [master](MasterControlPackDelegate *delegate) -> std::unique_ptr<MasterControlSession> {
        return std::make_unique<TLMasterControlPack>(delegate, master);
    };
    const AudioDriverServices driver = AudioDriverServices::fromPlatform(platform);
    services.audioDriverFactory = [driver] { return std::make_unique<AudioDriverInstaller>(driver); };
    return services;
}
