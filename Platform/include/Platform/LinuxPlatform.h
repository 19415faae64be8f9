#pragma once

#include <QByteArray>
#include <memory>

#include "ActivityInhibitor.h"
#include "CommandRunner.h"
#include "FileRevealer.h"
#include "H264Encoder.h"
#include "InterfaceAddresses.h"
#include "KeyValueStore.h"
#include "PlatformExport.h"
#include "PrimaryIPv4Monitor.h"
#include "ScreenCaptureAccess.h"
#include "ScreenLockMonitor.h"
#include "ScreenSource.h"
#include "UserInfo.h"

// Factories of the real implementations. Callers stay free of any system header.
namespace Platform::Linux {

PLATFORM_EXPORT std::shared_ptr<KeyValueStore> makeKeyValueStore();
PLATFORM_EXPORT std::shared_ptr<UserInfo> makeUserInfo();
PLATFORM_EXPORT std::shared_ptr<CommandRunner> makeCommandRunner();
PLATFORM_EXPORT std::shared_ptr<ActivityInhibitor> makeActivityInhibitor();
PLATFORM_EXPORT std::shared_ptr<ScreenLockMonitor> makeScreenLockMonitor();
PLATFORM_EXPORT std::shared_ptr<PrimaryIPv4Monitor> makePrimaryIPv4Monitor();
PLATFORM_EXPORT std::shared_ptr<InterfaceAddresses> makeInterfaceAddresses();
PLATFORM_EXPORT std::shared_ptr<ScreenCaptureAccess> makeScreenCaptureAccess();
// The desktop's file manager over D-Bus, or the folder through xdg-open.
PLATFORM_EXPORT std::shared_ptr<FileRevealer> makeFileRevealer();
// H.264 through x264 and libswscale.
PLATFORM_EXPORT std::unique_ptr<H264Encoder> makeH264Encoder();
// The X11 main display (MIT-SHM capture, RandR geometry, XFixes pointer) of
// the named display, or of DISPLAY when no name is given.
PLATFORM_EXPORT std::unique_ptr<ScreenSource> makeScreenSource(const QByteArray &displayName = {});
PLATFORM_EXPORT std::shared_ptr<DisplayInfo> makeDisplayInfo();

} // namespace Platform::Linux
