// libFuzzer target: each input becomes a sequence of calls of all eleven
// exports over a few handles on 127.0.0.1, each answer checked as it comes.
#include <errno.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <memory>

#include "model.h"

using namespace tidelink_fuzz;

namespace {

constexpr int32_t kLargestDatagram = 65507;  // 65535 less the IPv4 and UDP headers
constexpr size_t kReceiveCapacity = 65536;   // holds any datagram
// Kept far below the 32 KB receive buffer, so the kernel has no cause to
// drop what this input sends to its own handles.
constexpr size_t kQueueLimit = 4;
constexpr size_t kQueuedBytesLimit = 8192;
// Long enough for a datagram already sent on loopback to land; waits only
// that long when one is on its way, so inputs stay fast.
constexpr int32_t kInFlightWait = 20;
constexpr int kMaxCalls = 256;


uint16_t localPort(const Slot& slot) {
    if (slot.handle == nullptr) return 0;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(tidelink_test::descriptorOf(slot.handle), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

Slot* owner(Session& s, uint16_t port) {
    for (Slot& slot : s.slots) {
        if (port != 0 && localPort(slot) == port) return &slot;
    }
    return nullptr;
}

// Never a stranger's port: the system's choice (0), one of this input's
// handles, or one that a handle of this input held until it was closed.
uint16_t pickPort(FuzzedDataProvider& in, const Session& s) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return 0;
        case 1:
            return localPort(s.slots[in.ConsumeIntegralInRange<size_t>(0, kSlots - 1)]);
        default:
            if (s.stalePorts.empty()) return 0;
            return s.stalePorts[in.ConsumeIntegralInRange<size_t>(0, s.stalePorts.size() - 1)];
    }
}

UdpEndPoint pickEndPoint(FuzzedDataProvider& in, const Session& s, uint32_t address) {
    UdpEndPoint e{};
    e.address = address;
    e.port = pickPort(in, s);
    e.reserved = in.ConsumeIntegral<uint16_t>();
    return e;
}

std::unique_ptr<UdpEndPoint> scribbledEndPoint(FuzzedDataProvider& in) {
    auto e = std::make_unique<UdpEndPoint>();
    e->address = in.ConsumeIntegral<uint32_t>();
    e->port = in.ConsumeIntegral<uint16_t>();
    e->reserved = in.ConsumeIntegral<uint16_t>();
    return e;
}

bool sameEndPoint(const UdpEndPoint& a, const UdpEndPoint& b) {
    return a.address == b.address && a.port == b.port && a.reserved == b.reserved;
}

// The serial's four bytes lead, so payloads of four bytes or more are unique.
void fillPayload(std::vector<uint8_t>& bytes, uint32_t serial) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i < 4 ? serial >> (8 * i) : serial * 31 + i);
    }
}

bool hasRoomFor(const Slot& receiver, int32_t length) {
    size_t queuedBytes = static_cast<size_t>(length);
    for (const Datagram& d : receiver.queued) queuedBytes += d.bytes.size();
    return receiver.queued.empty() || (receiver.queued.size() < kQueueLimit && queuedBytes <= kQueuedBytesLimit);
}

// Bind, send and receive store the error number of each failure they answer.
void expectFailure(Slot& slot, int32_t result, int32_t error) {
    expectEqual(result, UDP_ERROR_SYSTEM, "result of a refused call");
    expectEqual(udpLastError(slot.handle), error, "stored error number");
    slot.lastError = error;
}

void callCreate(Slot& slot) {
    if (slot.handle != nullptr) return;
    slot = Slot{};
    slot.handle = udpCreate();
    require(slot.handle != nullptr, "udpCreate answered null with descriptors to spare");
    expectEqual(udpLastError(slot.handle), 0, "a fresh handle's error number");
}

void callClose(Session& s, Slot& slot) {
    const uint16_t port = localPort(slot);
    const int32_t expected = slot.handle == nullptr ? UDP_ERROR_INVALID_HANDLE : 0;
    expectEqual(udpClose(slot.handle), expected, "udpClose");
    if (port != 0) s.stalePorts.push_back(port);
    slot = Slot{};
}

void callBind(FuzzedDataProvider& in, Session& s, Slot& slot) {
    const UdpEndPoint requested = pickEndPoint(in, s, in.ConsumeBool() ? kLoopback : 0);
    // The kernel gives a socket a port at its first send, refused or not.
    const bool hasPort = localPort(slot) != 0;
    const bool portTaken = owner(s, requested.port) != nullptr;
    const int32_t result = udpBind(slot.handle, requested);
    if (slot.handle == nullptr) return expectEqual(result, UDP_ERROR_INVALID_HANDLE, "udpBind on null");
    if (hasPort) return expectFailure(slot, result, EINVAL);
    if (portTaken) return expectFailure(slot, result, EADDRINUSE);
    if (result != 0) {
        // Another process may have taken a port this input let go of.
        require(requested.port != 0, "binding a port of the system's choice failed");
        return expectFailure(slot, result, EADDRINUSE);
    }
    UdpEndPoint bound{};
    expectEqual(udpGetEndPoint(slot.handle, &bound), 0, "udpGetEndPoint after bind");
    expectEqual(bound.address, requested.address, "bound address");
    require(requested.port == 0 ? bound.port != 0 : bound.port == requested.port, "bound port");
    expectEqual(bound.reserved, 0, "bound endpoint's reserved bytes");
    slot.bound = bound;
    slot.nonBlocking = true;
}

