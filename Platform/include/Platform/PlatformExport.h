#pragma once

#if defined(PLATFORM_LIBRARY)
#define PLATFORM_EXPORT __attribute__((visibility("default")))
#else
#define PLATFORM_EXPORT __attribute__((visibility("default")))
#endif
