#pragma once

namespace TestSupport {

// Gives the process, and then each test case, a home of its own: a new
// folder as HOME with the XDG configuration, data, cache, state and runtime
// folders inside it, and QSettings' user files in its configuration folder.
// Nothing a case writes reaches the user's folders, another test program or
// the next case of the same program, and nothing a case reads comes from
// them. Each case's folder goes when the case ends.
// Call once, after InitGoogleTest and before the application object exists.
void installCleanHome();

} // namespace TestSupport
