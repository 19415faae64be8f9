#pragma once

#include <QByteArray>
#include <QString>

#include "PlatformExport.h"

namespace Platform {

struct PrivilegedResult {
    // False when the rights were refused or could not be obtained; nothing ran.
    bool granted = false;
    int exitStatus = -1;   // the command's exit status when granted
    QByteArray output;     // standard output and standard error
};

// Runs one shell command with administrator rights and waits for its end.
// The command text reaches "/bin/sh -c" as one argument; quoting the paths
// inside it is the caller's business.
class PLATFORM_EXPORT PrivilegedRunner {
public:
    virtual ~PrivilegedRunner() = default;
    virtual PrivilegedResult runShellCommand(const QString &command) = 0;
};

} // namespace Platform
