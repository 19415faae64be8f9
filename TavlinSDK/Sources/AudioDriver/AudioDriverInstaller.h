#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "AudioDriver/AudioDriverOperations.h"
#include "Platform/CommandRunner.h"
#include "Platform/PlatformServices.h"
#include "Platform/PrivilegedRunner.h"
#include "Platform/SoundDevices.h"
#include "Platform/SoundDriverLayout.h"
#include "Platform/ZipExtractor.h"

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
    // The archive to install and the SHA-256 of each file it holds, as lines
    // "<64 hex digits>  <path inside the bundle>"; empty means the library's
    // own resources.
    QByteArray archive;
    QByteArray manifest;

    static AudioDriverServices fromPlatform(const Platform::PlatformServices &platform);
};

// Tests for the virtual sound device and installs it: the archive of the
// library's resources is unpacked into a staging folder, and one
// administrator script copies its files into the system-wide folder owned by
// root (files 0644), checks the copies against the library's hashes and only
// then puts the bundle in place and hooks it into the sound servers. Every
// user's sound server loads these files, so nothing the user can write is
// ever linked; and the user is asked for the password once per install. Then
// the user's sound server is restarted and the capture device "Echovane:0"
// awaited. Blocking; runs on the caller's thread.
class AudioDriverInstaller : public AudioDriverOperations {
public:
    // What runScriptWithAdmin() answers when the rights were refused, and
    // when the output is not UTF-8 text.
    static constexpr const char *kGrantError = "grantError";
    static constexpr const char *kGrantSucceed = "grandSucceed";
    static constexpr const char *kArchiveResource = ":/TavlinSDK/Sonvale.driver.zip";
    static constexpr const char *kManifestResource = ":/TavlinSDK/Sonvale.driver.sha256";
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

    // A file of the bundle and the SHA-256 its installed copy must have.
    struct BundleFile {
        QString path; // relative to the bundle, without "." or ".." parts
        QByteArray sha256; // 64 lowercase hex digits
    };
    // None when a line is malformed, a path leaves the bundle or repeats, or
    // the list is empty.
    static std::optional<QList<BundleFile>> parseManifest(const QByteArray &manifest);
    // The administrator script that installs `files` from the staging folder.
    QString installScript(const QList<BundleFile> &files) const;

    // The bundle in the staging folder, in the target folder, and the older
    // driver's bundle in the target folder.
    QString stagedBundle() const;
    QString targetBundle() const;
    QString olderBundle() const;

private:
    // An administrator step: false when refused or when it exits non-zero.
    bool runAdminStep(const QString &command);
    QByteArray archive() const;
    QByteArray manifest() const;

    AudioDriverServices m_services;
    std::shared_ptr<Platform::PrivilegedRunner> m_privilegedTask;
};
