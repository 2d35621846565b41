// Moving a handle's socket to a descriptor that select's set cannot hold.
#pragma once

#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

#include "socket/socket_record.h"

namespace tidelink_test {

// False when RLIMIT_NOFILE can't be raised that far.
inline bool moveAboveSetSize(UdpSocket* h) {
    constexpr int kHigh = FD_SETSIZE + 476;
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur <= kHigh) {
        if (limit.rlim_max <= kHigh) return false;
        limit.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    }
    if (dup2(h->socket, kHigh) != kHigh) return false;
    close(h->socket);
    h->socket = kHigh;
    return true;
}

}  // namespace tidelink_test
