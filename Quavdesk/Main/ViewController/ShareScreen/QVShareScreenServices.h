#pragma once

#include "AFNetwork/QVHttpBaseRequest.h"
#include "Main/ViewController/ShareScreen/QVFileTileView.h"
#include "Platform/PlatformServices.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// What the casting screen takes from outside beyond the share manager and
// the shared tools. Pages made by the page host get pageDefaults(); tests
// set their own before they make one, or hand them to the constructor.
struct QVShareScreenServices {
    // The receiver's file-share server ports, in the order they are tried.
    QStringList fileSharePorts{QStringLiteral("8652"), QStringLiteral("8687")};
    // From taking the windows off the screen to asking for the freeze, so
    // that the frozen picture does not show them.
    int freezeDelayMs = 100;
    // The tiles' click guard runs on this clock.
    QVFileTileView::Clock tileClock = QVFileTileView::monotonicClock();
    // Timings of the file-share requests; unset: the request base's own.
    std::optional<QVHttpTimings> httpTimings;

    // The user's consent to remote input, which the casting library reads
    // before it posts the receiver's mouse and keyboard. The screen asks
    // once, at the user's first start of a cast, unless it is given already;
    // without it the screen never asks.
    std::shared_ptr<Platform::RemoteInputConsent> remoteInputConsent;
    // Where the screen keeps that it has asked, so that a "no" is not asked
    // again at the next run. Without it, it remembers for this screen only.
    std::shared_ptr<Platform::KeyValueStore> settings;
    static inline const QString RemoteInputAskedKey = QStringLiteral("remoteInputConsentAsked");

    // The ports, timings and clock as above, the consent and settings from
    // the program's platform services.
    static QVShareScreenServices fromPlatform(const Platform::PlatformServices &platform);

    static QVShareScreenServices pageDefaults();
    static void setPageDefaults(QVShareScreenServices services);
    // The program's own services back in place of what a test set.
    static void resetPageDefaults();
};
