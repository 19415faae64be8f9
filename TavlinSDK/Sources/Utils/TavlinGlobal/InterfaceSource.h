#pragma once

#include <memory>

#include "Platform/InterfaceAddresses.h"

// Where the library reads this machine's addresses. Until one is installed
// (TavlinGlobal::setInterfaceAddresses), the real interfaces are read.
namespace InterfaceSource {

std::shared_ptr<Platform::InterfaceAddresses> current();
void install(std::shared_ptr<Platform::InterfaceAddresses> source);

} // namespace InterfaceSource
