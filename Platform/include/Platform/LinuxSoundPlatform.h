#pragma once

#include <memory>

#include "PlatformExport.h"
#include "PrivilegedRunner.h"
#include "SoundDevices.h"
#include "SoundDriverLayout.h"
#include "SoundSource.h"
#include "ZipExtractor.h"

// Factories of the real sound-server, administrator-shell and zip backends.
namespace Platform::Linux {

// The sound server is reached through libpulse (PulseAudio or PipeWire's
// PulseAudio server); PULSE_SERVER chooses another server. Each of these has
// a connection of its own; the process's services share one
// (makePlatformServices()).
PLATFORM_EXPORT std::shared_ptr<SoundDevices> makeSoundDevices();
PLATFORM_EXPORT std::unique_ptr<SoundSource> makeSoundSource();
// Where the virtual sound device is installed, staged under `homeFolder`.
PLATFORM_EXPORT SoundDriverLayout soundDriverLayout(const QString &homeFolder);
// "pkexec /bin/sh -c <command>".
PLATFORM_EXPORT std::shared_ptr<PrivilegedRunner> makePrivilegedRunner();
PLATFORM_EXPORT std::shared_ptr<ZipExtractor> makeZipExtractor();

} // namespace Platform::Linux
