#include <QProcess>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {
namespace {

class ProcessRunner final : public CommandRunner {
public:
    CommandResult run(const QString &program, const QStringList &arguments,
                      const QString &workingDirectory) override
    {
        CommandResult result;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (!workingDirectory.isEmpty())
            process.setWorkingDirectory(workingDirectory);
        process.start(program, arguments);
        if (!process.waitForStarted())
            return result;
        result.started = true;
        process.closeWriteChannel();
        process.waitForFinished(-1);
        result.output = process.readAll();
        result.exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return result;
    }
};

} // namespace

std::shared_ptr<CommandRunner> makeCommandRunner() { return std::make_shared<ProcessRunner>(); }

} // namespace Platform::Linux
