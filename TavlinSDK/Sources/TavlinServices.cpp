#include "TavlinServices.h"

#include "AudioDriver/AudioDriverInstaller.h"
#include "MainControl/TLConnectPack/TLConnectPack.h"
#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"
#include "Platform/LinuxPlatform.h"

TavlinServices TavlinServices::linuxDefaults()
{
    TavlinServices services;
    services.store = Platform::Linux::makeKeyValueStore();
    services.userInfo = Platform::Linux::makeUserInfo();
    services.commandRunner = Platform::Linux::makeCommandRunner();
    services.activityInhibitor = Platform::Linux::makeActivityInhibitor();
    services.screenLockMonitor = Platform::Linux::makeScreenLockMonitor();
    services.ipv4Monitor = Platform::Linux::makePrimaryIPv4Monitor();
    services.interfaceAddresses = Platform::Linux::makeInterfaceAddresses();
    services.screenCaptureAccess = Platform::Linux::makeScreenCaptureAccess();
    services.connectSessionFactory = [](ConnectPackDelegate *delegate) -> std::unique_ptr<ConnectSession> {
        return std::make_unique<TLConnectPack>(delegate);
    };
    MasterControlServices master = MasterControlServices::linuxDefaults();
    master.store = services.store;
    master.screenCaptureAccess = services.screenCaptureAccess;
    services.masterControlSessionFactory =
        [master](MasterControlPackDelegate *delegate) -> std::unique_ptr<MasterControlSession> {
        return std::make_unique<TLMasterControlPack>(delegate, master);
    };
    const QString home = services.userInfo->homeDirectory();
    services.audioDriverFactory = [home] {
        return std::make_unique<AudioDriverInstaller>(AudioDriverServices::linuxDefaults(home));
    };
    return services;
}
