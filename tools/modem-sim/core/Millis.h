#pragma once

#include <cstdint>

// Milliseconds on a monotonic clock. The core never reads a clock itself: callers pass the time
// in, so tests can step through rings and guard times without sleeping.
using Millis = std::int64_t;
