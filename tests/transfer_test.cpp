// Sending and receiving single datagrams between handles on 127.0.0.1.
#include <errno.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "support.h"

using namespace tidelink_test;

namespace {

constexpr uint16_t kUntouched = 0xA5A5;

struct Pair {
    Handle sender, receiver;
    UdpEndPoint from = bindLoopback(sender);
    UdpEndPoint to = bindLoopback(receiver);
};

std::vector<uint8_t> pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 31);
    return bytes;
}

}  // namespace

TEST(Transfer, DatagramsArriveUnchangedWithSenderInHostOrder) {
    Pair p;
    std::vector<uint8_t> received(65536);
    for (size_t size : {0u, 1u, 1200u, 8192u, 65507u}) {
        SCOPED_TRACE(size);
        const auto sent = pattern(size, static_cast<uint8_t>(size));
        ASSERT_EQ(sendBytes(p.sender, sent, p.to), static_cast<int32_t>(size)) << errorText(p.sender);
        ASSERT_EQ(udpRecvPoll(p.receiver, 2000), 0);
        UdpEndPoint source{};
        source.reserved = kUntouched;
        const int32_t count = udpRecvFrom(p.receiver, received.data(), 65536, &source);
        ASSERT_EQ(count, static_cast<int32_t>(size)) << errorText(p.receiver);
        // Not memcmp: the empty vector's data() is null, which memcmp may not take.
        EXPECT_TRUE(std::equal(sent.begin(), sent.end(), received.begin()));
        EXPECT_EQ(source.address, kLoopback);
        EXPECT_EQ(source.port, p.from.port);
        EXPECT_EQ(source.reserved, kUntouched) << "the sender's filler is not written";
    }
}

TEST(Transfer, OversizedDatagramIsRefusedWithSystemError) {
    Pair p;
    const auto tooLarge = pattern(65508, 1);
    EXPECT_EQ(sendBytes(p.sender, tooLarge, p.to), UDP_ERROR_SYSTEM);
    EXPECT_EQ(udpLastError(p.sender), EMSGSIZE);
}

TEST(Transfer, ShortBufferTruncatesAndNextDatagramIsIntact) {
    Pair p;
    const auto first = pattern(100, 3), second = pattern(10, 9);
    ASSERT_EQ(sendBytes(p.sender, first, p.to), 100);
    ASSERT_EQ(sendBytes(p.sender, second, p.to), 10);
    ASSERT_EQ(udpRecvPoll(p.receiver, 2000), 0);

    GuardedBuffer buffer(50);
    UdpEndPoint source{};
    ASSERT_EQ(udpRecvFrom(p.receiver, buffer.data(), 50, &source), 50);
    EXPECT_EQ(memcmp(buffer.data(), first.data(), 50), 0);
    EXPECT_TRUE(buffer.untouchedFrom(50)) << "written past the size";

    ASSERT_EQ(udpRecvPoll(p.receiver, 2000), 0);
    ASSERT_EQ(udpRecvFrom(p.receiver, buffer.data(), 50, &source), 10);
    EXPECT_EQ(memcmp(buffer.data(), second.data(), 10), 0);
}

TEST(Transfer, ZeroLengthDatagramFillsSender) {
    Pair p;
    ASSERT_EQ(udpSendTo(p.sender, nullptr, 0, p.to), 0) << errorText(p.sender);
    ASSERT_EQ(udpRecvPoll(p.receiver, 2000), 0);
    char byte = 'x';
    UdpEndPoint source{};
    EXPECT_EQ(udpRecvFrom(p.receiver, &byte, 1, &source), 0);
    EXPECT_EQ(byte, 'x');
    EXPECT_EQ(source.address, kLoopback);
    EXPECT_EQ(source.port, p.from.port);
}

TEST(Transfer, EmptyQueueOnBoundHandleWouldBlockAtOnce) {
    Handle h;
    bindLoopback(h);
    char byte = 0;
    UdpEndPoint source = endpoint(0x0A0B0C0D, 1234);
    source.reserved = kUntouched;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(udpRecvFrom(h, &byte, 1, &source), UDP_ERROR_SYSTEM);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(udpLastError(h), EAGAIN);
    EXPECT_EQ(source.address, 0x0A0B0C0Du);
    EXPECT_EQ(source.port, 1234u);
    EXPECT_EQ(source.reserved, kUntouched);
}

// A handle that was never bound keeps its blocking socket: the receive waits
// for the datagram instead of answering would-block.
TEST(Transfer, UnboundHandleReceivesBlocking) {
    Handle unbound, peer;
    const UdpEndPoint peerEnd = bindLoopback(peer);
    char byte = 'a';
    ASSERT_EQ(udpSendTo(unbound, &byte, 1, peerEnd), 1) << "the system picks a local port";
    UdpEndPoint unboundEnd{};
    ASSERT_EQ(udpGetEndPoint(unbound, &unboundEnd), 0);
    EXPECT_EQ(unboundEnd.port, 0u) << "a send does not update the bound endpoint";
    ASSERT_EQ(udpRecvPoll(peer, 2000), 0);
    ASSERT_EQ(udpRecvFrom(peer, &byte, 1, &unboundEnd), 1);

    std::thread reply([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const char answer = 'b';
        udpSendTo(peer, &answer, 1, unboundEnd);
    });
    const auto start = std::chrono::steady_clock::now();
    UdpEndPoint source{};
    const int32_t count = udpRecvFrom(unbound, &byte, 1, &source);
    const auto waited = std::chrono::steady_clock::now() - start;
    reply.join();
    ASSERT_EQ(count, 1) << errorText(unbound);
    EXPECT_EQ(byte, 'b');
    EXPECT_EQ(source.port, peerEnd.port);
    EXPECT_GE(waited, std::chrono::milliseconds(50));
}

TEST(Transfer, NegativeSizeIsRefusedAndDatagramStaysQueued) {
    Pair p;
    const auto sent = pattern(64, 5);
    ASSERT_EQ(sendBytes(p.sender, sent, p.to), 64);
    ASSERT_EQ(udpRecvPoll(p.receiver, 2000), 0);

    // A negative size reaching the kernel as a size_t would let it write the
    // whole datagram over the guard.
    GuardedBuffer buffer(64);
    UdpEndPoint source = endpoint(1, 1);
    for (int32_t size : {-1, -64, INT32_MIN}) {
        errno = 0;
        EXPECT_EQ(udpRecvFrom(p.receiver, buffer.data(), size, &source), UDP_ERROR_SYSTEM);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(udpLastError(p.receiver), EINVAL);
    }
    EXPECT_TRUE(buffer.untouchedFrom(0));
    EXPECT_EQ(source.address, 1u);

    ASSERT_EQ(udpRecvFrom(p.receiver, buffer.data(), 64, &source), 64);
    EXPECT_EQ(memcmp(buffer.data(), sent.data(), 64), 0);
}

TEST(Transfer, NegativeLengthIsRefusedAndNothingIsSent) {
    Pair p;
    const auto bytes = pattern(16, 7);
    for (int32_t length : {-1, INT32_MIN}) {
        errno = 0;
        EXPECT_EQ(udpSendTo(p.sender, bytes.data(), length, p.to), UDP_ERROR_SYSTEM);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(udpLastError(p.sender), EINVAL);
    }
    EXPECT_EQ(udpRecvPoll(p.receiver, 50), UDP_ERROR_TIMEOUT);
}
