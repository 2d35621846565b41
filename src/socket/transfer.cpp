// Moving single datagrams: one system call each, straight between the
// caller's buffer and the kernel.
#include <errno.h>
#include <sys/socket.h>

#include "socket_record.h"

UdpResult udpSendTo(UdpSocket* handle, const void* buffer, int32_t length, UdpEndPoint endpoint) {
    if (!tidelink::isUsable(handle)) return UDP_ERROR_INVALID_HANDLE;
    if (length < 0) return tidelink::recordError(handle, EINVAL);
    const sockaddr_in destination = tidelink::toSockaddr(endpoint);
    const ssize_t sent = sendto(handle->socket, buffer, static_cast<size_t>(length), 0,
                                reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent == -1) return tidelink::recordError(handle, errno);
    return static_cast<UdpResult>(sent);
}

UdpResult udpRecvFrom(UdpSocket* handle, void* buffer, int32_t size, UdpEndPoint* sender) {
    if (!tidelink::isUsable(handle)) return UDP_ERROR_INVALID_HANDLE;
    // As a size_t a negative size would tell the kernel the buffer is huge.
    if (size < 0) return tidelink::recordError(handle, EINVAL);
    sockaddr_in source{};
    socklen_t sourceLength = sizeof source;
    const ssize_t received = recvfrom(handle->socket, buffer, static_cast<size_t>(size), 0,
                                      reinterpret_cast<sockaddr*>(&source), &sourceLength);
    if (received == -1) return tidelink::recordError(handle, errno);
    tidelink::storeEndPoint(source, sender);
    return static_cast<UdpResult>(received);
}
