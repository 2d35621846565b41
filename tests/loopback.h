// Shared test fixtures: handles that close themselves, bound on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>
#include <string.h>

#include "socket/socket_record.h"
#include "tidelink.h"

namespace tidelink_test {

constexpr uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

struct Handle {
    UdpSocket* socket = udpCreate();
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (socket != nullptr) udpClose(socket);
    }
    operator UdpSocket*() const { return socket; }
};

inline UdpEndPoint endpoint(uint32_t address, uint16_t port) {
    UdpEndPoint e{};
    e.address = address;
    e.port = port;
    return e;
}

// Binds to 127.0.0.1 on a port the system picks; answers the bound endpoint.
inline UdpEndPoint bindLoopback(UdpSocket* handle) {
    EXPECT_EQ(udpBind(handle, endpoint(kLoopback, 0)), 0) << strerror(udpLastError(handle));
    UdpEndPoint bound{};
    EXPECT_EQ(udpGetEndPoint(handle, &bound), 0);
    return bound;
}

inline std::string errorText(UdpSocket* handle) {
    const int32_t error = udpLastError(handle);
    return std::to_string(error) + " (" + strerror(error) + ")";
}

}  // namespace tidelink_test
