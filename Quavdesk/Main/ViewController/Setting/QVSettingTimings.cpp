#include "Main/ViewController/Setting/QVSettingTimings.h"

namespace {

QVSettingTimings &slot()
{
    static QVSettingTimings timings;
    return timings;
}

} // namespace

QVSettingTimings QVSettingTimings::current()
{
    return slot();
}

void QVSettingTimings::setCurrent(const QVSettingTimings &timings)
{
    slot() = timings;
}
