#pragma once

#define TAVLIN_EXPORT __attribute__((visibility("default")))
