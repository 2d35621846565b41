// What the fuzzer expects of each handle slot, kept beside the handle so
// every call's answer can be checked against it.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <array>
#include <deque>
#include <vector>

#include "handles.h"

namespace tidelink_fuzz {

using tidelink_test::kLoopback;  // every destination
constexpr size_t kSlots = 4;

// A datagram this input sent to one of its own handles and has not received.
struct Datagram {
    std::vector<uint8_t> bytes;
    uint16_t senderPort;
};

struct Slot {
    UdpSocket* handle = nullptr;
    int32_t lastError = 0;
    UdpEndPoint bound{};        // what udpGetEndPoint must answer
    bool nonBlocking = false;   // after a successful bind only
    bool readable = false;      // the last wait answered 0 and nothing was taken since
    std::deque<Datagram> queued;
};

struct Session {
    std::array<Slot, kSlots> slots;
    std::vector<uint16_t> stalePorts;  // ports of handles this input closed
    uint32_t serial = 0;               // makes each sent payload unique
};

// A broken expectation is a finding: abort, and libFuzzer keeps the input.
inline void expectEqual(long long got, long long expected, const char* what) {
    if (got == expected) return;
    fprintf(stderr, "tidelink_fuzz: %s: got %lld, expected %lld\n", what, got, expected);
    abort();
}

using tidelink_test::require;

}  // namespace tidelink_fuzz
