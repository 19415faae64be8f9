#include "PkexecPrivilegedRunner.h"

#include <QEventLoop>
#include <QProcess>

#include "Platform/LinuxSoundPlatform.h"

namespace Platform::Linux {
namespace {

// pkexec's own exit statuses: the authentication dialog was dismissed, or
// the user could not be authorised.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;
// How long pkexec gets to go after it was asked to, and after it was killed.
constexpr int kEndWaitMs = 500;

} // namespace

PkexecPrivilegedRunner::PkexecPrivilegedRunner(QString program) : m_program(std::move(program)) {}

PrivilegedResult PkexecPrivilegedRunner::runShellCommand(const QString &command)
{
    PrivilegedResult result;
    if (m_quitting)
        return result;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop wait;
    bool ended = false;
    const auto end = [&ended, &wait] {
        ended = true;
        wait.quit();
    };
    QObject::connect(&process, &QProcess::finished, &wait, end);
    QObject::connect(&process, &QProcess::errorOccurred, &wait, [end](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end();
    });
    process.start(m_program, {QStringLiteral("/bin/sh"), QStringLiteral("-c"), command});
    process.closeWriteChannel();
    // Nothing but the two ends above quits this loop: when it returns
    // without them, the application's loops were told to end.
    if (!ended)
        wait.exec();
    if (!ended) {
        m_quitting = true;
        process.terminate();
        if (!process.waitForFinished(kEndWaitMs)) {
            process.kill();
            process.waitForFinished(kEndWaitMs);
        }
        return result;
    }
    if (process.error() == QProcess::FailedToStart)
        return result;
    result.output = process.readAll();
    if (process.exitStatus() != QProcess::NormalExit)
        return result;
    const int status = process.exitCode();
    if (status == kPkexecDismissed || status == kPkexecNotAuthorised)
        return result;
    result.granted = true;
    result.exitStatus = status;
    return result;
}

std::shared_ptr<PrivilegedRunner> makePrivilegedRunner() { return std::make_shared<PkexecPrivilegedRunner>(); }

} // namespace Platform::Linux
