// The record behind a handle, and the helpers every socket call shares:
// the handle test and the one place each way where byte order is converted.
#pragma once

#include <netinet/in.h>

#include "tidelink.h"

struct UdpSocket {
    int32_t socket;  // -1: the record holds no socket
    int32_t lastError;
    int32_t sendBufferSize;
    int32_t receiveBufferSize;
    UdpEndPoint boundEndPoint;
};

namespace tidelink {

constexpr int32_t kBufferSize = 32768;

inline bool isUsable(const UdpSocket* handle) {
    return handle != nullptr && handle->socket != -1;
}

// Stores a failed call's error number on the handle and answers the result
// that says so; callers pass errno straight from the failed call, before
// anything else can overwrite it.
inline UdpResult recordError(UdpSocket* handle, int error) {
    handle->lastError = error;
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
