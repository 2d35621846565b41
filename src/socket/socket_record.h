// The record behind a handle, and the helpers every socket call shares:
// the handle test and the one place each way where byte order is converted.
#pragma once

#include <errno.h>
#include <netinet/in.h>

#include "tidelink.h"

struct UdpSocket {
    int32_t socket;  // -1: the record holds no socket
    int32_t lastError;  // only through storeLastError and loadLastError
    int32_t sendBufferSize;
    int32_t receiveBufferSize;
    UdpEndPoint boundEndPoint;
};

namespace tidelink {

constexpr int32_t kBufferSize = 32768;

inline bool isUsable(const UdpSocket* handle) {
    return handle != nullptr && handle->socket != -1;
}

// A sender and a receiver on two threads may fail on one handle at once, so
// lastError is stored and read atomically: a plain int32_t in the record, as
// the layout asks, but no data race. Relaxed is enough, as each thread takes
// its own call's number from errno and the handle only keeps the latest.
inline void storeLastError(UdpSocket* handle, int32_t error) {
    __atomic_store_n(&handle->lastError, error, __ATOMIC_RELAXED);
}

inline int32_t loadLastError(const UdpSocket* handle) {
    return __atomic_load_n(&handle->lastError, __ATOMIC_RELAXED);
}

// Stores a failed call's error number on the handle, leaves it in errno for
// the calling thread too, and answers the result that says so; callers pass
// errno straight from the failed call, before anything else can overwrite it.
inline UdpResult recordError(UdpSocket* handle, int error) {
    storeLastError(handle, error);
    errno = error;
    return UDP_ERROR_SYSTEM;
}

inline sockaddr_in toSockaddr(UdpEndPoint endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = htonl(endpoint.address);
    return address;
}

// Port first, then address; the reserved bytes stay as they were.
inline void storeEndPoint(const sockaddr_in& address, UdpEndPoint* out) {
    out->port = ntohs(address.sin_port);
    out->address = ntohl(address.sin_addr.s_addr);
}

}  // namespace tidelink
