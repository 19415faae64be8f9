#include "AudioDriver/AudioDriverInstaller.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QThread>
#include <algorithm>

#include "AudioSwitcher/AudioSwitcher.h"
#include "Mirror/AudioSession.h"
AudioDriverServices AudioDriverServices::fromPlatform(const Platform::PlatformServices &platform)
{
    AudioDriverServices services;
    services.devices = platform.soundDevices;
    if (const std::shared_ptr<Platform::PrivilegedRunner> runner = platform.privilegedRunner)
        services.makePrivilegedRunner = [runner] { return runner; };
    services.zipExtractor = platform.zipExtractor;
    services.commandRunner = platform.commandRunner;
    services.layout = platform.soundDriverLayout;
    return services;
}

QString AudioDriverInstaller::stagedBundle() const
{
    return QDir(m_services.layout.stagingFolder).filePath(QString::fromLatin1(kBundleName));
}

QString AudioDriverInstaller::targetBundle() const
{
    return QDir(m_services.layout.targetFolder).filePath(QString::fromLatin1(kBundleName));
}

QString AudioDriverInstaller::olderBundle() const
{
    return QDir(m_services.layout.targetFolder).filePath(QString::fromLatin1(kOlderBundleName));
}

AudioDriverInstaller::AudioDriverInstaller(AudioDriverServices services) : m_services(std::move(services)) {}

