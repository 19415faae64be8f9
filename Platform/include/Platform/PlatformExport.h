#pragma once

// The platform library is built with hidden symbols: its interfaces and the
// factory of the process's services carry this mark; the Linux backends and
// their own factories stay inside the library.
#define PLATFORM_EXPORT __attribute__((visibility("default")))
