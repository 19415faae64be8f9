#include "TavlinServices.h"

#include "AudioDriver/AudioDriverInstaller.h"
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
    const QString home = services.userInfo->homeDirectory();
    services.audioDriverFactory = [home] {
        return std::make_unique<AudioDriverInstaller>(AudioDriverServices::linuxDefaults(home));
    };
    return services;
}
