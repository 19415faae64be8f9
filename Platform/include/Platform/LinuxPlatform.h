#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

#include "ActivityInhibitor.h"
#include "CommandRunner.h"
#include "FileRevealer.h"
#include "H264Encoder.h"
#include "InterfaceAddresses.h"
#include "KeyValueStore.h"
#include "MachineInfo.h"
#include "PlatformExport.h"
#include "PrimaryIPv4Monitor.h"
#include "RemoteInputConsent.h"
#include "ScreenCaptureAccess.h"
#include "ScreenLockMonitor.h"
#include "ScreenSource.h"
#include "UserInfo.h"

// Factories of the real implementations. Callers stay free of any system header.
namespace Platform::Linux {

// The application's settings file (QSettings, named after the application's
// organisation and name), readable by the user alone: it holds casting codes
// and passwords.
PLATFORM_EXPORT std::shared_ptr<KeyValueStore> makeKeyValueStore();
// The consent to remote input, a yes or no under this key of `store`.
inline const QString kRemoteInputConsentKey = QStringLiteral("RemoteInputConsentGiven");
PLATFORM_EXPORT std::shared_ptr<RemoteInputConsent> makeRemoteInputConsent(std::shared_ptr<KeyValueStore> store);
// Where the processor's and the computer's names are read.
struct MachineInfoFiles {
    QString cpuinfo = QStringLiteral("/proc/cpuinfo");
    // The first of these that names a model: firmware tables, then the
    // device tree of boards without them.
    QStringList models{QStringLiteral("/sys/class/dmi/id/product_name"),
                       QStringLiteral("/sys/firmware/devicetree/base/model")};
};
PLATFORM_EXPORT std::shared_ptr<MachineInfo> makeMachineInfo(MachineInfoFiles files = {});
PLATFORM_EXPORT std::shared_ptr<UserInfo> makeUserInfo();
PLATFORM_EXPORT std::shared_ptr<CommandRunner> makeCommandRunner();
PLATFORM_EXPORT std::shared_ptr<ActivityInhibitor> makeActivityInhibitor();
PLATFORM_EXPORT std::shared_ptr<ScreenLockMonitor> makeScreenLockMonitor();
PLATFORM_EXPORT std::shared_ptr<PrimaryIPv4Monitor> makePrimaryIPv4Monitor();
PLATFORM_EXPORT std::shared_ptr<InterfaceAddresses> makeInterfaceAddresses();
PLATFORM_EXPORT std::shared_ptr<ScreenCaptureAccess> makeScreenCaptureAccess();
// The desktop's file manager over D-Bus, or the folder through xdg-open.
PLATFORM_EXPORT std::shared_ptr<FileRevealer> makeFileRevealer();
// H.264 through x264 and libswscale. The first one made turns transparent
// huge pages off for the process, which x264 alone asks for and mostly
// wastes.
PLATFORM_EXPORT std::unique_ptr<H264Encoder> makeH264Encoder();
// The X11 main display (MIT-SHM capture, RandR geometry, XFixes pointer) of
// the named display, or of DISPLAY when no name is given.
PLATFORM_EXPORT std::unique_ptr<ScreenSource> makeScreenSource(const QByteArray &displayName = {});
PLATFORM_EXPORT std::shared_ptr<DisplayInfo> makeDisplayInfo();

} // namespace Platform::Linux
