#pragma once

#include "AFNetwork/QVHttpBaseRequest.h"
#include "Main/ViewController/ShareScreen/QVFileTileView.h"

#include <QString>
#include <QStringList>

#include <functional>
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

    // The consent to remote input. The screen asks once, at the user's
    // first start of a cast; without these it never asks.
    // Whether the user has been asked already (whatever the answer).
    std::function<bool()> remoteInputConsentAsked;
    // Keeps the user's answer, and that the question has been asked.
    std::function<void(bool given)> setRemoteInputConsent;

    static QVShareScreenServices pageDefaults();
    static void setPageDefaults(QVShareScreenServices services);
    // The program's own services back in place of what a test set.
    static void resetPageDefaults();
};
