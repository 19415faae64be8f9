#pragma once

#include <QString>

class QCoreApplication;

// What the program sets on its application object before anything reads
// the settings or starts the casting library: organisation and application
// name (the settings store is theirs), version and build number (the
// library sends them to receivers), no quit when the last window closes
// (the program lives in the tray), its desktop identity and window icon, and
// the text-field shortcuts.
void QVConfigureApplication(QCoreApplication &app);

// The program's options.
struct QVProgramOptions {
    // The single-instance name; empty for the user's own.
    QString instanceName;
};
QVProgramOptions QVParseProgramOptions(const QCoreApplication &app);

// The whole program: start-up, event loop, exit status.
int QVApplicationMain(int argc, char **argv);
