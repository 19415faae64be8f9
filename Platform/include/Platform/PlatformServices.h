#pragma once

#include <functional>
#include <memory>

#include "ActivityInhibitor.h"
#include "CommandRunner.h"
#include "DisplaySleepInhibitor.h"
#include "FileRevealer.h"
#include "H264Encoder.h"
#include "InputInjector.h"
#include "InterfaceAddresses.h"
#include "KeyValueStore.h"
#include "KeyboardLayout.h"
#include "MachineInfo.h"
#include "NetworkInterfaceWatch.h"
#include "PrimaryIPv4Monitor.h"
#include "PrivilegedRunner.h"
#include "RemoteInputConsent.h"
#include "ScreenCaptureAccess.h"
#include "ScreenLockMonitor.h"
#include "ScreenSource.h"
#include "SoundDevices.h"
#include "SoundDriverLayout.h"
#include "SoundSource.h"
#include "UserInfo.h"
#include "ZipExtractor.h"

namespace Platform {

// Everything the casting library and the program take from the system, made
// once per process and shared by both: one settings store, one connection to
// the sound server, one connection for posting input. Copies share the same
// objects. An empty member means the system offers nothing of that kind; its
// users then do without.
struct PlatformServices {
    // The user's settings; the program's and the library's keys live together.
    std::shared_ptr<KeyValueStore> store;
    std::shared_ptr<UserInfo> userInfo;
    std::shared_ptr<CommandRunner> commandRunner;
    std::shared_ptr<MachineInfo> machineInfo;
    // Shows a downloaded file in the desktop's file manager.
    std::shared_ptr<FileRevealer> fileRevealer;

    std::shared_ptr<ActivityInhibitor> activityInhibitor;
    std::shared_ptr<DisplaySleepInhibitor> displaySleepInhibitor;
    std::shared_ptr<ScreenLockMonitor> screenLockMonitor;
    std::shared_ptr<PrimaryIPv4Monitor> ipv4Monitor;
    std::shared_ptr<InterfaceAddresses> interfaceAddresses;
    // Every interface and its IPv4 addresses: the program's reachability.
    std::shared_ptr<NetworkInterfaceWatch> networkInterfaceWatch;

    // Each cast opens its own capture and encoder, on threads of its own.
    std::shared_ptr<ScreenCaptureAccess> screenCaptureAccess;
    std::function<std::unique_ptr<ScreenSource>()> makeScreenSource;
    std::function<std::unique_ptr<H264Encoder>()> makeH264Encoder;

    std::shared_ptr<SoundDevices> soundDevices;
    std::function<std::unique_ptr<SoundSource>()> makeSoundSource;

    std::shared_ptr<InputInjector> inputInjector;
    std::shared_ptr<KeyboardLayout> keyboardLayout;
    std::shared_ptr<RemoteInputConsent> remoteInputConsent;

    // Installing the virtual sound device.
    std::shared_ptr<PrivilegedRunner> privilegedRunner;
    std::shared_ptr<ZipExtractor> zipExtractor;
    SoundDriverLayout soundDriverLayout;
};

} // namespace Platform
