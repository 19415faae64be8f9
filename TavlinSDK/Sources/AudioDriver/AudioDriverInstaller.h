#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

#include "AudioDriver/AudioDriverOperations.h"
#include "Platform/CommandRunner.h"
#include "Platform/PlatformServices.h"
#include "Platform/PrivilegedRunner.h"
#include "Platform/SoundDevices.h"
#include "Platform/SoundDriverLayout.h"
#include "Platform/ZipExtractor.h"
#include "TavlinExport.h"

struct AudioDriverTimings {
    int deviceWaitMs = 3000;
    int devicePollMs = 100;
};

struct AudioDriverServices {
    std::shared_ptr<Platform::SoundDevices> devices;
    // The administrator shell is made on first use and kept.
    std::function<std::shared_ptr<Platform::PrivilegedRunner>()> makePrivilegedRunner;
    std::shared_ptr<Platform::ZipExtractor> zipExtractor;
    // Runs the sound-server restart as the user.
    std::shared_ptr<Platform::CommandRunner> commandRunner;
    // Where the bundle goes and how the sound server is restarted.
    Platform::SoundDriverLayout layout;
    AudioDriverTimings timings;
    // The archive to install; empty means the library's own resource.
    QByteArray archive;

    static AudioDriverServices fromPlatform(const Platform::PlatformServices &platform);
};

// Tests for the virtual sound device and installs it: the archive of the
// library's resources is unpacked into a staging folder, moved into the
// system-wide folder with administrator rights and hooked into the sound
// servers, then the user's sound server is restarted and the capture device
// "Echovane:0" awaited. Blocking; runs on the caller's thread.
class AudioDriverInstaller : public AudioDriverOperations {
public:
    // What runScriptWithAdmin() answers when the rights were refused, and
    // when the output is not UTF-8 text.
    static constexpr const char *kGrantError = "grantError";
    static constexpr const char *kGrantSucceed = "grandSucceed";
    static constexpr const char *kArchiveResource = ":/TavlinSDK/Sonvale.driver.zip";
    // The bundle the archive holds, and the older driver's bundle.
    static constexpr const char *kBundleName = "Sonvale.driver";
    static constexpr const char *kOlderBundleName = "TavlinAudio.driver";

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

    // The bundle in the staging folder, in the target folder, and the older
    // driver's bundle in the target folder.
    QString stagedBundle() const;
    QString targetBundle() const;
    QString olderBundle() const;

private:
    // An administrator step: false when refused or when it exits non-zero.
    bool runAdminStep(const QString &command);
    QByteArray archive() const;

    AudioDriverServices m_services;
    std::shared_ptr<Platform::PrivilegedRunner> m_privilegedTask;
};
