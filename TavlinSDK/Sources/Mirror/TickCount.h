#pragma once

#include <QtGlobal>

// The casting library's tick count: whole milliseconds since boot on the
// monotonic clock. Video packets and RTP packets carry it.
quint64 GetTickCount64();

// The tick count cut to 32 bits, as the wire formats carry it.
inline quint32 GetTickCount()
{
    return quint32(GetTickCount64());
}
