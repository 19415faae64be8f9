#include "QVPlatform.h"

#include "Platform/LinuxServices.h"

#include <QCoreApplication>
#include <optional>

namespace QVPlatform {
namespace {

std::optional<Platform::PlatformServices> &slot()
{
    static std::optional<Platform::PlatformServices> services;
    return services;
}

bool &inUse()
{
    static bool used = false;
    return used;
}

// The services hold D-Bus and sound-server objects that must go while the
// application still exists, not at the process's exit.
void releaseAtApplicationEnd()
{
    if (QCoreApplication::instance())
        qAddPostRoutine([] { slot().reset(); });
}

} // namespace

bool setServices(Platform::PlatformServices services)
{
    if (inUse())
        return false;
    if (!slot())
        releaseAtApplicationEnd();
    slot() = std::move(services);
    return true;
}

const Platform::PlatformServices &services()
{
    inUse() = true;
    if (!slot()) {
        releaseAtApplicationEnd();
        slot() = Platform::Linux::makePlatformServices();
    }
    return *slot();
}

} // namespace QVPlatform
