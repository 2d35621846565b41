// The two sides every benchmark pair runs: the library's calls, and the very
// same system calls made directly by a host that knows the socket API.
#pragma once

#include <arpa/inet.h>
#include <errno.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "tidelink.h"

namespace tidelink_bench {

struct Library {
    using Handle = UdpSocket*;
    static constexpr const char* kName = "library";

    static Handle open(UdpEndPoint local) {
        Handle h = udpCreate();
        if (h != nullptr && udpBind(h, local) != 0) {
            udpClose(h);
            return nullptr;
        }
        return h;
    }
    static void close(Handle h) { udpClose(h); }
    static UdpEndPoint local(Handle h) {
        UdpEndPoint e{};
        udpGetEndPoint(h, &e);
        return e;
    }
    static int32_t send(Handle h, const void* data, int32_t length, UdpEndPoint to) {
        return udpSendTo(h, data, length, to);
    }
    static int32_t receive(Handle h, void* data, int32_t size, UdpEndPoint* from) {
        return udpRecvFrom(h, data, size, from);
    }
    static int32_t wait(Handle h, int32_t timeoutMs) { return udpRecvPoll(h, timeoutMs); }
    static uint32_t clock() { return udpGetHighPrecisionTime(); }
};

// Configured as the library configures a bound socket, so both sides make
// the same calls on the same kind of socket. Like any host, it keeps the
// error number of a failed send or receive: that is what tells would-block
// from a real failure.
struct Raw {
    using Handle = int;
    static constexpr const char* kName = "raw";
    static inline int lastError = 0;

    static Handle open(UdpEndPoint local) {
        const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (fd == -1) return -1;
        sockaddr_in address = toSockaddr(local);
        int size = 32768, on = 1;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size) != 0 ||
            setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size) != 0 || ioctl(fd, FIONBIO, &on) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    static void close(Handle h) { ::close(h); }
    static UdpEndPoint local(Handle h) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        getsockname(h, reinterpret_cast<sockaddr*>(&address), &length);
        return fromSockaddr(address);
    }
    static int32_t send(Handle h, const void* data, int32_t length, UdpEndPoint to) {
        const sockaddr_in address = toSockaddr(to);
        const auto sent =
            sendto(h, data, static_cast<size_t>(length), 0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (sent == -1) lastError = errno;
        return static_cast<int32_t>(sent);
    }
    static int32_t receive(Handle h, void* data, int32_t size, UdpEndPoint* from) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        const auto got = recvfrom(h, data, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&address), &length);
        if (got == -1) {
            lastError = errno;
        } else {
            *from = fromSockaddr(address);
        }
        return static_cast<int32_t>(got);
    }
    static int32_t wait(Handle h, int32_t timeoutMs) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(h, &readable);
        timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        if (select(h + 1, &readable, nullptr, nullptr, &limit) == -1) return -1;
        return FD_ISSET(h, &readable) ? 0 : -3;
    }
    static uint32_t clock() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<uint32_t>(now.tv_sec) * 1000u + static_cast<uint32_t>(now.tv_nsec / 1000000);
    }

private:
    static sockaddr_in toSockaddr(UdpEndPoint e) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(e.port);
        address.sin_addr.s_addr = htonl(e.address);
        return address;
    }
    static UdpEndPoint fromSockaddr(const sockaddr_in& address) {
        UdpEndPoint e{};
        e.address = ntohl(address.sin_addr.s_addr);
        e.port = ntohs(address.sin_port);
        return e;
    }
};

}  // namespace tidelink_bench
