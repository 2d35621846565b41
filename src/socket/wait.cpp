// Waiting a bounded time for a handle's socket to become readable.
#include <errno.h>
#include <poll.h>
#include <sys/select.h>

#include "socket_record.h"

namespace {

// select's set holds descriptors below FD_SETSIZE only; FD_SET past it writes
// outside the set. Those few sockets wait with poll, for the same answers and
// the same errno after -1.
UdpResult waitWithPoll(int descriptor, int32_t timeout) {
    pollfd entry{descriptor, POLLIN, 0};
    const int ready = poll(&entry, 1, timeout);
    if (ready == -1) return UDP_ERROR_SYSTEM;
    // poll reports a closed descriptor in revents, not in errno; select fails
    // with EBADF for it, so say the same.
    if ((entry.revents & POLLNVAL) != 0) {
        errno = EBADF;
        return UDP_ERROR_SYSTEM;
    }
    // select counts a pending socket error or hang-up as readable too.
    return (entry.revents & (POLLIN | POLLERR | POLLHUP)) != 0 ? 0 : UDP_ERROR_TIMEOUT;
}

}  // namespace

UdpResult udpRecvPoll(UdpSocket* handle, int32_t timeout) {
    if (!tidelink::isUsable(handle)) return UDP_ERROR_INVALID_HANDLE;
    // poll would read a negative time-out as "forever"; select refuses it.
    // Refuse it here so both paths answer alike. A failed wait records no
    // error number in the handle, but hosts read errno after -1 to tell an
    // interrupted wait from a failed one, so every -1 leaves the reason there.
    if (timeout < 0) {
        errno = EINVAL;
        return UDP_ERROR_SYSTEM;
    }
    const int descriptor = handle->socket;
    if (descriptor >= FD_SETSIZE) return waitWithPoll(descriptor, timeout);

    // Below FD_SETSIZE (1024), as here, the descriptor fits an unsigned short,
    // which the C libraries' FD_ macros take without a sign change: musl's
    // divide it as an unsigned long, glibc's (fortified) pass it as a long.
    const unsigned short slot = static_cast<unsigned short>(descriptor);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(slot, &readable);
    timeval limit{};
    limit.tv_sec = timeout / 1000;
    limit.tv_usec = (timeout % 1000) * 1000;
    // Nothing may run between a failed select and the return: errno is the answer's reason.
    if (select(descriptor + 1, &readable, nullptr, nullptr, &limit) == -1) return UDP_ERROR_SYSTEM;
    return FD_ISSET(slot, &readable) ? 0 : UDP_ERROR_TIMEOUT;
}
