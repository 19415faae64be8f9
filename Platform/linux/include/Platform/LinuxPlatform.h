#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

#include "Platform/ActivityInhibitor.h"
#include "Platform/CommandRunner.h"
#include "Platform/FileRevealer.h"
#include "Platform/H264Encoder.h"
#include "Platform/InterfaceAddresses.h"
#include "Platform/KeyValueStore.h"
#include "Platform/MachineInfo.h"
#include "Platform/NetworkInterfaceWatch.h"
#include "Platform/PrimaryIPv4Monitor.h"
#include "Platform/RemoteInputConsent.h"
#include "Platform/ScreenCaptureAccess.h"
#include "Platform/ScreenLockMonitor.h"
#include "Platform/ScreenSource.h"
#include "Platform/UserInfo.h"

// Factories of the real implementations. Callers stay free of any system header.
namespace Platform::Linux {

// The application's settings file (QSettings, named after the application's
// organisation and name), readable by the user alone: it holds casting codes
// and passwords.
std::shared_ptr<KeyValueStore> makeKeyValueStore();
// The consent to remote input, a yes or no under this key of `store`.
inline const QString kRemoteInputConsentKey = QStringLiteral("RemoteInputConsentGiven");
std::shared_ptr<RemoteInputConsent> makeRemoteInputConsent(std::shared_ptr<KeyValueStore> store);
// Where the processor's and the computer's names are read.
struct MachineInfoFiles {
    QString cpuinfo = QStringLiteral("/proc/cpuinfo");
    // The first of these that names a model: firmware tables, then the
    // device tree of boards without them.
    QStringList models{QStringLiteral("/sys/class/dmi/id/product_name"),
                       QStringLiteral("/sys/firmware/devicetree/base/model")};
};
std::shared_ptr<MachineInfo> makeMachineInfo(MachineInfoFiles files = {});
std::shared_ptr<UserInfo> makeUserInfo();
std::shared_ptr<CommandRunner> makeCommandRunner();
std::shared_ptr<ActivityInhibitor> makeActivityInhibitor();
std::shared_ptr<ScreenLockMonitor> makeScreenLockMonitor();
std::shared_ptr<PrimaryIPv4Monitor> makePrimaryIPv4Monitor();
std::shared_ptr<InterfaceAddresses> makeInterfaceAddresses();
std::shared_ptr<NetworkInterfaceWatch> makeNetworkInterfaceWatch();
std::shared_ptr<ScreenCaptureAccess> makeScreenCaptureAccess();
// The desktop's file manager over D-Bus, or the folder through xdg-open.
std::shared_ptr<FileRevealer> makeFileRevealer();
// H.264 through x264 and libswscale. The first one made turns transparent
// huge pages off for the process, which x264 alone asks for and mostly
// wastes.
std::unique_ptr<H264Encoder> makeH264Encoder();
// The X11 main display (MIT-SHM capture, RandR geometry, XFixes pointer) of
// the named display, or of DISPLAY when no name is given.
std::unique_ptr<ScreenSource> makeScreenSource(const QByteArray &displayName = {});
std::shared_ptr<DisplayInfo> makeDisplayInfo();

} // namespace Platform::Linux
