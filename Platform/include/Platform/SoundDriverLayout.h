#pragma once

#include <QList>
#include <QString>

namespace Platform {

// Where this system keeps the virtual sound device's bundle, and how its sound
// servers are made to load it.
struct SoundDriverLayout {
    // Where the archive is unpacked before the move into place; the user can
    // write there.
    QString stagingFolder;
    // The system-wide folder of installed bundles.
    QString targetFolder;

    // A file of the bundle that a sound server reads from its drop-in folder.
    struct ServerHook {
        QString bundleFile;   // relative to the installed bundle
        QString dropInFolder; // the server's folder of extra configuration
        QString linkName;     // the name of the link in that folder
    };
    QList<ServerHook> serverHooks;

    // Shell command that restarts the user's sound server so that it loads
    // the device; run as the user, not as administrator.
    QString restartCommand;
};

} // namespace Platform
