// Load: numbered datagrams of every size from 0 to 1472 bytes between two
// handles on 127.0.0.1, paced so the 32 KB receive buffer never must drop one.
#include <errno.h>
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "numbered_datagram.h"
#include "support.h"

using namespace tidelink_test;

namespace {

// Sent before each drain. Even at the kernel's accounting of about 4 KB per
// queued datagram, 16 fit the receive buffer (64 KB once Linux doubles 32 KB).
constexpr uint32_t kBatch = 16;
// A datagram already sent on loopback lands in microseconds; this long a
// silence means it was dropped.
constexpr int32_t kArrivalWaitMs = 250;
// How far back a short datagram is looked for among those still awaited.
constexpr uint32_t kShortSearchWindow = 4 * kBatch;

// The kernel's count of UDP datagrams dropped for a full receive buffer, for
// the whole network namespace; nullopt where /proc/net/snmp can't be read.
std::optional<uint64_t> receiveBufferDrops() {
    std::ifstream snmp("/proc/net/snmp");
    std::string names, values;
    while (std::getline(snmp, names)) {
        if (names.rfind("Udp:", 0) != 0) continue;
        if (!std::getline(snmp, values)) break;
        std::istringstream nameFields(names), valueFields(values);
        std::string name, value;
        while (nameFields >> name && valueFields >> value) {
            if (name == "RcvbufErrors") return std::stoull(value);
        }
        break;
    }
    return std::nullopt;
}

// Which sequence numbers have arrived, each at most once.
class Tally {
public:
    explicit Tally(uint32_t total) : seen_(total) {}

    // False when the bytes are no datagram still awaited: corrupt, or a copy
    // of one already counted.
    bool record(const uint8_t* bytes, size_t size, uint32_t sent) {
        if (size >= kHeaderSize) {
            const int64_t sequence = claimedSequence(bytes, size);
            if (sequence < 0 || sequence >= sent || seen_[static_cast<size_t>(sequence)]) return false;
            return mark(static_cast<uint32_t>(sequence));
        }
        // Too short for a full header: the earliest awaited datagram of this
        // size whose leading bytes agree. A lost short datagram may thus be
        // counted for a later one of the same size; the totals stay right.
        while (firstAwaited_ < sent && seen_[firstAwaited_]) ++firstAwaited_;
        const uint32_t from = std::max(firstAwaited_, sent > kShortSearchWindow ? sent - kShortSearchWindow : 0);
        for (uint32_t sequence = from; sequence < sent; ++sequence) {
            if (!seen_[sequence] && isNumbered(sequence, bytes, size)) return mark(sequence);
        }
        return false;
    }

    uint32_t received() const { return received_; }

private:
    bool mark(uint32_t sequence) {
        seen_[sequence] = true;
        ++received_;
        return true;
    }

    std::vector<bool> seen_;
    uint32_t firstAwaited_ = 0;
    uint32_t received_ = 0;
};

struct Receipts {
    uint32_t arrivals = 0;
    uint32_t rejected = 0;      // corrupt or duplicated
    uint32_t wrongSender = 0;
};

class Stream {
public:
    explicit Stream(uint32_t total) : total_(total), tally_(total) {
        from_ = bindLoopback(sender_);
        to_ = bindLoopback(receiver_);
    }

    void run() {
        while (sent_ < total_) {
            const uint32_t batchEnd = std::min(total_, sent_ + kBatch);
            const uint32_t batchSize = batchEnd - sent_;
            for (; sent_ < batchEnd; ++sent_) {
                const std::vector<uint8_t> datagram = numberedDatagram(sent_);
                const auto length = static_cast<int32_t>(datagram.size());
                ASSERT_EQ(udpSendTo(sender_, datagram.data(), length, to_), length) << errorText(sender_);
            }
            drain(batchSize, kArrivalWaitMs);
            if (::testing::Test::HasFatalFailure()) return;
        }
        // Stragglers, and any copy the kernel might have made.
        drain(UINT32_MAX, 100);
    }

    uint32_t total() const { return total_; }
    uint32_t received() const { return tally_.received(); }
    const Receipts& receipts() const { return receipts_; }

private:
    // Takes datagrams until `expected` have come or none comes for waitMs.
    void drain(uint32_t expected, int32_t waitMs) {
        uint32_t arrived = 0;
        while (arrived < expected) {
            const int32_t ready = udpRecvPoll(receiver_, waitMs);
            if (ready == UDP_ERROR_TIMEOUT) return;
            ASSERT_EQ(ready, 0);
            for (;;) {
                UdpEndPoint source{};
                const int32_t count =
                    udpRecvFrom(receiver_, buffer_.data(), static_cast<int32_t>(buffer_.size()), &source);
                if (count == UDP_ERROR_SYSTEM && udpLastError(receiver_) == EAGAIN) break;
                ASSERT_GE(count, 0) << errorText(receiver_);
                ++arrived;
                ++receipts_.arrivals;
                if (source.address != kLoopback || source.port != from_.port) ++receipts_.wrongSender;
                if (!tally_.record(buffer_.data(), static_cast<size_t>(count), sent_)) ++receipts_.rejected;
            }
        }
    }

    const uint32_t total_;
    Handle sender_, receiver_;
    UdpEndPoint from_{}, to_{};
    Tally tally_;
    Receipts receipts_;
    uint32_t sent_ = 0;
    // One byte more than any datagram sent, so a longer arrival shows.
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kLargestNumbered + 1);
};

void streamAndCheck(uint32_t total) {
    const std::optional<uint64_t> dropsBefore = receiveBufferDrops();
    const auto start = std::chrono::steady_clock::now();
    Stream stream(total);
    stream.run();
    if (::testing::Test::HasFatalFailure()) return;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const std::optional<uint64_t> dropsAfter = receiveBufferDrops();

    const uint32_t lost = total - stream.received();
    const std::string kernelDrops = dropsBefore && dropsAfter ? std::to_string(*dropsAfter - *dropsBefore) : "unknown";
    printf("stress: %u datagrams of 0-1472 bytes in %.2f s, %.0f datagrams/s; %u lost; "
           "kernel receive-buffer drops meanwhile, machine-wide: %s\n",
           total, took.count(), total / took.count(), lost, kernelDrops.c_str());
    fflush(stdout);

    EXPECT_EQ(stream.receipts().rejected, 0u) << "datagrams corrupt or received twice";
    EXPECT_EQ(stream.receipts().wrongSender, 0u) << "datagrams reporting another sender";
    EXPECT_EQ(stream.receipts().arrivals, stream.received());
    if (lost > 0) {
        ASSERT_TRUE(dropsBefore && dropsAfter) << lost << " datagrams lost, and the kernel's drop count is unreadable";
        // Every other socket on the machine adds to the same count, so it
        // bounds this run's drops from above.
        EXPECT_LE(lost, *dropsAfter - *dropsBefore) << "datagrams lost beyond the kernel's receive-buffer drops";
    }
}

}  // namespace

// Short enough for every run of the suite, sanitizers and Valgrind included.
TEST(Stress, TwentyThousandDatagramsArriveIntactAndOnce) {
    streamAndCheck(20'000);
}

// Labelled stress in CTest and left out of the default test preset.
TEST(StressFull, OneMillionDatagramsArriveIntactAndOnce) {
    streamAndCheck(1'000'000);
}
