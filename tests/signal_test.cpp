// A signal whose handler was installed without SA_RESTART, landing inside a
// wait or a blocking receive: the call answers and the handle goes on working.
#include <errno.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "descriptor_above_set.h"
#include "loopback.h"
#include "numbered_datagram.h"

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

void sendNumbered(UdpSocket* from, UdpEndPoint to, uint32_t sequence) {
    const std::vector<uint8_t> datagram = numberedDatagram(sequence);
    const auto length = static_cast<int32_t>(datagram.size());
    ASSERT_EQ(udpSendTo(from, datagram.data(), length, to), length) << errorText(from);
}

void receiveNumbered(UdpSocket* on, uint32_t sequence, uint16_t senderPort) {
    ASSERT_EQ(udpRecvPoll(on, 2000), 0) << "the next datagram did not arrive";
    std::vector<uint8_t> buffer(kLargestNumbered);
    UdpEndPoint source{};
    const int32_t count = udpRecvFrom(on, buffer.data(), static_cast<int32_t>(buffer.size()), &source);
    ASSERT_GE(count, 0) << errorText(on);
    EXPECT_TRUE(isNumbered(sequence, buffer.data(), static_cast<size_t>(count))) << "damaged";
    EXPECT_EQ(source.port, senderPort);
}

}  // namespace

class SignalDuringWait : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        receiverEnd = bindLoopback(receiver);
        senderEnd = bindLoopback(sender);
        if (GetParam() && !moveAboveSetSize(receiver)) GTEST_SKIP() << "no descriptor above 1024";
    }
    Handle receiver, sender;
    UdpEndPoint receiverEnd{}, senderEnd{};
};

INSTANTIATE_TEST_SUITE_P(Descriptor, SignalDuringWait, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "AboveSetSize" : "BelowSetSize";
                         });

TEST_P(SignalDuringWait, WaitAnswersFailedAndHandleStaysUsable) {
    InterruptingSignal signal;
    const int deliveredBefore = deliveries.load();
    const Interrupted wait = callUnderSignals([&] { return udpRecvPoll(receiver, 60'000); },
                                              [&] { sendNumbered(sender, receiverEnd, 0); });
    EXPECT_EQ(wait.result, UDP_ERROR_SYSTEM) << "an interrupted wait answers as a failed one";
    EXPECT_LT(wait.took, std::chrono::seconds(30)) << "the signal did not end the wait";
    EXPECT_GT(deliveries.load(), deliveredBefore);
    EXPECT_EQ(udpLastError(receiver), 0) << "a failed wait stores no error number";

    sendNumbered(sender, receiverEnd, 1472);
    receiveNumbered(receiver, 1472, senderEnd.port);
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
    sendNumbered(unbound, peerEnd, 3);
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

    sendNumbered(peer, unboundEnd, 1000);
    receiveNumbered(unbound, 1000, peerEnd.port);
}
