#pragma once

// The platform services bundle over fakes. Each fake stays reachable by its
// own type, so a test sets its answers and reads what it was asked, and
// services() hands the same objects to the code under test.

#include <memory>

#include "FakeDisplaySleepInhibitor.h"
#include "FakeFileRevealer.h"
#include "FakeH264Encoder.h"
#include "FakeInput.h"
#include "FakePlatform.h"
#include "FakeScreenSource.h"
#include "FakeSound.h"
#include "Platform/PlatformServices.h"

namespace Platform::Fake {

struct FakePlatformServices {
    std::shared_ptr<FakeKeyValueStore> store = std::make_shared<FakeKeyValueStore>();
    std::shared_ptr<FakeUserInfo> userInfo = std::make_shared<FakeUserInfo>();
    std::shared_ptr<FakeCommandRunner> commandRunner = std::make_shared<FakeCommandRunner>();
    std::shared_ptr<FakeMachineInfo> machineInfo = std::make_shared<FakeMachineInfo>();
    std::shared_ptr<FakeFileRevealer> fileRevealer = std::make_shared<FakeFileRevealer>();
    std::shared_ptr<FakeActivityInhibitor> activityInhibitor = std::make_shared<FakeActivityInhibitor>();
    std::shared_ptr<FakeDisplaySleepInhibitor> displaySleepInhibitor = std::make_shared<FakeDisplaySleepInhibitor>();
    std::shared_ptr<FakeScreenLockMonitor> screenLockMonitor = std::make_shared<FakeScreenLockMonitor>();
    std::shared_ptr<FakePrimaryIPv4Monitor> ipv4Monitor = std::make_shared<FakePrimaryIPv4Monitor>();
    std::shared_ptr<FakeInterfaceAddresses> interfaceAddresses = std::make_shared<FakeInterfaceAddresses>();
    std::shared_ptr<FakeNetworkInterfaceWatch> networkInterfaceWatch = std::make_shared<FakeNetworkInterfaceWatch>();
    std::shared_ptr<FakeScreenCaptureAccess> screenCaptureAccess = std::make_shared<FakeScreenCaptureAccess>();
    std::shared_ptr<FakeEncoderProbe> encoderProbe = std::make_shared<FakeEncoderProbe>();
    std::shared_ptr<FakeSoundDevices> soundDevices = std::make_shared<FakeSoundDevices>();
    std::shared_ptr<FakeInputInjector> inputInjector = std::make_shared<FakeInputInjector>();
    std::shared_ptr<FakeKeyboardLayout> keyboardLayout = std::make_shared<FakeKeyboardLayout>();
    std::shared_ptr<FakeRemoteInputConsent> remoteInputConsent = std::make_shared<FakeRemoteInputConsent>();
    std::shared_ptr<FakePrivilegedRunner> privilegedRunner = std::make_shared<FakePrivilegedRunner>();
    std::shared_ptr<FakeZipExtractor> zipExtractor = std::make_shared<FakeZipExtractor>();
    SoundDriverLayout soundDriverLayout;

    // Screens, encoders and sound sources are made per cast: fresh fakes
    // (the encoders report to `encoderProbe`).
    PlatformServices services() const
    {
        PlatformServices s;
        s.store = store;
        s.userInfo = userInfo;
        s.commandRunner = commandRunner;
        s.machineInfo = machineInfo;
        s.fileRevealer = fileRevealer;
        s.activityInhibitor = activityInhibitor;
        s.displaySleepInhibitor = displaySleepInhibitor;
        s.screenLockMonitor = screenLockMonitor;
        s.ipv4Monitor = ipv4Monitor;
        s.interfaceAddresses = interfaceAddresses;
        s.networkInterfaceWatch = networkInterfaceWatch;
        s.screenCaptureAccess = screenCaptureAccess;
        s.makeScreenSource = [] { return std::make_unique<FakeScreenSource>(); };
        s.makeH264Encoder = [probe = encoderProbe] { return std::make_unique<FakeH264Encoder>(probe); };
        s.soundDevices = soundDevices;
        s.makeSoundSource = [] { return std::make_unique<FakeSoundSource>(); };
        s.inputInjector = inputInjector;
        s.keyboardLayout = keyboardLayout;
        s.remoteInputConsent = remoteInputConsent;
        s.privilegedRunner = privilegedRunner;
        s.zipExtractor = zipExtractor;
        s.soundDriverLayout = soundDriverLayout;
        return s;
    }
};

} // namespace Platform::Fake
