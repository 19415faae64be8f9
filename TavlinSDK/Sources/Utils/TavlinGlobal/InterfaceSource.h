#pragma once

#include <memory>

#include "Platform/InterfaceAddresses.h"
#include "Platform/MachineInfo.h"

// Where the library reads this machine's addresses and model: what the facade
// installs (TavlinGlobal::setInterfaceAddresses, setMachineInfo). Null until
// then.
namespace InterfaceSource {

std::shared_ptr<Platform::InterfaceAddresses> current();
void install(std::shared_ptr<Platform::InterfaceAddresses> source);

std::shared_ptr<Platform::MachineInfo> machineInfo();
void installMachineInfo(std::shared_ptr<Platform::MachineInfo> source);

} // namespace InterfaceSource