void callGetEndPoint(FuzzedDataProvider& in, Slot& slot) {
    const auto out = scribbledEndPoint(in);
    const uint16_t reserved = out->reserved;
    const int32_t result = udpGetEndPoint(slot.handle, out.get());
    if (slot.handle == nullptr) {
        expectEqual(result, UDP_ERROR_INVALID_HANDLE, "udpGetEndPoint on null");
        require(out->address == 0 && out->port == 0, "address and port cleared for null");
        expectEqual(out->reserved, reserved, "reserved bytes kept for null");
        return;
    }
    expectEqual(result, 0, "udpGetEndPoint");
    require(sameEndPoint(*out, slot.bound), "the endpoint that bind reported, all 8 bytes");
}

void callLastError(Slot& slot) {
    expectEqual(udpLastError(slot.handle), slot.handle == nullptr ? -1 : slot.lastError, "udpLastError");
}

int32_t pickLength(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0: return in.ConsumeIntegralInRange<int32_t>(INT32_MIN, -1);
        case 1: return 0;
        case 2: return in.ConsumeIntegralInRange<int32_t>(1, 16);
        case 3: return in.ConsumeIntegralInRange<int32_t>(17, 1472);
        case 4: return in.ConsumeIntegralInRange<int32_t>(1473, kLargestDatagram);
        default: return in.ConsumeIntegralInRange<int32_t>(kLargestDatagram + 1, kLargestDatagram + 4096);
    }
}

void callSendTo(FuzzedDataProvider& in, Session& s, Slot& slot) {
    const int32_t length = pickLength(in);
    const UdpEndPoint to = pickEndPoint(in, s, kLoopback);
    Slot* receiver = owner(s, to.port);
    if (receiver != nullptr && slot.handle != nullptr && !hasRoomFor(*receiver, length)) return;

    // Exactly the bytes promised, so ASan sees any read past them.
    std::vector<uint8_t> payload(static_cast<size_t>(std::max(length, 0)));
    fillPayload(payload, ++s.serial);
    const int32_t result = udpSendTo(slot.handle, payload.data(), length, to);
    if (slot.handle == nullptr) return expectEqual(result, UDP_ERROR_INVALID_HANDLE, "udpSendTo on null");
    if (length < 0) return expectFailure(slot, result, EINVAL);
    const bool tooLong = length > kLargestDatagram, noPort = to.port == 0;
    if (tooLong || noPort) {
        // With both faults the kernel names whichever it checks first.
        const int32_t stored = udpLastError(slot.handle);
        require((tooLong && stored == EMSGSIZE) || (noPort && stored == EINVAL), "error number of a refused send");
        return expectFailure(slot, result, stored);
    }
    expectEqual(result, length, "bytes sent");
    if (receiver != nullptr) receiver->queued.push_back({std::move(payload), localPort(slot)});
}

int32_t pickSize(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0: return in.ConsumeIntegralInRange<int32_t>(INT32_MIN, -1);
        case 1: return 0;
        case 2: return in.ConsumeIntegralInRange<int32_t>(1, 16);
        case 3: return in.ConsumeIntegralInRange<int32_t>(17, 2048);
        case 4: return in.ConsumeIntegralInRange<int32_t>(2049, static_cast<int32_t>(kReceiveCapacity));
        default: return INT32_MAX;  // more than any datagram: the buffer below still holds the largest
    }
}

