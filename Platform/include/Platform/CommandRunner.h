#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "PlatformExport.h"

namespace Platform {

struct CommandResult {
    bool started = false;   // false when the program could not be run at all
    int exitStatus = -1;    // meaningful only when started
    QByteArray output;      // standard output and standard error on one channel
};

// Runs a program without administrator rights and waits for its end.
class PLATFORM_EXPORT CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual CommandResult run(const QString &program, const QStringList &arguments,
                              const QString &workingDirectory) = 0;
};

} // namespace Platform
