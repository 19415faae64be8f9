#pragma once

#include <QtGlobal>

// What every sender of a cast reports to the cast session through its status
// callback. The negative values end the cast.
enum MirrorSocketStatus : qint32 {
    MirrorSocketStatusConnected = 0,
    // A connection ended while its user value was neither "live" nor "closed
    // by this side"; also a connect that could not even start.
    MirrorSocketStatusOther = -1,
    MirrorSocketStatusConnectTimeout = -6,
    // The receiver closed the connection, or a live connection failed.
    MirrorSocketStatusClosedByServer = -7,
    // The control session's keep-alive went unanswered.
    MirrorSocketStatusHeartbeatLost = -8,
};
