#include "Utils/TavlinGlobal/InterfaceSource.h"

namespace InterfaceSource {
namespace {

std::shared_ptr<Platform::InterfaceAddresses> &installed()
{
    static std::shared_ptr<Platform::InterfaceAddresses> source;
    return source;
}

std::shared_ptr<Platform::MachineInfo> &installedMachineInfo()
{
    static std::shared_ptr<Platform::MachineInfo> source;
    return source;
}

} // namespace

std::shared_ptr<Platform::InterfaceAddresses> current()
{
    return installed();
}

void install(std::shared_ptr<Platform::InterfaceAddresses> source)
{
    installed() = std::move(source);
}

std::shared_ptr<Platform::MachineInfo> machineInfo()
{
    return installedMachineInfo();
}

void installMachineInfo(std::shared_ptr<Platform::MachineInfo> source)
{
    installedMachineInfo() = std::move(source);
}

} // namespace InterfaceSource
