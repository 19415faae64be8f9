#include "Utils/TavlinGlobal/InterfaceSource.h"

#include "Platform/LinuxPlatform.h"

namespace InterfaceSource {
namespace {

std::shared_ptr<Platform::InterfaceAddresses> &installed()
{
    static std::shared_ptr<Platform::InterfaceAddresses> source;
    return source;
}

} // namespace

std::shared_ptr<Platform::InterfaceAddresses> current()
{
    if (!installed())
        installed() = Platform::Linux::makeInterfaceAddresses();
    return installed();
}

void install(std::shared_ptr<Platform::InterfaceAddresses> source)
{
    installed() = std::move(source);
}

} // namespace InterfaceSource
