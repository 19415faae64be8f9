#include "Mirror/TickCount.h"

#include <chrono>

quint64 GetTickCount64()
{
    // steady_clock is the monotonic clock, which counts from boot and, like
    // the host clock it stands for, not during suspend.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return quint64(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
