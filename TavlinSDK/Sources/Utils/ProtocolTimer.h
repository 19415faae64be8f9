#pragma once

#include <QObject>
#include <QTimer>

// Timers whose length a receiver counts on (the name wait, the code check,
// the heartbeat that also drives reconnects, the keep-alives, the cast
// request). Qt's default coarse timers may fire up to 5 % early, and a
// receiver that answers near the end of a wait then loses the session, so
// these are precise. Each is a named child of its owner, so a test can find
// it and look at its type.
namespace ProtocolTimer {

inline void setUp(QTimer &timer, QObject *owner, const char *name, bool singleShot)
{
    timer.setParent(owner);
    timer.setObjectName(QLatin1String(name));
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(singleShot);
}

// The names, for the owners and for tests.
inline constexpr const char *kNameWait = "nameWait";
inline constexpr const char *kCodeCheck = "codeCheck";
inline constexpr const char *kHandshakeDeadline = "handshakeDeadline";
inline constexpr const char *kHeartbeat = "heartbeat";
inline constexpr const char *kCastRequest = "castRequest";
inline constexpr const char *kDirectCastKeepAlive = "directCastKeepAlive";
inline constexpr const char *kCastKeepAlive = "castKeepAlive";

} // namespace ProtocolTimer
