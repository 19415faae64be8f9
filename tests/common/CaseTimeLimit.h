#pragma once

namespace TestSupport {

// Ends the process when one test runs longer than its limit: it names the
// test, prints where the main thread stands, and exits with a failure. A
// stuck case then fails with a clue well before the test runner's own kill,
// which says nothing. The limit is 90 s (a busy machine slows a sound case
// several times over), or the seconds in QUAVDESK_TEST_CASE_LIMIT_S (0 turns
// it off, e.g. under a debugger).
// Call once, after InitGoogleTest.
void installCaseTimeLimit();

} // namespace TestSupport
