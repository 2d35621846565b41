// Reading what a handle holds: its bound endpoint and its last error number.
#include "socket_record.h"

UdpResult udpGetEndPoint(UdpSocket* handle, UdpEndPoint* out) {
    out->address = 0;
    out->port = 0;
    if (!tidelink::isUsable(handle)) return UDP_ERROR_INVALID_HANDLE;
    *out = handle->boundEndPoint;
    return 0;
}

int32_t udpLastError(UdpSocket* handle) {
    return handle == nullptr ? -1 : tidelink::loadLastError(handle);
}
