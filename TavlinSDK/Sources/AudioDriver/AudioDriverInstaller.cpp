#include "AudioDriver/AudioDriverInstaller.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QThread>

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

    if (!QFileInfo(layout.targetFolder).isDir() && !runAdminStep(QStringLiteral("mkdir -p %1").arg(shellQuote(layout.targetFolder))))
        return false;
    if (QFileInfo::exists(targetBundle())
        && !runAdminStep(QStringLiteral("rm -r %1").arg(shellQuote(targetBundle()))))
        return false;
    if (!runAdminStep(QStringLiteral("mv -f %1 %2").arg(shellQuote(stagedBundle()), shellQuote(targetBundle()))))
        return false;

    // The sound servers read the bundle's files through links in their
    // drop-in folders.
    if (!layout.serverHooks.isEmpty()) {
        QStringList folders;
        QStringList links;
        for (const Platform::SoundDriverLayout::ServerHook &hook : layout.serverHooks) {
            folders << shellQuote(hook.dropInFolder);
            links << QStringLiteral("ln -sf %1 %2")
                         .arg(shellQuote(QDir(targetBundle()).filePath(hook.bundleFile)),
                              shellQuote(QDir(hook.dropInFolder).filePath(hook.linkName)));
        }
        const QString command = QStringLiteral("mkdir -p %1 && %2").arg(folders.join(QLatin1Char(' ')),
                                                                         links.join(QLatin1String(" && ")));
        if (!runAdminStep(command))
            return false;
    }
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
