#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

#include "AudioDriver/AudioDriverOperations.h"
#include "Platform/CommandRunner.h"
#include "Platform/PrivilegedRunner.h"
#include "Platform/SoundDevices.h"
#include "Platform/ZipExtractor.h"
#include "TavlinExport.h"

// Where the virtual sound device's configuration goes, and how the user's
// sound server is restarted to load it.
struct TAVLIN_EXPORT AudioDriverPaths {
    // Where the archive is unpacked before the move into place.
    QString stagingFolder;
    // The system-wide folder of installed bundles.
    QString targetFolder = QStringLiteral("/usr/local/share/Tavlin/");
    QString bundleName = QStringLiteral("Sonvale.driver");
    QString olderBundleName = QStringLiteral("TavlinAudio.driver");

    // A file of the bundle that a sound server reads from its drop-in folder.
    struct ServerHook {
        QString bundleFile;   // relative to the installed bundle
        QString dropInFolder; // the server's folder of extra configuration
        QString linkName;     // the name of the link in that folder
    };
    QList<ServerHook> serverHooks{
        {QStringLiteral("pulse/Sonvale.pa"), QStringLiteral("/etc/pulse/default.pa.d"), QStringLiteral("Sonvale.pa")},
        {QStringLiteral("pipewire/Sonvale.conf"), QStringLiteral("/etc/pipewire/pipewire-pulse.conf.d"),
         QStringLiteral("Sonvale.conf")},
    };

    // Restarts the user's sound server (run as the user, not as administrator):
    // PipeWire's PulseAudio server or PulseAudio under systemd, else a
    // PulseAudio daemon of its own.
    QString restartCommand = QStringLiteral(
        "if systemctl --user --quiet is-active pipewire-pulse.service 2>/dev/null; then "
        "systemctl --user restart pipewire-pulse.service; "
        "elif systemctl --user --quiet is-active pulseaudio.service 2>/dev/null; then "
        "systemctl --user restart pulseaudio.service; "
        "else pulseaudio --kill >/dev/null 2>&1; n=0; "
        "while pulseaudio --check 2>/dev/null && [ $n -lt 30 ]; do sleep 0.1; n=$((n+1)); done; "
        "pulseaudio --start; fi");

    QString stagedBundle() const;
    QString targetBundle() const;
    QString olderBundle() const;
};

struct TAVLIN_EXPORT AudioDriverTimings {
    int deviceWaitMs = 3000;
    int devicePollMs = 100;
};

struct TAVLIN_EXPORT AudioDriverServices {
    std::shared_ptr<Platform::SoundDevices> devices;
    // The administrator shell is made on first use and kept.
    std::function<std::shared_ptr<Platform::PrivilegedRunner>()> makePrivilegedRunner;
    std::shared_ptr<Platform::ZipExtractor> zipExtractor;
    // Runs the sound-server restart as the user.
    std::shared_ptr<Platform::CommandRunner> commandRunner;
    AudioDriverPaths paths;
    AudioDriverTimings timings;
    // The archive to install; empty means the library's own resource.
    QByteArray archive;

    // The real backends, with the staging folder under `homeFolder`.
    static AudioDriverServices linuxDefaults(const QString &homeFolder);
};

// Tests for the virtual sound device and installs it: the archive of the
// library's resources is unpacked into a staging folder, moved into the
// system-wide folder with administrator rights and hooked into the sound
// servers, then the user's sound server is restarted and the capture device
// "Echovane:0" awaited. Blocking; runs on the caller's thread.
class TAVLIN_EXPORT AudioDriverInstaller : public AudioDriverOperations {
public:
    // What runScriptWithAdmin() answers when the rights were refused, and
    // when the output is not UTF-8 text.
    static constexpr const char *kGrantError = "grantError";
    static constexpr const char *kGrantSucceed = "grandSucceed";
    static constexpr const char *kArchiveResource = ":/TavlinSDK/Sonvale.driver.zip";

    explicit AudioDriverInstaller(AudioDriverServices services);

    bool isSonvaleInstalled() override;
    // True at once when the device exists; otherwise installs, and once more
    // when that fails.
    bool installSonvalePlugin() override;
    bool isTavlinAudioInstalled() override;
    bool uninstallTavlinAudio() override;

    bool installHALAudio();
    bool loadHalAudio();
    // The command's output, "grantError" when the rights were refused, or
    // "grandSucceed" for output that is not UTF-8. `exitStatus` receives the
    // command's exit status (-1 when it did not run).
    QString runScriptWithAdmin(const QString &command, int *exitStatus = nullptr);

    std::shared_ptr<Platform::PrivilegedRunner> privilegedTask();
    const AudioDriverServices &services() const { return m_services; }

    // The text as one single-quoted shell word.
    static QString shellQuote(const QString &text);

private:
    // An administrator step: false when refused or when it exits non-zero.
    bool runAdminStep(const QString &command);
    QByteArray archive() const;

    AudioDriverServices m_services;
    std::shared_ptr<Platform::PrivilegedRunner> m_privilegedTask;
};
