// The monotonic millisecond clock.
#include <time.h>

#include "clock_math.h"
#include "tidelink.h"

// Hosts read the clock on every timer check, and a stack guard costs this
// 28 ns call about a nanosecond; its one local is written by clock_gettime
// alone, with the size the type fixes.
__attribute__((no_stack_protector)) uint32_t udpGetHighPrecisionTime(void) {
    // Left zero if the clock fails, which then reads as 0.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return tidelink::wrappedMilliseconds(now.tv_sec, now.tv_nsec);
}
