// The monotonic millisecond clock.
#include <time.h>

#include "clock_math.h"
#include "tidelink.h"

uint32_t udpGetHighPrecisionTime(void) {
    // Left zero if the clock fails, which then reads as 0.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return tidelink::wrappedMilliseconds(now.tv_sec, now.tv_nsec);
}
