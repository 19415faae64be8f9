#pragma once

// The library is built with hidden symbols: what a program may use carries
// this mark, and nothing else leaves the shared library.
#define TAVLIN_EXPORT __attribute__((visibility("default")))
