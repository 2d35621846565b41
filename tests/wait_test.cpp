// Waiting for a handle to become readable, with select below 1024 and poll above.
#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support.h"

using namespace tidelink_test;
using std::chrono::milliseconds;

namespace {

using Clock = std::chrono::steady_clock;

struct Timed {
    int32_t result;
    Clock::duration took;
};

Timed timedPoll(UdpSocket* h, int32_t timeout) {
    const auto start = Clock::now();
    const int32_t result = udpRecvPoll(h, timeout);
    return {result, Clock::now() - start};
}

const std::vector<uint8_t> kByte = {'q'};

}  // namespace

using Wait = BelowAndAboveSetSize;
TIDELINK_BELOW_AND_ABOVE_SET_SIZE(Wait);

TEST_P(Wait, QueuedDatagramAnswersAtOnce) {
    ASSERT_EQ(sendBytes(sender, kByte, receiverEnd), 1) << errorText(sender);
    ASSERT_EQ(udpRecvPoll(receiver, 2000), 0);  // delivery on loopback is not instant
    const Timed t = timedPoll(receiver, 5000);
    EXPECT_EQ(t.result, 0);
    EXPECT_LT(t.took, milliseconds(1000));
    char byte = 0;
    UdpEndPoint source{};
    EXPECT_EQ(udpRecvFrom(receiver, &byte, 1, &source), 1);
    EXPECT_EQ(byte, 'q');
}

TEST_P(Wait, EmptyQueueTimesOutAfterAboutTheTimeout) {
    struct Case {
        int32_t timeout;
        milliseconds atLeast, below;
    };
    for (const Case& c : {Case{0, milliseconds(0), milliseconds(500)}, Case{50, milliseconds(40), milliseconds(1000)}}) {
        SCOPED_TRACE(c.timeout);
        const Timed t = timedPoll(receiver, c.timeout);
        EXPECT_EQ(t.result, UDP_ERROR_TIMEOUT);
        EXPECT_GE(t.took, c.atLeast);
        EXPECT_LT(t.took, c.below);
    }
}

TEST_P(Wait, DatagramArrivingMidWaitEndsIt) {
    std::thread late([&] {
        std::this_thread::sleep_for(milliseconds(100));
        ASSERT_EQ(sendBytes(sender, kByte, receiverEnd), 1) << errorText(sender);
    });
    // The largest time-out: its microseconds overflow 32 bits, so a wait that
    // works at all shows the product was not truncated into a refusal.
    const Timed t = timedPoll(receiver, INT32_MAX);
    late.join();
    EXPECT_EQ(t.result, 0);
    EXPECT_GE(t.took, milliseconds(50));
    EXPECT_LT(t.took, milliseconds(5000));
}

TEST_P(Wait, LargeTimeoutsPastThirtyTwoBitMicrosecondsAreAccepted) {
    ASSERT_EQ(sendBytes(sender, kByte, receiverEnd), 1) << errorText(sender);
    for (int32_t timeout : {2147484, 4294968, INT32_MAX}) {
        EXPECT_EQ(udpRecvPoll(receiver, timeout), 0) << timeout;
    }
}

TEST_P(Wait, NegativeTimeoutIsRefusedWithoutWaitingOrStoringError) {
    char byte = 0;
    UdpEndPoint source{};
    ASSERT_EQ(udpRecvFrom(receiver, &byte, 1, &source), UDP_ERROR_SYSTEM);
    ASSERT_EQ(udpLastError(receiver), EAGAIN);
    for (int32_t timeout : {-1, INT32_MIN}) {
        errno = 0;
        const Timed t = timedPoll(receiver, timeout);
        EXPECT_EQ(t.result, UDP_ERROR_SYSTEM);
        EXPECT_EQ(errno, EINVAL) << "the reason for -1 is left in errno";
        EXPECT_LT(t.took, milliseconds(500));
    }
    EXPECT_EQ(udpLastError(receiver), EAGAIN) << "a failed wait stores nothing";
}

// A pending socket error counts as readable for select, so the host's next
// receive reports it; poll flags it as POLLERR alone, which the wait above
// the set must answer alike. Linux queues the ICMP error only on a connected
// socket, so the receiver's own descriptor is connected to a closed port.
TEST_P(Wait, PendingSocketErrorAnswersReadableAndTheReceiveReportsIt) {
    UdpEndPoint closed{};
    {
        Handle gone;
        closed = bindLoopback(gone);
    }
    const sockaddr_in to = tidelink::toSockaddr(closed);
    const int fd = descriptorOf(receiver);
    ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0) << strerror(errno);
    ASSERT_EQ(send(fd, "e", 1, 0), 1) << strerror(errno);
    const Timed t = timedPoll(receiver, 2000);
    EXPECT_EQ(t.result, 0) << "the error must end the wait";
    EXPECT_LT(t.took, milliseconds(1000));
    char byte = 0;
    UdpEndPoint source{};
    EXPECT_EQ(udpRecvFrom(receiver, &byte, 1, &source), UDP_ERROR_SYSTEM);
    EXPECT_EQ(udpLastError(receiver), ECONNREFUSED) << errorText(receiver);
    EXPECT_EQ(udpRecvPoll(receiver, 0), UDP_ERROR_TIMEOUT) << "the receive took the error";
}

// A descriptor closed behind the library's back: the wait fails as a failed
// select does (EBADF), and poll's POLLNVAL answers the same above the set.
TEST_P(Wait, DescriptorClosedUnderTheHandleFailsWithoutStoringError) {
    ASSERT_EQ(close(descriptorOf(receiver)), 0);
    errno = 0;
    const Timed t = timedPoll(receiver, 1000);
    EXPECT_EQ(t.result, UDP_ERROR_SYSTEM) << "a time-out here would hide the dead descriptor";
    EXPECT_EQ(errno, EBADF) << "the reason for -1 is left in errno";
    EXPECT_LT(t.took, milliseconds(500));
    EXPECT_EQ(udpLastError(receiver), 0) << "a failed wait stores no error number";
}

TEST(WaitLong, TwoSecondTimeoutWaitsTheFullTwoSeconds) {
    Handle h;
    bindLoopback(h);
    const Timed t = timedPoll(h, 2000);
    EXPECT_EQ(t.result, UDP_ERROR_TIMEOUT);
    EXPECT_GE(t.took, milliseconds(1950));
    EXPECT_LT(t.took, milliseconds(6000));
}
