// Faults a host can meet: no descriptor left, a datagram larger than the
// buffer, and handles closing while others send.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "numbered_datagram.h"
#include "support.h"

using namespace tidelink_test;

namespace {

// Below `limit` only: Valgrind keeps descriptors of its own above the limit it shows.
int highestOpenDescriptor(rlim_t limit) {
    DIR* dir = opendir("/proc/self/fd");
    int highest = -1;
    while (const dirent* entry = readdir(dir)) {
        const int fd = atoi(entry->d_name);
        if (static_cast<rlim_t>(fd) < limit) highest = std::max(highest, fd);
    }
    closedir(dir);
    return highest;
}

// Counts by probing each number, since opening /proc/self/fd needs a
// descriptor of its own.
int openDescriptorsBelow(int ceiling) {
    int open = 0;
    for (int fd = 0; fd < ceiling; ++fd) open += fcntl(fd, F_GETFD) != -1;
    return open;
}

// Runs in a child: lowering RLIMIT_NOFILE binds the whole process.
void exhaustDescriptorsThenRecover() {
    constexpr int kRoom = 8;
    rlimit limit{};
    require(getrlimit(RLIMIT_NOFILE, &limit) == 0, "getrlimit failed");
    const int ceiling = highestOpenDescriptor(limit.rlim_cur) + 1 + kRoom;
    const int spare = ceiling - openDescriptorsBelow(ceiling);
    limit.rlim_cur = static_cast<rlim_t>(ceiling);
    require(setrlimit(RLIMIT_NOFILE, &limit) == 0, "setrlimit failed");

    std::vector<UdpSocket*> handles;
    while (UdpSocket* h = udpCreate()) {
        handles.push_back(h);
        require(static_cast<int>(handles.size()) <= spare, "more sockets than free descriptors");
    }
    require(static_cast<int>(handles.size()) == spare, "a free descriptor was not used");
    for (int i = 0; i < 3; ++i) require(udpCreate() == nullptr, "a socket with no descriptor free");
    require(openDescriptorsBelow(ceiling) == ceiling, "a refused create closed a descriptor it did not own");

    require(udpClose(handles.back()) == 0, "close at the limit failed");
    handles.pop_back();
    UdpSocket* again = udpCreate();
    require(again != nullptr, "no socket once a descriptor was free again");
    handles.push_back(again);
    const UdpEndPoint loopback = endpoint(kLoopback, 0);
    require(udpBind(handles.front(), loopback) == 0 && udpBind(again, loopback) == 0, "bind at the limit failed");
    require(exchanges(handles.front(), again, 7), "no datagram through the new socket");

    for (UdpSocket* h : handles) require(udpClose(h) == 0, "close failed");
    require(openDescriptorsBelow(ceiling) == ceiling - spare, "descriptors left open");
    // exit, not _exit: the leak checkers of the sanitizer and Valgrind builds
    // then look at this child too.
    exit(0);
}

}  // namespace

TEST(Fault, ExhaustedDescriptorsAnswerNullLeakNothingAndRecover) {
    EXPECT_EXIT(exhaustDescriptorsThenRecover(), ::testing::ExitedWithCode(0), "");
}

TEST(Fault, DatagramLargerThanTheBufferLosesOnlyItsTail) {
    Handle sender, receiver;
    const UdpEndPoint from = bindLoopback(sender);
    const UdpEndPoint to = bindLoopback(receiver);
    std::vector<uint8_t> largest(65507);
    for (size_t i = 0; i < largest.size(); ++i) largest[i] = static_cast<uint8_t>(mix(static_cast<uint32_t>(i)));

    for (int32_t size : {1472, 1, 0}) {
        SCOPED_TRACE(size);
        ASSERT_EQ(udpSendTo(sender, largest.data(), 65507, to), 65507) << errorText(sender);
        ASSERT_EQ(udpRecvPoll(receiver, 2000), 0);

        GuardedBuffer buffer(static_cast<size_t>(size));
        UdpEndPoint source{};
        ASSERT_EQ(udpRecvFrom(receiver, buffer.data(), size, &source), size) << errorText(receiver);
        EXPECT_TRUE(std::equal(buffer.data(), buffer.data() + size, largest.begin()));
        EXPECT_TRUE(buffer.untouchedFrom(static_cast<size_t>(size))) << "written past the size";

        // Sent only now: the largest datagram alone fills the 32 KB receive
        // buffer, and the kernel drops what comes while it sits there.
        ASSERT_TRUE(sendNumbered(sender, to, static_cast<uint32_t>(size))) << errorText(sender);
        EXPECT_TRUE(receivesNumbered(receiver, static_cast<uint32_t>(size), from.port))
            << "the next receive brings the next datagram, whole, not the rest of the truncated one";
    }
}

// Two threads open, use and close handles as fast as they can while the test
// thread keeps a pair exchanging, so descriptors are freed and handed out
// again right beside sockets in use. A close that touched any descriptor but
// its own would break a neighbour: a bind, a send or a receive would fail.
TEST(Fault, ClosesInterleavedWithSendsOnOtherHandles) {
    constexpr uint32_t kExchanges = 3000;
    Handle a, b;
    bindLoopback(a);
    bindLoopback(b);
    const int descriptorA = descriptorOf(a), descriptorB = descriptorOf(b);

    std::atomic<bool> pairDone{false};
    std::atomic<uint32_t> churnFailures{0}, churned{0};
    const auto churn = [&] {
        while (!pairDone) {
            UdpSocket* first = udpCreate();
            UdpSocket* second = udpCreate();
            if (first == nullptr || second == nullptr) {
                ++churnFailures;
                break;
            }
            // Closed in either order, bound or not, with data queued or not.
            const uint32_t round = churned++;
            if (round % 2 == 0) {
                const bool ok = udpBind(first, endpoint(kLoopback, 0)) == 0 &&
                                udpBind(second, endpoint(kLoopback, 0)) == 0 && exchanges(first, second, round);
                if (!ok) ++churnFailures;
            }
            if (round % 4 == 0) {
                UdpEndPoint to{};
                const char byte = 'q';
                if (udpGetEndPoint(second, &to) != 0 || udpSendTo(first, &byte, 1, to) != 1) ++churnFailures;
            }
            if (round % 3 == 0) std::swap(first, second);
            if (udpClose(first) != 0) ++churnFailures;
            if (udpClose(second) != 0) ++churnFailures;
        }
    };
    std::thread churners[] = {std::thread(churn), std::thread(churn)};

    uint32_t pairFailures = 0;
    for (uint32_t i = 0; i < kExchanges; ++i) {
        if (!exchanges(i % 2 ? a : b, i % 2 ? b : a, i)) ++pairFailures;
    }
    pairDone = true;
    for (std::thread& t : churners) t.join();

    EXPECT_EQ(pairFailures, 0u) << "datagrams lost or damaged between the pair";
    EXPECT_EQ(churnFailures.load(), 0u) << "calls failed on handles beside closes";
    EXPECT_GT(churned.load(), 0u) << "the closes never overlapped the sends";
    EXPECT_NE(fcntl(descriptorA, F_GETFD), -1) << "the pair's descriptor was closed by another handle's close";
    EXPECT_NE(fcntl(descriptorB, F_GETFD), -1);
}
