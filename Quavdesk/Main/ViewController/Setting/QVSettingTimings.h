#pragma once

#include "Main/ViewController/Root/QVTipsBanner.h"

// How long the settings pages wait, in milliseconds. Pages are made by name,
// so they read the process's values as they are made; production values are
// the defaults and tests shorten them.
struct QVSettingTimings {
    // From accepted feedback back to the settings list.
    int feedbackReturnMs = 2000;
    // The about page's five clicks must fall within this, counted from the
    // first.
    int aboutClickWindowMs = 1000;
    QVTipsTimings tips;

    static QVSettingTimings current();
    static void setCurrent(const QVSettingTimings &timings);
};
