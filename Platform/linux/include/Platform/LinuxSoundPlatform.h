#pragma once

#include <memory>

#include "Platform/PrivilegedRunner.h"
#include "Platform/SoundDevices.h"
#include "Platform/SoundDriverLayout.h"
#include "Platform/SoundSource.h"
#include "Platform/ZipExtractor.h"

// Factories of the real sound-server, administrator-shell and zip backends.
namespace Platform::Linux {

// The sound server is reached through libpulse (PulseAudio or PipeWire's
// PulseAudio server); PULSE_SERVER chooses another server. Each of these has
// a connection of its own; the process's services share one
// (makePlatformServices()).
std::shared_ptr<SoundDevices> makeSoundDevices();
std::unique_ptr<SoundSource> makeSoundSource();
// Where the virtual sound device is installed, staged under `homeFolder`.
SoundDriverLayout soundDriverLayout(const QString &homeFolder);
// "pkexec /bin/sh -c <command>".
std::shared_ptr<PrivilegedRunner> makePrivilegedRunner();
std::shared_ptr<ZipExtractor> makeZipExtractor();

} // namespace Platform::Linux
