// A signal whose handler was installed without SA_RESTART, landing inside a
// wait or a blocking receive: the call answers and the handle goes on working.
#include <errno.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "numbered_datagram.h"
#include "support.h"

using namespace tidelink_test;
using std::chrono::milliseconds;

namespace {

std::atomic<int> deliveries{0};

void countDelivery(int) {
    deliveries.fetch_add(1);
}

// SIGUSR1 runs countDelivery for the life of this object; a system call it
// interrupts is not restarted.
class InterruptingSignal {
public:
    InterruptingSignal() {
        struct sigaction action {};
        action.sa_handler = countDelivery;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGUSR1, &action, &previous_);
    }
    ~InterruptingSignal() { sigaction(SIGUSR1, &previous_, nullptr); }
    InterruptingSignal(const InterruptingSignal&) = delete;
    InterruptingSignal& operator=(const InterruptingSignal&) = delete;

private:
    struct sigaction previous_ {};
};

struct Interrupted {
    int32_t result;
    std::chrono::steady_clock::duration took;
};

// Signals this thread every 20 ms until `call` returns, so one lands inside
// the call however the threads are scheduled. Should the signals not end it,
// `release` ends it after 10 s, for a failure rather than a hang.
template <typename Call, typename Release>
Interrupted callUnderSignals(Call call, Release release) {
    const pthread_t target = pthread_self();
    std::atomic<bool> returned{false};
    std::thread signaller([&] {
        for (int round = 0; !returned; ++round) {
            std::this_thread::sleep_for(milliseconds(20));
            if (returned) break;
            pthread_kill(target, SIGUSR1);
            if (round == 500) release();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = call();
    const auto took = std::chrono::steady_clock::now() - start;
    returned = true;
    signaller.join();
    return {result, took};
}

}  // namespace

using SignalDuringWait = BelowAndAboveSetSize;
TIDELINK_BELOW_AND_ABOVE_SET_SIZE(SignalDuringWait);

TEST_P(SignalDuringWait, WaitAnswersFailedAndHandleStaysUsable) {
    InterruptingSignal signal;
    const int deliveredBefore = deliveries.load();
    const Interrupted wait = callUnderSignals([&] { return udpRecvPoll(receiver, 60'000); },
                                              [&] { sendNumbered(sender, receiverEnd, 0); });
    EXPECT_EQ(wait.result, UDP_ERROR_SYSTEM) << "an interrupted wait answers as a failed one";
    EXPECT_LT(wait.took, std::chrono::seconds(30)) << "the signal did not end the wait";
    EXPECT_GT(deliveries.load(), deliveredBefore);
    EXPECT_EQ(udpLastError(receiver), 0) << "a failed wait stores no error number";

    ASSERT_TRUE(sendNumbered(sender, receiverEnd, 1472)) << errorText(sender);
    EXPECT_TRUE(receivesNumbered(receiver, 1472, senderEnd.port)) << errorText(receiver);
}

// Hosts tell an interrupted wait from a failed one by errno, read right after
// the call on the same thread, and then wait again for the time left.
TEST_P(SignalDuringWait, InterruptedWaitLeavesEintrInErrno) {
    InterruptingSignal signal;
    int errnoAfter = 0;
    const Interrupted wait = callUnderSignals(
        [&] {
            errno = 0;
            const int32_t result = udpRecvPoll(receiver, 60'000);
            errnoAfter = errno;
            return result;
        },
        [&] { sendNumbered(sender, receiverEnd, 0); });
    ASSERT_EQ(wait.result, UDP_ERROR_SYSTEM);
    EXPECT_EQ(errnoAfter, EINTR) << strerror(errnoAfter);
    EXPECT_EQ(udpLastError(receiver), 0) << "the wait still stores no error number";
}

// Never bound, the socket still blocks: the receive waits until the signal.
TEST(SignalDuringReceive, BlockingReceiveAnswersInterruptedAndHandleStaysUsable) {
    Handle unbound, peer;
    const UdpEndPoint peerEnd = bindLoopback(peer);
    // Its first send gives the unbound socket a port the peer can answer.
    ASSERT_TRUE(sendNumbered(unbound, peerEnd, 3)) << errorText(unbound);
    UdpEndPoint unboundEnd{};
    {
        std::vector<uint8_t> buffer(kLargestNumbered);
        ASSERT_EQ(udpRecvPoll(peer, 2000), 0);
        ASSERT_GE(udpRecvFrom(peer, buffer.data(), static_cast<int32_t>(buffer.size()), &unboundEnd), 0);
    }

    InterruptingSignal signal;
    std::vector<uint8_t> buffer(kLargestNumbered, 0xEE);
    UdpEndPoint source = endpoint(0x0A0B0C0D, 1234);
    const Interrupted receive = callUnderSignals(
        [&] { return udpRecvFrom(unbound, buffer.data(), static_cast<int32_t>(buffer.size()), &source); },
        [&] { sendNumbered(peer, unboundEnd, 0); });
    EXPECT_EQ(receive.result, UDP_ERROR_SYSTEM);
    EXPECT_EQ(udpLastError(unbound), EINTR) << errorText(unbound);
    EXPECT_EQ(source.address, 0x0A0B0C0Du) << "the sender is not written for a failed receive";
    EXPECT_EQ(source.port, 1234u);

    ASSERT_TRUE(sendNumbered(peer, unboundEnd, 1000)) << errorText(peer);
    EXPECT_TRUE(receivesNumbered(unbound, 1000, peerEnd.port)) << errorText(unbound);
}
