// Threads that each own their handles, exchanging datagrams at the same time;
// the ThreadSanitizer build shows any state the calls shared.
#include <errno.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "numbered_datagram.h"
#include "support.h"

using namespace tidelink_test;

namespace {

constexpr size_t kThreads = 4;
constexpr uint32_t kPerThread = 2000;

// Each thread sends on its own sender to the next thread's receiver and takes
// from its own receiver what the previous thread sent: a ring, so every
// handle is used by one thread and every datagram crosses threads.
struct Station {
    Handle sender, receiver;
    UdpEndPoint senderEnd{}, receiverEnd{};
};

struct Result {
    uint32_t damaged = 0;
    uint32_t wrongSender = 0;
    uint32_t failedCalls = 0;
};

void runStation(std::array<Station, kThreads>& ring, size_t self, std::atomic<size_t>& ready, Result& result) {
    Station& own = ring[self];
    const Station& next = ring[(self + 1) % kThreads];
    const Station& previous = ring[(self + kThreads - 1) % kThreads];
    std::vector<uint8_t> buffer(kLargestNumbered);

    ++ready;
    while (ready < kThreads) std::this_thread::yield();  // all start together

    uint32_t lastClock = udpGetHighPrecisionTime();
    for (uint32_t i = 0; i < kPerThread; ++i) {
        const std::vector<uint8_t> out = numberedDatagram(static_cast<uint32_t>(self) * kPerThread + i);
        if (udpSendTo(own.sender, out.data(), static_cast<int32_t>(out.size()), next.receiverEnd) !=
            static_cast<int32_t>(out.size())) {
            ++result.failedCalls;
        }
        UdpEndPoint source{};
        if (udpRecvPoll(own.receiver, 5000) != 0) {
            ++result.failedCalls;
            continue;
        }
        const int32_t count = udpRecvFrom(own.receiver, buffer.data(), static_cast<int32_t>(buffer.size()), &source);
        if (count < 0) {
            ++result.failedCalls;
            continue;
        }
        const auto expected = static_cast<uint32_t>((self + kThreads - 1) % kThreads) * kPerThread + i;
        if (!isNumbered(expected, buffer.data(), static_cast<size_t>(count))) ++result.damaged;
        if (source.port != previous.senderEnd.port || source.address != kLoopback) ++result.wrongSender;

        // The calls that need no handle, from every thread at once.
        const uint32_t now = udpGetHighPrecisionTime();
        if (now - lastClock >= 0x80000000u || udpPlatform()[0] != 'a' || udpLastError(own.sender) != 0) {
            ++result.failedCalls;
        }
        lastClock = now;
    }
}

}  // namespace

TEST(Concurrency, ThreadsWithTheirOwnHandlesExchangeAtOnce) {
    std::array<Station, kThreads> ring;
    for (Station& station : ring) {
        station.senderEnd = bindLoopback(station.sender);
        station.receiverEnd = bindLoopback(station.receiver);
    }
    std::array<Result, kThreads> results{};
    std::atomic<size_t> ready{0};
    std::vector<std::thread> threads;
    for (size_t i = 0; i < kThreads; ++i) {
        threads.emplace_back(runStation, std::ref(ring), i, std::ref(ready), std::ref(results[i]));
    }
    for (std::thread& t : threads) t.join();

    for (size_t i = 0; i < kThreads; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(results[i].damaged, 0u) << "datagrams damaged or crossed between threads";
        EXPECT_EQ(results[i].wrongSender, 0u);
        EXPECT_EQ(results[i].failedCalls, 0u);
    }
}

// The commonest host shape: one thread sending, another receiving, on one
// handle. Each takes its failure's number from errno; the handle's lastError,
// written by both, must be no data race (the ThreadSanitizer build says).
TEST(Concurrency, SenderAndReceiverOnOneHandleEachSeeTheirOwnErrno) {
    Handle shared;
    const UdpEndPoint self = bindLoopback(shared);
    std::vector<uint8_t> tooLarge(70000);  // more than a datagram holds: EMSGSIZE
    std::atomic<uint32_t> wrong{0};
    auto fail = [&](auto call, int expected) {
        for (int i = 0; i < 5000; ++i) {
            if (call() != UDP_ERROR_SYSTEM || errno != expected) ++wrong;
        }
    };
    std::thread sender(fail, [&] { return udpSendTo(shared, tooLarge.data(), 70000, self); }, EMSGSIZE);
    std::thread receiver(fail, [&] {
        uint8_t byte;
        UdpEndPoint source{};
        return udpRecvFrom(shared, &byte, 1, &source);  // nothing is queued: EAGAIN
    }, EAGAIN);
    sender.join();
    receiver.join();
    EXPECT_EQ(wrong, 0u);
    const int32_t last = udpLastError(shared);
    EXPECT_TRUE(last == EMSGSIZE || last == EAGAIN) << last;
}
