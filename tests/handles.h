// What the test programs and the fuzzer share, without GoogleTest: handles
// that close themselves, loopback endpoints, descriptor counts and guarded
// buffers.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <string>
#include <vector>

#include "socket/socket_record.h"
#include "tidelink.h"

namespace tidelink_test {

constexpr uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

inline UdpEndPoint endpoint(uint32_t address, uint16_t port) {
    UdpEndPoint e{};
    e.address = address;
    e.port = port;
    return e;
}

// For conditions a test cannot go on without, also in a death test's child
// or the fuzzer, where no gtest assertion reaches a report.
inline void require(bool holds, const char* what) {
    if (holds) return;
    fprintf(stderr, "%s\n", what);
    abort();
}

class Handle {
public:
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ != nullptr) udpClose(handle_);
    }
    operator UdpSocket*() const { return handle_; }
    UdpSocket* get() const { return handle_; }
    // For a test that frees the record itself.
    UdpSocket* release() { return std::exchange(handle_, nullptr); }

private:
    UdpSocket* handle_ = udpCreate();
};

// The system descriptor behind a handle, for tests that reach past the
// interface to close or move it.
inline int& descriptorOf(UdpSocket* handle) {
    return handle->socket;
}

inline std::string errorText(UdpSocket* handle) {
    const int32_t error = udpLastError(handle);
    return std::to_string(error) + " (" + strerror(error) + ")";
}

inline int32_t sendBytes(UdpSocket* from, const std::vector<uint8_t>& bytes, UdpEndPoint to) {
    return udpSendTo(from, bytes.data(), static_cast<int32_t>(bytes.size()), to);
}

// Counts this process's open descriptors, less the one the count itself opens.
inline int openDescriptorCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count;
}

// Lets this process open descriptors past FD_SETSIZE, raising RLIMIT_NOFILE
// as far as that needs; false when the limit can't be raised.
inline bool allowDescriptorsPastSetSize() {
    constexpr rlim_t kNeeded = FD_SETSIZE + 64;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    if (limit.rlim_cur >= kNeeded) return true;
    if (limit.rlim_max < kNeeded) return false;
    limit.rlim_cur = limit.rlim_max;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

// Gives a handle's socket the descriptor `moved` in place of its own.
inline bool replaceDescriptor(UdpSocket* handle, int moved) {
    if (moved == -1) return false;
    close(descriptorOf(handle));
    descriptorOf(handle) = moved;
    return true;
}

// Moves a handle's socket to the lowest free descriptor past FD_SETSIZE,
// where select's set cannot hold it.
inline bool moveAboveSetSize(UdpSocket* handle) {
    return allowDescriptorsPastSetSize() && replaceDescriptor(handle, fcntl(descriptorOf(handle), F_DUPFD, FD_SETSIZE));
}

// Moves a handle's socket to exactly `target`, closing whatever held it.
inline bool moveToDescriptor(UdpSocket* handle, int target) {
    return allowDescriptorsPastSetSize() && replaceDescriptor(handle, dup2(descriptorOf(handle), target));
}

// A receive buffer of `capacity` bytes followed by guard bytes: the kernel
// writes it out of a sanitizer's sight, so only the guard shows an overrun.
class GuardedBuffer {
public:
    static constexpr uint8_t kGuard = 0xEE;
    static constexpr size_t kGuardSize = 64;

    explicit GuardedBuffer(size_t capacity) : bytes_(capacity + kGuardSize, kGuard) {}
    uint8_t* data() { return bytes_.data(); }
    // Whether every byte from `offset` on still holds the guard.
    bool untouchedFrom(size_t offset) const {
        return std::all_of(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), bytes_.end(),
                           [](uint8_t b) { return b == kGuard; });
    }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace tidelink_test
