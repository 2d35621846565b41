// Turning a monotonic clock reading into the 32-bit millisecond count.
#pragma once

#include <stdint.h>

namespace tidelink {

// Unsigned on purpose: the count wraps modulo 2^32 (about every 49.7 days),
// and only differences of two readings mean anything.
inline uint32_t wrappedMilliseconds(int64_t seconds, int64_t nanoseconds) {
    return static_cast<uint32_t>(seconds) * 1000u + static_cast<uint32_t>(nanoseconds / 1000000);
}

}  // namespace tidelink
