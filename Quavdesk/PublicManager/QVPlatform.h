#pragma once

#include "Platform/PlatformServices.h"

// The program's one set of platform services: one settings store, one
// connection to the sound server, one input connection, shared by the
// casting library and every part of the program. main() makes them once
// (Platform::Linux::makePlatformServices()), right after the application's
// organisation and name are set, and hands them over here before any page
// runs; the shared share manager and the shared public tools are made over
// them.
namespace QVPlatform {

// Refused (false, nothing changes) once the services are in use: the
// program's objects would otherwise hold two sets.
bool setServices(Platform::PlatformServices services);
// What was handed over. When nothing was (a test that reaches a shared object
// directly), the real services, made on first use. Released when the
// application object goes.
const Platform::PlatformServices &services();

} // namespace QVPlatform