void callRecvFrom(FuzzedDataProvider& in, Slot& slot) {
    const int32_t size = pickSize(in);
    // A blocking socket (never bound) would wait for ever on an empty queue.
    if (slot.handle != nullptr && !slot.nonBlocking && !slot.readable) return;

    const size_t capacity = size < 0 ? 0 : std::min(static_cast<size_t>(size), kReceiveCapacity);
    tidelink_test::GuardedBuffer buffer(capacity);
    const auto sender = scribbledEndPoint(in);
    const UdpEndPoint before = *sender;
    const int32_t result = udpRecvFrom(slot.handle, buffer.data(), size, sender.get());

    // The kernel writes the buffer, out of ASan's sight: past the datagram,
    // every byte must still be the guard.
    require(result <= static_cast<int64_t>(capacity), "more bytes than the size allows");
    const size_t written = result > 0 ? static_cast<size_t>(result) : 0;
    require(buffer.untouchedFrom(written), "bytes written past the datagram");
    if (result < 0) require(sameEndPoint(*sender, before), "sender written by a failed receive");

    if (slot.handle == nullptr) return expectEqual(result, UDP_ERROR_INVALID_HANDLE, "udpRecvFrom on null");
    if (size < 0) return expectFailure(slot, result, EINVAL);
    if (result == UDP_ERROR_SYSTEM) {
        require(!slot.readable, "nothing to receive after a wait answered readable");
        return expectFailure(slot, result, EAGAIN);
    }
    slot.readable = false;
    // Any queued datagram, not only the oldest: two senders' datagrams may
    // land in either order.
    const auto sent = std::find_if(slot.queued.begin(), slot.queued.end(), [&](const Datagram& d) {
        return std::min(d.bytes.size(), capacity) == written &&
               std::equal(d.bytes.begin(), d.bytes.begin() + static_cast<ptrdiff_t>(written), buffer.data());
    });
    require(sent != slot.queued.end(), "received bytes that no handle sent here");
    expectEqual(sender->address, kLoopback, "sender address");
    expectEqual(sender->port, sent->senderPort, "sender port");
    expectEqual(sender->reserved, before.reserved, "sender's reserved bytes");
    slot.queued.erase(sent);
}

void callRecvPoll(FuzzedDataProvider& in, Slot& slot) {
    int32_t timeout = 0;
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            timeout = in.ConsumeIntegralInRange<int32_t>(INT32_MIN, -1);
            break;
        case 1:
            break;
        default:
            // Any time-out is safe on a readable socket; otherwise only
            // a datagram on its way may end the wait.
            if (slot.readable) {
                timeout = in.ConsumeIntegralInRange<int32_t>(1, INT32_MAX);
            } else if (!slot.queued.empty()) {
                timeout = kInFlightWait;
            }
    }
    const int32_t result = udpRecvPoll(slot.handle, timeout);
    if (slot.handle == nullptr) return expectEqual(result, UDP_ERROR_INVALID_HANDLE, "udpRecvPoll on null");
    expectEqual(udpLastError(slot.handle), slot.lastError, "error number stored by a wait");
    if (timeout < 0) return expectEqual(result, UDP_ERROR_SYSTEM, "negative time-out");
    if (slot.readable) return expectEqual(result, 0, "a readable socket stopped being readable");
    require(result == 0 || result == UDP_ERROR_TIMEOUT, "udpRecvPoll result");
    if (result == 0) {
        require(!slot.queued.empty(), "readable with nothing sent to it");
        slot.readable = true;
    }
}

// A host with many files open hands the library descriptors past FD_SETSIZE.
void callMoveAboveSetSize(Slot& slot) {
    if (slot.handle == nullptr || tidelink_test::descriptorOf(slot.handle) >= FD_SETSIZE) return;
    tidelink_test::moveAboveSetSize(slot.handle);
}

void callPlatform() {
    static const char* const name = udpPlatform();
    require(udpPlatform() == name && strcmp(name, "android") == 0, "one constant platform name");
}

void callErrorString(FuzzedDataProvider& in) {
    const char* text = udpPlatformErrorString(in.ConsumeIntegral<int32_t>());
    require(text != nullptr && text[0] != '\0', "an error text for any number");
}

void callClock() {
    static uint32_t last = udpGetHighPrecisionTime();
    const uint32_t now = udpGetHighPrecisionTime();
    // Modulo 2^32 on purpose: the count wraps, and only the difference counts.
    require(now - last < 0x80000000u, "the clock went backwards");
    last = now;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int descriptorsBefore = tidelink_test::openDescriptorCount();
    Session s;
    for (int call = 0; call < kMaxCalls && in.remaining_bytes() > 0; ++call) {
        Slot& slot = s.slots[in.ConsumeIntegralInRange<size_t>(0, kSlots - 1)];
        switch (in.ConsumeIntegralInRange(0, 11)) {
            case 0: callCreate(slot); break;
            case 1: callClose(s, slot); break;
            case 2: callBind(in, s, slot); break;
            case 3: callGetEndPoint(in, slot); break;
            case 4: callLastError(slot); break;
            case 5: callSendTo(in, s, slot); break;
            case 6: callRecvFrom(in, slot); break;
            case 7: callRecvPoll(in, slot); break;
            case 8: callMoveAboveSetSize(slot); break;
            case 9: callPlatform(); break;
            case 10: callErrorString(in); break;
            default: callClock(); break;
        }
    }
    for (Slot& slot : s.slots) callClose(s, slot);
    expectEqual(tidelink_test::openDescriptorCount(), descriptorsBefore, "descriptors left open");
    return 0;
}
