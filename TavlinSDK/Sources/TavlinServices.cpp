#include "TavlinServices.h"

#include "Platform/LinuxPlatform.h"

TavlinServices TavlinServices::linuxDefaults()
{
    TavlinServices services;
    services.store = Platform::Linux::makeKeyValueStore();
    services.userInfo = Platform::Linux::makeUserInfo();
    services.commandRunner = Platform::Linux::makeCommandRunner();
    return services;
}
