// Creating, binding, querying and closing handles.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support.h"

using namespace tidelink_test;

namespace {

int socketOption(UdpSocket* handle, int option) {
    int value = 0;
    socklen_t length = sizeof value;
    EXPECT_EQ(getsockopt(descriptorOf(handle), SOL_SOCKET, option, &value, &length), 0);
    return value;
}

bool isNonBlocking(UdpSocket* handle) {
    return (fcntl(descriptorOf(handle), F_GETFL) & O_NONBLOCK) != 0;
}

// Closes standard input for a scope, as a host may, and puts it back after.
class StandardInputClosed {
public:
    StandardInputClosed() : saved_(fcntl(0, F_DUPFD_CLOEXEC, 3)) { close(0); }
    StandardInputClosed(const StandardInputClosed&) = delete;
    StandardInputClosed& operator=(const StandardInputClosed&) = delete;
    ~StandardInputClosed() {
        if (saved_ == -1) return;
        dup2(saved_, 0);
        close(saved_);
    }

private:
    int saved_;
};

}  // namespace

TEST(Lifecycle, FreshHandleHasNoErrorAndZeroEndpoint) {
    Handle h;
    ASSERT_NE(h.get(), nullptr);
    EXPECT_EQ(udpLastError(h), 0);
    UdpEndPoint out = endpoint(0xDEADBEEF, 4242);
    out.reserved = 0xBEEF;
    EXPECT_EQ(udpGetEndPoint(h, &out), 0);
    EXPECT_EQ(out.address, 0u);
    EXPECT_EQ(out.port, 0u);
    EXPECT_EQ(out.reserved, 0u) << "the whole stored endpoint is copied out";
    EXPECT_FALSE(isNonBlocking(h)) << "blocking until bound";
}

TEST(Lifecycle, BindAnyAddressPortZeroReportsChosenPort) {
    Handle h;
    ASSERT_EQ(udpBind(h, endpoint(0, 0)), 0) << errorText(h);
    UdpEndPoint out{};
    ASSERT_EQ(udpGetEndPoint(h, &out), 0);
    EXPECT_EQ(out.address, 0u);
    EXPECT_NE(out.port, 0u);
}

TEST(Lifecycle, BindLoopbackChosenPortRoundTrips) {
    uint16_t port;
    {
        Handle probe;
        port = bindLoopback(probe).port;
    }
    Handle h;
    ASSERT_EQ(udpBind(h, endpoint(kLoopback, port)), 0) << errorText(h);
    UdpEndPoint out{};
    ASSERT_EQ(udpGetEndPoint(h, &out), 0);
    EXPECT_EQ(out.address, kLoopback) << "127 must come back in the top byte";
    EXPECT_EQ(out.address >> 24, 127u);
    EXPECT_EQ(out.port, port);
}

TEST(Lifecycle, BindConfiguresBuffersAndNonBlocking) {
    Handle h;
    bindLoopback(h);
    // Linux doubles the requested size for its own bookkeeping.
    EXPECT_EQ(socketOption(h, SO_RCVBUF), 2 * 32768);
    EXPECT_EQ(socketOption(h, SO_SNDBUF), 2 * 32768);
    EXPECT_TRUE(isNonBlocking(h));
    EXPECT_EQ(socketOption(h, SO_REUSEADDR), 0) << "no option beyond buffers and blocking mode";
    EXPECT_EQ(socketOption(h, SO_BROADCAST), 0);
}

TEST(Lifecycle, SecondBindIsRefusedAndKeepsEndpoint) {
    Handle h;
    const UdpEndPoint first = bindLoopback(h);
    EXPECT_EQ(udpBind(h, endpoint(kLoopback, 0)), UDP_ERROR_SYSTEM);
    EXPECT_EQ(udpLastError(h), EINVAL);
    UdpEndPoint out{};
    ASSERT_EQ(udpGetEndPoint(h, &out), 0);
    EXPECT_EQ(out.address, first.address);
    EXPECT_EQ(out.port, first.port);
}

TEST(Lifecycle, PortInUseIsRefusedAndHandleStaysOpen) {
    Handle owner;
    const UdpEndPoint taken = bindLoopback(owner);
    Handle h;
    EXPECT_EQ(udpBind(h, taken), UDP_ERROR_SYSTEM);
    EXPECT_EQ(udpLastError(h), EADDRINUSE) << errorText(h);
    UdpEndPoint out{};
    ASSERT_EQ(udpGetEndPoint(h, &out), 0);
    EXPECT_EQ(out.port, 0u) << "a failed bind leaves the endpoint unset";
    EXPECT_FALSE(isNonBlocking(h)) << "a failed bind stops before the blocking mode";
    EXPECT_EQ(udpBind(h, endpoint(kLoopback, 0)), 0) << "the handle is still usable";
}

