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

// Runs the event loop for `ms` milliseconds.
void spin(int ms);

// Path of a program built with the project (for subprocess tests).
QString python3();

// Runs `ip` with the arguments (split at spaces), as the tests that drive a
// network namespace of their own do; fails with its output.
::testing::AssertionResult ip(const QString &arguments);

} // namespace TestSupport
