// Binding and configuring a handle, in a fixed order that stops at the first failure.
#include <errno.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include "socket_record.h"

namespace {

int setBufferSize(int descriptor, int option, int32_t size) {
    return setsockopt(descriptor, SOL_SOCKET, option, &size, sizeof size);
}

}  // namespace

UdpResult udpBind(UdpSocket* handle, UdpEndPoint endpoint) {
    if (!tidelink::isUsable(handle)) return UDP_ERROR_INVALID_HANDLE;
    const int descriptor = handle->socket;

    const sockaddr_in local = tidelink::toSockaddr(endpoint);
    if (bind(descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) == -1) {
        return tidelink::recordError(handle, errno);
    }
    // Each step's effect stays when a later one fails: the socket is then
    // bound but possibly still blocking, and boundEndPoint stays unset.
    if (setBufferSize(descriptor, SO_RCVBUF, handle->receiveBufferSize) == -1) {
        return tidelink::recordError(handle, errno);
    }
    if (setBufferSize(descriptor, SO_SNDBUF, handle->sendBufferSize) == -1) {
        return tidelink::recordError(handle, errno);
    }
    int nonBlocking = 1;
    if (ioctl(descriptor, FIONBIO, &nonBlocking) == -1) {
        return tidelink::recordError(handle, errno);
    }

    // The system's answer names the port it chose for port 0. A failed query
    // does not undo the bind; boundEndPoint then stays zero.
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
        tidelink::storeEndPoint(bound, &handle->boundEndPoint);
    }
    return 0;
}