QString AudioDriverInstaller::shellQuote(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

bool AudioDriverInstaller::isSonvaleInstalled()
{
    return m_services.devices && output_device_did_exist(*m_services.devices, kSonvaleDeviceName);
}

bool AudioDriverInstaller::isTavlinAudioInstalled()
{
    return m_services.devices && output_device_did_exist(*m_services.devices, kTavlinAudioDeviceName);
}

bool AudioDriverInstaller::installSonvalePlugin()
{
    if (isSonvaleInstalled())
        return true;
    bool installed = installHALAudio();
    if (!installed)
        installed = installHALAudio();
    return installed;
}

std::shared_ptr<Platform::PrivilegedRunner> AudioDriverInstaller::privilegedTask()
{
    if (!m_privilegedTask && m_services.makePrivilegedRunner)
        m_privilegedTask = m_services.makePrivilegedRunner();
    return m_privilegedTask;
}

QString AudioDriverInstaller::runScriptWithAdmin(const QString &command, int *exitStatus)
{
    if (exitStatus)
        *exitStatus = -1;
    const std::shared_ptr<Platform::PrivilegedRunner> runner = privilegedTask();
    if (!runner)
        return QString::fromLatin1(kGrantError);
    const Platform::PrivilegedResult result = runner->runShellCommand(command);
    if (!result.granted)
        return QString::fromLatin1(kGrantError);
    if (exitStatus)
        *exitStatus = result.exitStatus;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(result.output);
    if (decoder.hasError())
        return QString::fromLatin1(kGrantSucceed);
    return text;
}

bool AudioDriverInstaller::runAdminStep(const QString &command)
{
    int exitStatus = -1;
    const QString output = runScriptWithAdmin(command, &exitStatus);
    if (output == QLatin1String(kGrantError) && exitStatus == -1) {
        qInfo().noquote() << "administrator rights refused for:" << command;
        return false;
    }
    if (exitStatus != 0) {
        qInfo().noquote() << "administrator command failed with status" << exitStatus << ":" << command
                          << output.trimmed();
        return false;
    }
    return true;
}

QByteArray AudioDriverInstaller::archive() const
{
    if (!m_services.archive.isEmpty())
        return m_services.archive;
    QFile resource(QString::fromLatin1(kArchiveResource));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return resource.readAll();
}

QByteArray AudioDriverInstaller::manifest() const
{
    // An archive handed over comes with its own list, or with none.
    if (!m_services.manifest.isEmpty() || !m_services.archive.isEmpty())
        return m_services.manifest;
    QFile resource(QString::fromLatin1(kManifestResource));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return resource.readAll();
}

std::optional<QList<AudioDriverInstaller::BundleFile>> AudioDriverInstaller::parseManifest(const QByteArray &manifest)
{
    constexpr qsizetype kHexDigits = 64;
    QList<BundleFile> files;
    QSet<QString> seen;
    for (const QByteArray &line : manifest.split('\n')) {
        if (line.isEmpty())
            continue;
        if (line.size() <= kHexDigits + 2 || line.mid(kHexDigits, 2) != "  ")
            return std::nullopt;
        const QByteArray hash = line.first(kHexDigits);
        if (!std::all_of(hash.begin(), hash.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
            return std::nullopt;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString path = decoder.decode(line.sliced(kHexDigits + 2));
        if (decoder.hasError() || path.startsWith(QLatin1Char('/')))
            return std::nullopt;
        if (std::any_of(path.begin(), path.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; }))
            return std::nullopt;
        for (const QString &part : path.split(QLatin1Char('/'))) {
            if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
                return std::nullopt;
        }
        if (seen.contains(path))
            return std::nullopt;
        seen.insert(path);
        files.append({path, hash});
    }
    if (files.isEmpty())
        return std::nullopt;
    return files;
}

QString AudioDriverInstaller::installScript(const QList<BundleFile> &files) const
{
    const Platform::SoundDriverLayout &layout = m_services.layout;
    const QString bundle = targetBundle();
    const QString fresh = bundle + QStringLiteral(".new");
    const QDir staged(stagedBundle());
    const QDir freshDir(fresh);

    QStringList folders;
    for (const BundleFile &file : files) {
        QString folder = QFileInfo(file.path).path();
        while (folder != QLatin1String(".") && !folders.contains(folder)) {
            folders.append(folder);
            folder = QFileInfo(folder).path();
        }
    }
    // Parents before their children.
    std::sort(folders.begin(), folders.end());

    QStringList script{
        QStringLiteral("set -e"),
        QStringLiteral("umask 022"),
        QStringLiteral("check() { [ \"$(sha256sum < \"$1\" | cut -d ' ' -f 1)\" = \"$2\" ]; }"),
        // The folder that holds the bundle is root's, or its owner could
        // swap the bundle later.
        QStringLiteral("install -d -o 0 -g 0 -m 0755 %1").arg(shellQuote(QDir::cleanPath(layout.targetFolder))),
        QStringLiteral("rm -rf %1").arg(shellQuote(fresh)),
        // Closed to others until the copies are known to be ours: a staged
        // file the user replaced may be a link to anything root can read.
        QStringLiteral("install -d -o 0 -g 0 -m 0700 %1").arg(shellQuote(fresh)),
    };
    for (const QString &folder : std::as_const(folders))
        script << QStringLiteral("install -d -o 0 -g 0 -m 0755 %1").arg(shellQuote(freshDir.filePath(folder)));
    for (const BundleFile &file : files) {
        script << QStringLiteral("install -o 0 -g 0 -m 0644 %1 %2")
                      .arg(shellQuote(staged.filePath(file.path)), shellQuote(freshDir.filePath(file.path)));
    }
    for (const BundleFile &file : files) {
        script << QStringLiteral("check %1 %2 || { rm -rf %3; echo %4 >&2; exit 3; }")
                      .arg(shellQuote(freshDir.filePath(file.path)), QString::fromLatin1(file.sha256),
                           shellQuote(fresh), shellQuote(QStringLiteral("changed on the way: ") + file.path));
    }
    script << QStringLiteral("chmod 0755 %1").arg(shellQuote(fresh))
           << QStringLiteral("rm -rf %1").arg(shellQuote(bundle))
           << QStringLiteral("mv -f -T %1 %2").arg(shellQuote(fresh), shellQuote(bundle));

    // The sound servers read the bundle's files through links in their
    // drop-in folders.
    for (const Platform::SoundDriverLayout::ServerHook &hook : layout.serverHooks) {
        script << QStringLiteral("mkdir -p %1").arg(shellQuote(hook.dropInFolder))
               << QStringLiteral("ln -sfn %1 %2")
                      .arg(shellQuote(QDir(bundle).filePath(hook.bundleFile)),
                           shellQuote(QDir(hook.dropInFolder).filePath(hook.linkName)));
    }
    return script.join(QLatin1Char('\n'));
}

bool AudioDriverInstaller::installHALAudio()
{
    const Platform::SoundDriverLayout &layout = m_services.layout;
    QDir staging(layout.stagingFolder);
    staging.mkpath(QStringLiteral("."));
    QDir(stagedBundle()).removeRecursively();
    QDir(staging.filePath(QStringLiteral("_MACOSX"))).removeRecursively();

    const QByteArray bytes = archive();
    if (bytes.isEmpty() || !m_services.zipExtractor
        || !m_services.zipExtractor->extract(bytes, layout.stagingFolder)) {
        qInfo().noquote() << "ERROR!!unable to unzip Sonvale to target folder....";
        return false;
    }

    const std::optional<QList<BundleFile>> files = parseManifest(manifest());
    if (!files) {
        qInfo().noquote() << "the virtual sound device's list of files is missing or damaged";
        return false;
    }
    // A staging folder that does not hold what the library carries is not
    // worth asking the user's password for; the script checks again on
    // root's copies.
    for (const BundleFile &file : *files) {
        QFile staged(QDir(stagedBundle()).filePath(file.path));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!staged.open(QIODevice::ReadOnly) || !hash.addData(&staged) || hash.result().toHex() != file.sha256) {
            qInfo().noquote() << "the unpacked virtual sound device differs from the library's:" << file.path;
            return false;
        }
    }

    if (!runAdminStep(installScript(*files)))
        return false;
    return loadHalAudio();
}

bool AudioDriverInstaller::loadHalAudio()
{
    if (!m_services.commandRunner)
        return false;
    const Platform::CommandResult restart = m_services.commandRunner->run(
        QStringLiteral("/bin/sh"), {QStringLiteral("-c"), m_services.layout.restartCommand}, {});
    if (!restart.started) {
        qInfo().noquote() << "cannot restart the sound server";
        return false;
    }
    if (restart.exitStatus != 0)
        qInfo().noquote() << "the sound server restart ended with status" << restart.exitStatus;

    QElapsedTimer clock;
    clock.start();
    bool appeared = false;
    while (m_services.devices) {
        if (clock.elapsed() > m_services.timings.deviceWaitMs)
            break;
        QList<Platform::SoundDevice> captures;
        m_services.devices->listCaptureDevices(&captures);
        for (const Platform::SoundDevice &device : std::as_const(captures)) {
            if (device.uniqueId == QLatin1String(AudioSession::kRecordingDeviceUniqueId))
                appeared = true;
        }
        if (appeared)
            break;
        QThread::msleep(static_cast<unsigned long>(m_services.timings.devicePollMs));
    }
    if (!appeared)
        qInfo().noquote() << "the virtual sound device did not appear in time";
    // The device may still come; the installation itself is done.
    return true;
}

bool AudioDriverInstaller::uninstallTavlinAudio()
{
    const QString older = olderBundle();
    if (QFileInfo::exists(older) && !runAdminStep(QStringLiteral("rm -r %1").arg(shellQuote(older))))
        return false;
    if (!m_services.commandRunner)
        return false;
    const Platform::CommandResult restart = m_services.commandRunner->run(
        QStringLiteral("/bin/sh"), {QStringLiteral("-c"), m_services.layout.restartCommand}, {});
    return restart.started;
}
