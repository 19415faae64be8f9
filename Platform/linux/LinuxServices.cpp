#include "Platform/LinuxServices.h"

#include "Platform/LinuxDisplayPlatform.h"
#include "Platform/LinuxInput.h"
#include "Platform/LinuxPlatform.h"
#include "Platform/LinuxSoundPlatform.h"
#include "PulseConnection.h"

namespace Platform::Linux {

PlatformServices makePlatformServices()
{
    PlatformServices services;
    services.store = makeKeyValueStore();
    services.userInfo = makeUserInfo();
    services.commandRunner = makeCommandRunner();
    services.machineInfo = makeMachineInfo();
    services.fileRevealer = makeFileRevealer();

    services.activityInhibitor = makeActivityInhibitor();
    services.displaySleepInhibitor = makeDisplaySleepInhibitor();
    services.screenLockMonitor = makeScreenLockMonitor();
    services.ipv4Monitor = makePrimaryIPv4Monitor();
    services.interfaceAddresses = makeInterfaceAddresses();
    services.networkInterfaceWatch = makeNetworkInterfaceWatch();

    services.screenCaptureAccess = makeScreenCaptureAccess();
    services.makeScreenSource = [] { return makeScreenSource(); };
    services.makeH264Encoder = [] { return makeH264Encoder(); };

    // The connection is opened by the first request, not here.
    auto sound = std::make_shared<PulseLink>();
    services.soundDevices = makeSoundDevices(sound);
    services.makeSoundSource = [sound] { return makeSoundSource(sound); };

    const InputBackend input = makeInputBackend();
    services.inputInjector = input.injector;
    services.keyboardLayout = input.keyboardLayout;
    services.remoteInputConsent = makeRemoteInputConsent(services.store);

    services.privilegedRunner = makePrivilegedRunner();
    services.zipExtractor = makeZipExtractor();
    services.soundDriverLayout = soundDriverLayout(services.userInfo->homeDirectory());
    return services;
}

} // namespace Platform::Linux
