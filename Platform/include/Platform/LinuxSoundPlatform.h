#pragma once

#include <memory>

#include "PlatformExport.h"
#include "PrivilegedRunner.h"
#include "SoundDevices.h"
#include "SoundSource.h"
#include "ZipExtractor.h"

// Factories of the real sound-server, administrator-shell and zip backends.
namespace Platform::Linux {

// The sound server is reached through libpulse (PulseAudio or PipeWire's
// PulseAudio server); PULSE_SERVER chooses another server.
PLATFORM_EXPORT std::shared_ptr<SoundDevices> makeSoundDevices();
PLATFORM_EXPORT std::unique_ptr<SoundSource> makeSoundSource();
// "pkexec /bin/sh -c <command>".
PLATFORM_EXPORT std::shared_ptr<PrivilegedRunner> makePrivilegedRunner();
PLATFORM_EXPORT std::shared_ptr<ZipExtractor> makeZipExtractor();

} // namespace Platform::Linux
