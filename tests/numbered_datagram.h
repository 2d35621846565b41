// Datagrams that identify themselves: a sequence number, a checksum and bytes
// derived from both, so a receiver tells which one arrived and whether intact.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "support.h"

namespace tidelink_test {

constexpr size_t kLargestNumbered = 1472;  // the UDP payload of a 1500-byte Ethernet frame
constexpr size_t kHeaderSize = 8;          // sequence number, then checksum

inline uint32_t mix(uint32_t x) {
    // Unsigned on purpose: the multiplications wrap.
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    return x ^ (x >> 16);
}

// Every size from 0 to 1472 recurs, in an order no pattern of the sender's follows.
inline size_t numberedSize(uint32_t sequence) {
    return mix(sequence) % (kLargestNumbered + 1);
}

inline void putLittleEndian(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t getLittleEndian(const uint8_t* in) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(in[i]) << (8 * i);
    return value;
}

// FNV-1a over the sequence number, the size and the body.
inline uint32_t numberedChecksum(uint32_t sequence, size_t size, const uint8_t* body, size_t bodySize) {
    uint32_t hash = 2166136261u;
    const auto add = [&hash](uint8_t byte) { hash = (hash ^ byte) * 16777619u; };
    for (int i = 0; i < 4; ++i) add(static_cast<uint8_t>(sequence >> (8 * i)));
    for (int i = 0; i < 4; ++i) add(static_cast<uint8_t>(size >> (8 * i)));
    for (size_t i = 0; i < bodySize; ++i) add(body[i]);
    return hash;
}

// From 8 bytes up: the sequence number, the checksum, then the body. A
// shorter datagram carries as many leading bytes of that header as fit (none
// for an empty one); the receiver places it by its size among the sequence
// numbers it still awaits.
inline std::vector<uint8_t> numberedDatagram(uint32_t sequence) {
    const size_t size = numberedSize(sequence);
    std::vector<uint8_t> full(size < kHeaderSize ? kHeaderSize : size);
    uint8_t* body = full.data() + kHeaderSize;
    const size_t bodySize = full.size() - kHeaderSize;
    for (size_t i = 0; i < bodySize; ++i) body[i] = static_cast<uint8_t>(mix(sequence + static_cast<uint32_t>(i)));
    putLittleEndian(full.data(), sequence);
    putLittleEndian(full.data() + 4, numberedChecksum(sequence, size, body, bodySize));
    full.resize(size);
    return full;
}

// Answers whether `bytes` is exactly datagram `sequence`.
inline bool isNumbered(uint32_t sequence, const uint8_t* bytes, size_t size) {
    if (size != numberedSize(sequence)) return false;
    const std::vector<uint8_t> expected = numberedDatagram(sequence);
    return size == 0 || memcmp(bytes, expected.data(), size) == 0;
}

// The sequence number a full-header datagram claims, checked against its
// checksum and size; -1 when either disagrees.
inline int64_t claimedSequence(const uint8_t* bytes, size_t size) {
    if (size < kHeaderSize) return -1;
    const uint32_t sequence = getLittleEndian(bytes);
    const uint32_t checksum = numberedChecksum(sequence, size, bytes + kHeaderSize, size - kHeaderSize);
    if (checksum != getLittleEndian(bytes + 4) || numberedSize(sequence) != size) return -1;
    return sequence;
}

inline bool sendNumbered(UdpSocket* from, UdpEndPoint to, uint32_t sequence) {
    const std::vector<uint8_t> datagram = numberedDatagram(sequence);
    return sendBytes(from, datagram, to) == static_cast<int32_t>(datagram.size());
}

// Whether the next datagram to arrive on `on` within two seconds is exactly
// datagram `sequence`, from `senderPort` on 127.0.0.1.
inline bool receivesNumbered(UdpSocket* on, uint32_t sequence, uint16_t senderPort) {
    if (udpRecvPoll(on, 2000) != 0) return false;
    std::vector<uint8_t> buffer(kLargestNumbered);
    UdpEndPoint source{};
    const int32_t count = udpRecvFrom(on, buffer.data(), static_cast<int32_t>(buffer.size()), &source);
    return count >= 0 && isNumbered(sequence, buffer.data(), static_cast<size_t>(count)) &&
           source.address == kLoopback && source.port == senderPort;
}

// Sends datagram `sequence` between two bound handles and checks it arrives whole.
inline bool exchanges(UdpSocket* from, UdpSocket* to, uint32_t sequence) {
    UdpEndPoint fromEnd{}, toEnd{};
    return udpGetEndPoint(from, &fromEnd) == 0 && udpGetEndPoint(to, &toEnd) == 0 &&
           sendNumbered(from, toEnd, sequence) && receivesNumbered(to, sequence, fromEnd.port);
}

}  // namespace tidelink_test
