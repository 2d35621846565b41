// Failures no test can cause from outside, injected into the library's own
// system calls: a bind step, the handle's allocation, a descriptor right at
// the end of select's set, and the clock the library reads.
#include <errno.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include "interposer.h"
#include "support.h"

using namespace tidelink_test;
using injection::Call;

namespace {

int bufferOf(int fd, int option) {
    int size = -1;
    socklen_t length = sizeof size;
    getsockopt(fd, SOL_SOCKET, option, &size, &length);
    return size;
}

// What the kernel reports for a fresh socket's buffer, as it comes or after
// asking for the library's 32768 bytes.
int referenceBuffer(int option, bool asked) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int size = 32768;
    if (asked) setsockopt(fd, SOL_SOCKET, option, &size, sizeof size);
    const int reported = bufferOf(fd, option);
    close(fd);
    return reported;
}

struct BindStep {
    const char* name;
    Call call;
    long detail;
    int error;
    bool receiveBufferSet, sendBufferSet;
};

// By name: GoogleTest would otherwise print the bytes, padding and all.
void PrintTo(const BindStep& step, std::ostream* out) {
    *out << step.name;
}

class FailingBindStep : public ::testing::TestWithParam<BindStep> {};

}  // namespace

TEST_P(FailingBindStep, StoresTheErrorAndKeepsWhatTheEarlierStepsDid) {
    const BindStep& step = GetParam();
    for (int option : {SO_RCVBUF, SO_SNDBUF}) ASSERT_NE(referenceBuffer(option, false), referenceBuffer(option, true));
    Handle h;
    injection::failNext(step.call, step.error, step.detail);
    EXPECT_EQ(udpBind(h, endpoint(kLoopback, 0)), UDP_ERROR_SYSTEM);
    ASSERT_TRUE(injection::faultMet());
    EXPECT_EQ(udpLastError(h), step.error) << errorText(h);

    const int fd = descriptorOf(h);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "non-blocking, though that step never ran";
    EXPECT_EQ(bufferOf(fd, SO_RCVBUF), referenceBuffer(SO_RCVBUF, step.receiveBufferSet));
    EXPECT_EQ(bufferOf(fd, SO_SNDBUF), referenceBuffer(SO_SNDBUF, step.sendBufferSet));
    UdpEndPoint bound = endpoint(1, 1);
    EXPECT_EQ(udpGetEndPoint(h, &bound), 0);
    EXPECT_EQ(bound.address | bound.port, 0u) << "the endpoint was stored";
    // The bind step held, so the system refuses a second one.
    EXPECT_EQ(udpBind(h, endpoint(kLoopback, 0)), UDP_ERROR_SYSTEM);
    EXPECT_EQ(udpLastError(h), EINVAL) << errorText(h);
}

INSTANTIATE_TEST_SUITE_P(Bind, FailingBindStep,
    ::testing::Values(BindStep{"ReceiveBuffer", Call::Setsockopt, SO_RCVBUF, ENOBUFS, false, false},
                      BindStep{"SendBuffer", Call::Setsockopt, SO_SNDBUF, ENOMEM, true, false},
                      BindStep{"NonBlocking", Call::Ioctl, static_cast<long>(FIONBIO), EPERM, true, true}),
    [](const ::testing::TestParamInfo<BindStep>& step) { return std::string(step.param.name); });

TEST(FailingCreate, AllocationAnswersNullAndLeavesNoDescriptorOpen) {
    // The lowest free number is the one a new descriptor would take.
    const auto lowestFree = [] { const int fd = open("/dev/null", O_RDONLY); close(fd); return fd; };
    const int before = lowestFree();
    injection::failNext(Call::Calloc, ENOMEM);
    EXPECT_EQ(udpCreate(), nullptr);
    ASSERT_TRUE(injection::faultMet());
    EXPECT_EQ(lowestFree(), before);
}

// FD_SETSIZE - 1 is the last descriptor select's set holds; from FD_SETSIZE
// on, the wait must use poll. (With _FORTIFY_SOURCE, FD_SET past the set
// aborts; without, select would be told to look past it.)
class WaitAtDescriptor : public ::testing::TestWithParam<int> {};

TEST_P(WaitAtDescriptor, TakesTheRightPathAndAnswersAlike) {
    const int target = GetParam();
    Handle receiver, sender;
    const UdpEndPoint to = bindLoopback(receiver);
    bindLoopback(sender);
    if (!moveToDescriptor(receiver, target)) GTEST_SKIP() << "no descriptor " << target;

    injection::waits = {};
    EXPECT_EQ(udpRecvPoll(receiver, 20), UDP_ERROR_TIMEOUT);
    ASSERT_EQ(udpSendTo(sender, "w", 1, to), 1) << errorText(sender);
    EXPECT_EQ(udpRecvPoll(receiver, 2000), 0);
    const bool inSet = target < FD_SETSIZE;
    EXPECT_EQ(injection::waits.selects, inSet ? 2 : 0);
    EXPECT_LE(injection::waits.widestSelect, FD_SETSIZE);
    EXPECT_EQ(injection::waits.polls, inSet ? 0 : 2);
    EXPECT_EQ(injection::waits.lastPolled, inSet ? -1 : target);
}

INSTANTIATE_TEST_SUITE_P(SetEdge, WaitAtDescriptor, ::testing::Values(FD_SETSIZE - 1, FD_SETSIZE),
    [](const ::testing::TestParamInfo<int>& fd) { return fd.param < FD_SETSIZE ? "LastInSet" : "FirstPastSet"; });

// The clock that counts suspend (CLOCK_BOOTTIME) or the wall clock would read
// alike in a test that compares readings, so the read itself is watched.
TEST(Clock, ReadsTheMonotonicClockAndAFailedReadIsZero) {
    injection::clockReads = {};
    udpGetHighPrecisionTime();
    EXPECT_EQ(injection::clockReads.reads, 1);
    EXPECT_EQ(injection::clockReads.lastClock, CLOCK_MONOTONIC);
    injection::failNext(Call::ClockGettime, EINVAL);
    EXPECT_EQ(udpGetHighPrecisionTime(), 0u);
    EXPECT_TRUE(injection::faultMet());
    EXPECT_EQ(injection::clockReads.reads, 2);
}
