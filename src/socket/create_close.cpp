// Making and releasing a handle: the record and its socket live and die together.
#include <errno.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include "socket_record.h"

UdpSocket* udpCreate(void) {
    // calloc, not new: the library carries no C++ runtime, and a failed
    // allocation must answer null rather than throw.
    auto* handle = static_cast<UdpSocket*>(calloc(1, sizeof(UdpSocket)));
    if (handle == nullptr) return nullptr;
    handle->socket = -1;
    handle->sendBufferSize = tidelink::kBufferSize;
    handle->receiveBufferSize = tidelink::kBufferSize;

    const int descriptor = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (descriptor == -1) {
        free(handle);
        return nullptr;
    }
    handle->socket = descriptor;
    return handle;
}

int32_t udpClose(UdpSocket* handle) {
    if (!tidelink::isUsable(handle)) return UDP_ERROR_INVALID_HANDLE;
    // Linux releases the descriptor even when close reports an error, so the
    // record goes too: retrying could close a descriptor reused elsewhere.
    const int error = close(handle->socket) == -1 ? errno : 0;
    free(handle);
    return error;
}
