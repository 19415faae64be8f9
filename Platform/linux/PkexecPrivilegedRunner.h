#pragma once

#include <QString>

#include "Platform/PrivilegedRunner.h"

namespace Platform::Linux {

// "pkexec /bin/sh -c <command>". While the desktop asks for the password the
// caller's event loop keeps running in a local loop of its own, as behind a
// modal dialog: windows repaint, the tray answers, quitting works. A quit
// that comes meanwhile (the application's loops told to end) ends pkexec,
// reports the rights as refused, and every later command is refused at once:
// the program is on its way out.
class PLATFORM_EXPORT PkexecPrivilegedRunner final : public PrivilegedRunner {
public:
    // `program` stands in for pkexec in tests.
    explicit PkexecPrivilegedRunner(QString program = QStringLiteral("pkexec"));

    PrivilegedResult runShellCommand(const QString &command) override;

private:
    QString m_program;
    bool m_quitting = false;
};

} // namespace Platform::Linux
