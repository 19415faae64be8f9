#include <QDir>

#include "Platform/LinuxSoundPlatform.h"

namespace Platform::Linux {

SoundDriverLayout soundDriverLayout(const QString &homeFolder)
{
    SoundDriverLayout layout;
    layout.stagingFolder = QDir(homeFolder).filePath(QStringLiteral(".local/share/ZOM"));
    layout.targetFolder = QStringLiteral("/usr/local/share/Tavlin/");
    // The bundle holds a configuration for each server that speaks
    // PulseAudio's protocol; each reads it from its own drop-in folder.
    layout.serverHooks = {
        {QStringLiteral("pulse/Sonvale.pa"), QStringLiteral("/etc/pulse/default.pa.d"), QStringLiteral("Sonvale.pa")},
        {QStringLiteral("pipewire/Sonvale.conf"), QStringLiteral("/etc/pipewire/pipewire-pulse.conf.d"),
         QStringLiteral("Sonvale.conf")},
    };
    // PipeWire's PulseAudio server or PulseAudio under systemd, else a
    // PulseAudio daemon of its own.
    layout.restartCommand = QStringLiteral(
        "if systemctl --user --quiet is-active pipewire-pulse.service 2>/dev/null; then "
        "systemctl --user restart pipewire-pulse.service; "
        "elif systemctl --user --quiet is-active pulseaudio.service 2>/dev/null; then "
        "systemctl --user restart pulseaudio.service; "
        "else pulseaudio --kill >/dev/null 2>&1; n=0; "
        "while pulseaudio --check 2>/dev/null && [ $n -lt 30 ]; do sleep 0.1; n=$((n+1)); done; "
        "pulseaudio --start; fi");
    return layout;
}

} // namespace Platform::Linux
