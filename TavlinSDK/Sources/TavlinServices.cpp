#include "TavlinServices.h"

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
    return services;
}