namespace {

// Every call but udpLastError refuses a null handle and a record without a
// socket alike, and changes nothing but the zeroed output of udpGetEndPoint.
void expectRefusedByEveryCall(UdpSocket* h) {
    char byte = 0;
    UdpEndPoint out = endpoint(0x01020304, 99);
    EXPECT_EQ(udpGetEndPoint(h, &out), UDP_ERROR_INVALID_HANDLE);
    EXPECT_EQ(out.address, 0u);
    EXPECT_EQ(out.port, 0u);
    EXPECT_EQ(udpBind(h, endpoint(kLoopback, 0)), UDP_ERROR_INVALID_HANDLE);
    EXPECT_EQ(udpSendTo(h, &byte, 1, endpoint(kLoopback, 9)), UDP_ERROR_INVALID_HANDLE);
    UdpEndPoint sender = endpoint(7, 7);
    EXPECT_EQ(udpRecvFrom(h, &byte, 1, &sender), UDP_ERROR_INVALID_HANDLE);
    EXPECT_EQ(sender.address, 7u);
    EXPECT_EQ(udpRecvPoll(h, 0), UDP_ERROR_INVALID_HANDLE);
    EXPECT_EQ(udpClose(h), UDP_ERROR_INVALID_HANDLE) << "nothing is freed";
}

}  // namespace

TEST(Lifecycle, NullHandleIsRefusedByEveryCall) {
    expectRefusedByEveryCall(nullptr);
    EXPECT_EQ(udpLastError(nullptr), -1);
}

TEST(Lifecycle, RecordWithoutSocketIsRefusedButKeepsItsError) {
    Handle h;
    ASSERT_EQ(close(descriptorOf(h)), 0);
    descriptorOf(h) = -1;
    h.get()->lastError = EAGAIN;
    expectRefusedByEveryCall(h);
    EXPECT_EQ(udpLastError(h), EAGAIN) << "only a null handle answers -1";
    free(h.release());
}

TEST(Lifecycle, LastErrorSurvivesLaterSuccesses) {
    Handle owner;
    const UdpEndPoint taken = bindLoopback(owner);
    Handle h;
    ASSERT_EQ(udpBind(h, taken), UDP_ERROR_SYSTEM);
    char byte = 1;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(udpSendTo(h, &byte, 1, taken), 1) << errorText(h);
    ASSERT_EQ(udpRecvPoll(owner, 1000), 0);
    UdpEndPoint out{};
    ASSERT_EQ(udpGetEndPoint(h, &out), 0);
    EXPECT_EQ(udpLastError(h), EADDRINUSE);
}

TEST(Lifecycle, FailedCloseStillFreesAndReportsErrorNumber) {
    UdpSocket* h = udpCreate();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(close(descriptorOf(h)), 0);  // pulled from under the handle
    EXPECT_EQ(udpClose(h), EBADF);
}

TEST(Lifecycle, CreateCloseCyclesLeakNoDescriptors) {
    const int before = openDescriptorCount();
    for (int i = 0; i < 2000; ++i) {
        UdpSocket* h = udpCreate();
        ASSERT_NE(h, nullptr);
        if (i % 2 == 0) {
            ASSERT_EQ(udpBind(h, endpoint(kLoopback, 0)), 0);
        }
        ASSERT_EQ(udpClose(h), 0);
    }
    EXPECT_EQ(openDescriptorCount(), before);
}

// A host that closed its standard input gets descriptor 0 for its next
// socket: a valid descriptor like any other, in every call.
TEST(Lifecycle, SocketOnDescriptorZeroWorksInEveryCall) {
    const StandardInputClosed closed;
    UdpSocket* h = udpCreate();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(descriptorOf(h), 0) << "the lowest free descriptor";
    Handle peer;
    const UdpEndPoint peerEnd = bindLoopback(peer);
    const UdpEndPoint self = bindLoopback(h);
    EXPECT_NE(self.port, 0u);
    EXPECT_TRUE(isNonBlocking(h));

    char byte = 'z';
    EXPECT_EQ(udpSendTo(h, &byte, 1, peerEnd), 1) << errorText(h);
    EXPECT_EQ(udpRecvPoll(peer, 2000), 0);
    ASSERT_EQ(udpSendTo(peer, &byte, 1, self), 1) << errorText(peer);
    EXPECT_EQ(udpRecvPoll(h, 2000), 0);
    UdpEndPoint from{};
    char got = 0;
    EXPECT_EQ(udpRecvFrom(h, &got, 1, &from), 1);
    EXPECT_EQ(from.port, peerEnd.port);
    EXPECT_EQ(udpRecvPoll(h, 0), UDP_ERROR_TIMEOUT);
    EXPECT_EQ(udpRecvFrom(h, &got, 1, &from), UDP_ERROR_SYSTEM);
    EXPECT_EQ(udpLastError(h), EAGAIN);
    EXPECT_EQ(udpClose(h), 0);
    EXPECT_EQ(fcntl(0, F_GETFD), -1) << "descriptor 0 was closed";
}
