#include <QProcess>

#include "Platform/LinuxSoundPlatform.h"

namespace Platform::Linux {
namespace {

// pkexec's own exit statuses: the authentication dialog was dismissed, or
// the user could not be authorised.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

class PkexecPrivilegedRunner final : public PrivilegedRunner {
public:
    PrivilegedResult runShellCommand(const QString &command) override
    {
        PrivilegedResult result;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("pkexec"), {QStringLiteral("/bin/sh"), QStringLiteral("-c"), command});
        if (!process.waitForStarted())
            return result;
        process.closeWriteChannel();
        process.waitForFinished(-1);
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
};

} // namespace

std::shared_ptr<PrivilegedRunner> makePrivilegedRunner() { return std::make_shared<PkexecPrivilegedRunner>(); }

} // namespace Platform::Linux
