// The benchmark pairs: each runs the same loop over the library and over
// the raw system calls.
#pragma once

#include <stdint.h>

namespace tidelink_bench {

// How many 64-byte datagrams a bound socket's receive buffer holds without
// a drop; 0 when it could not be measured.
int32_t measureBurstCapacity();

// Registers every pair, named "<pair>/library" and "<pair>/raw".
void registerPairs(int32_t burst);

}  // namespace tidelink_bench
