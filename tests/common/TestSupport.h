#pragma once

#include <QHostAddress>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace TestSupport {

// True when the run is CI's: a facility a test needs must then be present.
bool runningInCI();

// Skips the current test when `available` is false, or fails it under CI.
// Use as: if (!TestSupport::requireFacility("X display", hasDisplay)) return;
bool requireFacility(const char *facility, bool available);

// A loopback address of the 127.0.0.0/8 range for this test, distinct per
// call within a process and spread across processes, so suites run in
// parallel do not share ports.
QHostAddress uniqueLoopbackAddress();

// How many times slower than usual the tests run (QUAVDESK_TEST_TIME_SCALE,
// 1 when unset): a sanitizer that slows every thread many times over sets
// it, and the timings a test gives the code under test follow it.
int timeScale();
// `ms` milliseconds, scaled.
int scaled(int ms);

// Runs the event loop until `condition` holds or `timeoutMs` (scaled)
// passes. The default leaves room for a machine slowed many times over; a
// test's own time limit still stops a case that waits too often.
bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000);

// Runs the event loop for `ms` milliseconds. Only for a check that
// something does not happen: whatever a test waits for, it waits for with
// waitFor() (or a fake held at the step it wants), never for a fixed time.
void spin(int ms);

// Waits until `count` has kept its value for `quietMs`, at most
// `timeoutMs`, running the event loop: for the tail of a stream whose sender
// shows no end of the work it still has under way (pictures inside an
// encoder's pipeline). Wherever an end can be seen, wait for that instead.
bool waitUntilSteady(const std::function<qint64()> &count, int quietMs = 1000, int timeoutMs = 30000);

// Delivers the events already posted, and what the sockets and timers have
// ready now, without waiting for anything new: for a test's end, so that
// what the objects it ended posted runs before shared state is reset.
void runPostedEvents();

// Path of a program built with the project (for subprocess tests).
QString python3();

// Runs `ip` with the arguments (split at spaces), as the tests that drive a
// network namespace of their own do; fails with its output.
::testing::AssertionResult ip(const QString &arguments);

} // namespace TestSupport
